#pragma once
// A real board keeps its firmware while it is powered; the emulated board
// starts bare in every process. The tools keep its running firmware in a
// small file (DRAVIK_EMULATOR_STATE, read by the emulated board), so only
// the first command on it pays for the download.

namespace kestrova::tools {

// Before the library loads: unless DRAVIK_EMULATOR_STATE is set already
// (empty: nothing kept), it names a file in $XDG_RUNTIME_DIR, else $TMPDIR,
// else /tmp, one per user and scenario. `bare` (--bare-board) starts the
// board without firmware all the same (DRAVIK_EMULATOR_BARE=1).
void KeepEmulatedBoardState(bool bare);

}  // namespace kestrova::tools
