// Plain USB request and result types shared by the board model and whatever
// carries it (the in-process driver adapter, or a real gadget program).
#pragma once

#include <cstdint>

namespace kestrova::emulator {

// The 8-byte setup packet of a control request, fields in host order.
struct SetupPacket {
  uint8_t bmRequestType = 0;
  uint8_t bRequest = 0;
  uint16_t wValue = 0;
  uint16_t wIndex = 0;
  uint16_t wLength = 0;

  bool IsIn() const { return (bmRequestType & 0x80) != 0; }
  uint8_t Type() const { return (bmRequestType >> 5) & 0x03; }  // 0 standard, 2 vendor
};

// How one request on the board ended, as the host controller sees it.
enum class UsbOutcome {
  kDone,     // moved the returned byte count
  kStall,    // the board refused the request (stall handshake)
  kPending,  // the board keeps answering NAK: the host's wait runs into its time-out
  kGone,     // the board is not on the bus (disconnected or re-enumerating)
  kOverflow  // the board sent more than the host asked for (babble)
};

constexpr uint8_t kRequestGetStatus = 0;
constexpr uint8_t kRequestSetAddress = 5;
constexpr uint8_t kRequestGetDescriptor = 6;
constexpr uint8_t kRequestGetConfiguration = 8;
constexpr uint8_t kRequestSetConfiguration = 9;
constexpr uint8_t kRequestGetInterface = 10;
constexpr uint8_t kRequestSetInterface = 11;
// The EZ-USB core's own "firmware load" request: reads and writes the 8051's
// memory, including the CPU control register, whatever the firmware does.
constexpr uint8_t kRequestFirmwareLoad = 0xA0;

constexpr uint8_t kDescriptorDevice = 1;
constexpr uint8_t kDescriptorConfiguration = 2;
constexpr uint8_t kDescriptorString = 3;
constexpr uint8_t kDescriptorInterface = 4;
constexpr uint8_t kDescriptorEndpoint = 5;

}  // namespace kestrova::emulator
