// Faults a test arms on the emulated board or controller. Each kind counts
// its own events from the moment it is armed; `kind@n` fires on the n-th
// event (n = 1 when omitted), once.
//
//   timeout     response events: the response is held back, the host's wait
//               times out (until the host aborts the endpoint, which drops it)
//   short       response events: the response comes one byte short
//   long        response events: the response carries one byte more
//   nak         command events: the packet's first chip transaction is not
//               acknowledged
//   disconnect  bulk transfers (either direction): the board drops off the
//               bus in the middle of it; it is found again, without firmware,
//               at the next search for boards
//   download    code-memory writes of the firmware download: the request stalls
//   reset       writes of the CPU control register: the request stalls
//
// Text form (DRAVIK_EMULATOR_FAULTS): comma-separated items, e.g.
// "timeout@3,short,download@2".
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::emulator {

enum class FaultKind : uint8_t {
  kTimeout,
  kShortResponse,
  kLongResponse,
  kNak,
  kDisconnect,
  kDownloadFailure,
  kResetFailure,
};
constexpr size_t kFaultKindCount = 7;

std::string_view FaultName(FaultKind kind);
std::optional<FaultKind> FaultFromName(std::string_view name);

class FaultPlan {
 public:
  // Arms a fault on the n-th next event of its kind (n >= 1).
  void Arm(FaultKind kind, uint32_t n = 1);
  // Arms every item of the text form; false (and `error` set, nothing armed)
  // when an item does not parse.
  bool ArmFromText(std::string_view text, std::string* error);
  void Clear();

  // Counts one event of `kind`; true when an armed fault fires on it.
  bool Fire(FaultKind kind);
  // Faults of this kind armed and not yet fired.
  size_t Pending(FaultKind kind) const;

 private:
  std::array<uint32_t, kFaultKindCount> events_{};
  std::array<std::vector<uint32_t>, kFaultKindCount> armedAt_{};
};

}  // namespace kestrova::emulator
