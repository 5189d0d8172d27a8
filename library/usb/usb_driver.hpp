// The driver interface under the USB device layer: every request is one
// Control call with a driver control code, as the board driver takes it.
// Two drivers sit behind it: libusb (real boards) and the emulated board.
#pragma once

#include <cstdint>
#include <memory>

namespace dravik::usb {

// Driver control codes.
constexpr uint32_t kIoctlDriverVersion = 0x220000;
constexpr uint32_t kIoctlStackVersion = 0x220004;
constexpr uint32_t kIoctlAltInterface = 0x220008;
constexpr uint32_t kIoctlUsbAddress = 0x220010;
constexpr uint32_t kIoctlControlTransfer = 0x220020;
constexpr uint32_t kIoctlBufferedTransfer = 0x220024;
constexpr uint32_t kIoctlResetParentPort = 0x220030;
constexpr uint32_t kIoctlDeviceName = 0x22003C;
constexpr uint32_t kIoctlFriendlyName = 0x220040;
constexpr uint32_t kIoctlAbortPipe = 0x220044;
constexpr uint32_t kIoctlDirectTransfer = 0x22004B;
constexpr uint32_t kIoctlBusSpeed = 0x22004C;

constexpr uint32_t kTransferHeaderSize = 38;

// How one request ended: the Linux face of the overlapped completion.
enum class IoResult { kDone, kTimeout, kFailed };

// One opened board interface ("driver handle").
class Driver {
 public:
  virtual ~Driver() = default;
  // One request. in/inLength: the input buffer; out/outLength: the output
  // buffer; *returned: bytes placed in out. timeoutMs bounds the wait.
  virtual IoResult Control(uint32_t code, const uint8_t* in, uint32_t inLength, uint8_t* out,
                           uint32_t outLength, uint32_t* returned, uint32_t timeoutMs) = 0;
};

// The device interface class: the set of attached boards.
class DriverClass {
 public:
  virtual ~DriverClass() = default;
  virtual int Count() = 0;
  // Opens board n of the class; nullptr when it cannot be opened.
  virtual std::unique_ptr<Driver> Open(int index) = 0;
  // True for the emulated board, the only board the project's placeholder
  // firmware images are for.
  virtual bool Emulated() const { return false; }
};

}  // namespace dravik::usb
