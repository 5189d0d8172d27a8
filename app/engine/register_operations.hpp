#pragma once
// The engine's operations on the whole part: read what has no pending change,
// write or discard the pending changes, recompute dependent registers, the
// start-up lists, and the two failure messages.

#include <vector>

namespace kestrova::engine {

class Session;

// Reads every register without a pending change and applies the bytes; when
// the bytes read show registers the read did not include, those are read too.
bool ReadUnmodified(Session& session);
// Writes the pending changes (`reallyWrite`) or throws them away.
bool WriteModified(Session& session, bool reallyWrite);
// A register recomputed from another one (`updatereg`), both by their line.
struct DependentUpdate {
  int sourceLine = 0;
  int targetLine = 0;
};

// Recomputes registers whose value follows from others (`updatereg`); the
// registers recomputed, each with the register it follows.
std::vector<DependentUpdate> UpdateDependentRegisters(Session& session);
// Writes the start-up write list.
bool WritePendingList(Session& session);
// Reads the start-up read list (the bytes are not applied).
bool ReadPendingList(Session& session);
// Before another device is opened and when the program ends: continuous
// activity stops, the part settings are saved, the board is closed (the
// handle is left for the next open to overwrite).
bool CloseCurrentDevice(Session& session);
// "Check USB connection and select Device again" and its kin.
void ShowBoardError(Session& session);
// "Registers do not match part"; then continuous activity stops.
void ShowVerifyFailure(Session& session);

// The message texts, exactly as shown.
inline constexpr const char* kUsbBoardError = "Check USB connection and select Device again";
inline constexpr const char* kSmbusBoardError = "Check SMB address or select another Device";
inline constexpr const char* kVerifyFailure = "Registers do not match part";
inline constexpr const char* kUnsettledConditions =
    "Registers cannot be read: the conditions that hide registers change with every reading";

}  // namespace kestrova::engine
