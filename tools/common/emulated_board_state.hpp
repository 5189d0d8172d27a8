#pragma once
// A real board keeps its firmware while it is powered; the emulated board
// starts bare in every process. The tools keep its running firmware in a
// small file (DRAVIK_EMULATOR_STATE, read by the emulated board), so only
// the first command on it pays for the download.

namespace kestrova::tools {

// The emulated board's SMBus controller, as the library names it.
inline constexpr const char* kEmulatedSmbusController = "dravik_i2c";

// DRAVIK_EMULATOR=1 (set by --emulated or --emulated-board): the library
// drives the emulated board.
bool EmulatorSelected();

// Before the library loads: unless DRAVIK_EMULATOR_STATE is set already
// (empty: nothing kept), it names a file in $XDG_RUNTIME_DIR, else $TMPDIR,
// else /tmp, one per user and scenario. `bare` (--bare-board) starts the
// board without firmware all the same (DRAVIK_EMULATOR_BARE=1).
void KeepEmulatedBoardState(bool bare);

}  // namespace kestrova::tools
