// The driver interface under the SMBus link: one request block per transfer,
// used in place for input and output, with the read or write control code.
// Two drivers sit behind it: Linux i2c-dev and the emulated controller.
#pragma once

#include <cstdint>
#include <memory>

namespace dravik::smbus {

constexpr uint32_t kIoctlRead = 0x226400;
constexpr uint32_t kIoctlWrite = 0x22A404;

class Driver {
 public:
  virtual ~Driver() = default;
  // block/length: the request block; *returned: the byte count handed back.
  virtual bool Control(uint32_t code, uint8_t* block, uint32_t length, uint32_t* returned) = 0;
};

// Opens the controller driver at a device path ("/dev/i2c-0", or the
// emulated controller's name when the emulator is selected); nullptr when it
// does not open.
std::unique_ptr<Driver> OpenDriver(const char* path);

}  // namespace dravik::smbus
