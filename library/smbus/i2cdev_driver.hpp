// The SMBus controller driver over Linux i2c-dev (/dev/i2c-N). The request
// block is carried out with SMBus calls only (I2C_SMBUS ioctl), which PC SMBus
// controllers and the kernel's i2c-stub support, not I2C_RDWR:
//   read block:  I2C_SLAVE to the block's address, then one read-byte-data per
//                register byte, the values replacing the register bytes;
//   write block: I2C_SLAVE, then one write-byte-data per (register, data) pair;
//   two equal register entries in a row (a 16-bit register, first byte on
//                the wire first) are one read-/write-word-data instead, when
//                the adapter offers word transfers;
//   the NoRegister codes: one receive-byte / send-byte per entry instead.
// The port byte selects nothing here: the adapter is the device path.
// On success the returned count is the block length. An address that a
// kernel driver has claimed refuses I2C_SLAVE (EBUSY); a driver opened with
// `forceAddress` takes it with I2C_SLAVE_FORCE, as `i2cget -f` does.
#pragma once

#include <memory>

#include "smbus/smbus_driver.hpp"
#include "smbus/system_calls.hpp"

namespace dravik::smbus {

class I2cDevDriver : public Driver {
 public:
  // Opens path and checks that the adapter can do SMBus byte-data transfers;
  // nullptr when it cannot be opened or cannot.
  static std::unique_ptr<I2cDevDriver> Open(const char* path, SystemCalls& calls,
                                            bool forceAddress = false);
  ~I2cDevDriver() override;
  I2cDevDriver(const I2cDevDriver&) = delete;
  I2cDevDriver& operator=(const I2cDevDriver&) = delete;

  bool Control(uint32_t code, uint8_t* block, uint32_t length, uint32_t* returned) override;

 private:
  I2cDevDriver(SystemCalls& calls, int fd, unsigned long functions, bool forceAddress)
      : calls_(calls), fd_(fd), functions_(functions), forceAddress_(forceAddress) {}
  // One SMBus call; bytes holds one byte, or two for word data (wire order).
  bool Transfer(uint8_t readWrite, uint8_t command, int size, uint8_t* bytes);

  SystemCalls& calls_;
  int fd_;
  unsigned long functions_;
  bool forceAddress_;
};

}  // namespace dravik::smbus
