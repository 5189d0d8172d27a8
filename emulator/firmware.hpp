// The board's firmware: executes one command packet from the host on the
// board's buses and prepares the response to a read request.
//
// Packet: direction (1 write, 0 read request), bus type, header length H,
// H header bytes, count n, then n data bytes for a write. Headers: board
// registers (type 0) carry the device address and n 16-bit addresses high
// byte first; I2C (2), single-wire (4) and SPI (7) the device address and n
// register bytes; Microwire (1), stream (5) and QX3 test (255) none. A header
// of the device address alone means "no register address".
//
// Runs of equal register bytes in one packet are one multi-byte transaction
// on that register (a 16-bit register travels as two equal entries, high
// byte first). A read of n registers answers with exactly n bytes. When a
// chip does not acknowledge (I2C or single-wire, absent or faulted), the
// firmware stops at that transaction: a read request is answered with the
// bytes gathered before it (none: a zero-length packet), so the host sees a
// short response at once instead of waiting for its time-out; the rest of a
// write is dropped (writes have no response to report it in). Stream reads
// answer k = 1 + the number of stream bytes that follow, then those bytes,
// padded with zeros to n. Packets the firmware cannot parse are ignored and
// get no response.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "emulator/buses.hpp"

namespace kestrova::emulator {

constexpr uint8_t kBusBoard = 0;
constexpr uint8_t kBusMicrowire = 1;
constexpr uint8_t kBusI2c = 2;
constexpr uint8_t kBusSingleWire = 4;
constexpr uint8_t kBusStream = 5;
constexpr uint8_t kBusSpi = 7;
constexpr uint8_t kBusQx3Test = 255;

constexpr size_t kResponseCapacity = 64;  // the firmware's IN buffer

struct Response {
  std::array<uint8_t, kResponseCapacity> bytes{};
  size_t length = 0;
};

struct CommandResult {
  bool accepted = false;     // the packet parsed and ran
  bool hasResponse = false;  // a read request: `response` goes to the IN endpoint
  bool nak = false;          // a chip did not acknowledge
  Response response;
  std::string rejection;  // why an unaccepted packet was ignored
};

class Firmware {
 public:
  explicit Firmware(Buses& buses) : buses_(buses) {}

  // forceNak: the packet's first chip transaction is not acknowledged.
  CommandResult Execute(const uint8_t* packet, size_t length, bool forceNak = false);

  uint32_t PacketsExecuted() const { return executed_; }
  uint32_t PacketsRejected() const { return rejected_; }
  uint32_t Naks() const { return naks_; }
  const std::string& LastRejection() const { return lastRejection_; }

 private:
  Buses& buses_;
  uint32_t executed_ = 0;
  uint32_t rejected_ = 0;
  uint32_t naks_ = 0;
  std::string lastRejection_;
};

}  // namespace kestrova::emulator
