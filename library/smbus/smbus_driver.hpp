// The driver interface under the SMBus link: one request block per transfer,
// used in place for input and output, with the read or write control code.
// Two drivers sit behind it: Linux i2c-dev and the emulated controller.
//
// The block carries only the low byte of each register address, so a register
// entry of NO_REGISTER_ADDRESS (-1) cannot be told from register 0xFF inside
// it. The two NoRegister codes below carry that case: the link sends the same
// block with them when the first register entry is NO_REGISTER_ADDRESS (the
// call-wide rule of the board link), and the driver moves each entry's byte
// with SMBus receive-byte / send-byte instead of read/write-byte-data,
// ignoring the register bytes.
#pragma once

#include <cstdint>
#include <memory>

namespace dravik::smbus {

constexpr uint32_t kIoctlRead = 0x226400;
constexpr uint32_t kIoctlWrite = 0x22A404;
constexpr uint32_t kIoctlReadNoRegister = 0x226408;   // function 0x902, read access
constexpr uint32_t kIoctlWriteNoRegister = 0x22A40C;  // function 0x903, write access

// Block layout: address, port, n, n register bytes, and for a write n data bytes.
constexpr uint32_t kBlockHeaderSize = 3;

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
