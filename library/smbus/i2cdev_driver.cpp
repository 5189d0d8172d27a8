#include "smbus/i2cdev_driver.hpp"

#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>

#include <cerrno>
#include <cstring>

#include "diagnostics.hpp"

namespace dravik::smbus {
namespace {

constexpr unsigned long kByteDataFunctions =
    I2C_FUNC_SMBUS_READ_BYTE_DATA | I2C_FUNC_SMBUS_WRITE_BYTE_DATA;
constexpr unsigned long kWordDataFunctions =
    I2C_FUNC_SMBUS_READ_WORD_DATA | I2C_FUNC_SMBUS_WRITE_WORD_DATA;
constexpr uint8_t kMaxDeviceAddress = 0x7F;

}  // namespace

std::unique_ptr<I2cDevDriver> I2cDevDriver::Open(const char* path, SystemCalls& calls,
                                                 bool forceAddress) {
  if (path == nullptr) {
    return nullptr;
  }
  const int fd = calls.Open(path, O_RDWR);
  if (fd < 0) {
    Diagnostic("Cannot open %s: %s\n", path, std::strerror(errno));
    return nullptr;
  }
  unsigned long functions = 0;
  if (calls.Ioctl(fd, I2C_FUNCS, reinterpret_cast<unsigned long>(&functions)) < 0 ||
      (functions & kByteDataFunctions) != kByteDataFunctions) {
    Diagnostic("%s cannot do SMBus byte-data transfers (functions 0x%08lx)\n", path, functions);
    calls.Close(fd);
    return nullptr;
  }
  return std::unique_ptr<I2cDevDriver>(new I2cDevDriver(calls, fd, functions, forceAddress));
}

I2cDevDriver::~I2cDevDriver() {
  calls_.Close(fd_);
}

bool I2cDevDriver::Transfer(uint8_t readWrite, uint8_t command, int size, uint8_t* bytes) {
  // Word data travels low byte first: bytes[0] is the first byte on the wire.
  const bool word = size == I2C_SMBUS_WORD_DATA;
  i2c_smbus_data data{};
  if (word) {
    data.word = static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
  } else {
    data.byte = bytes[0];
  }
  i2c_smbus_ioctl_data request{};
  request.read_write = readWrite;
  request.command = command;
  request.size = static_cast<uint32_t>(size);
  request.data = &data;
  if (calls_.Ioctl(fd_, I2C_SMBUS, reinterpret_cast<unsigned long>(&request)) < 0) {
    return false;
  }
  if (readWrite == I2C_SMBUS_READ) {
    if (word) {
      bytes[0] = static_cast<uint8_t>(data.word & 0xFF);
      bytes[1] = static_cast<uint8_t>(data.word >> 8);
    } else {
      bytes[0] = data.byte;
    }
  }
  return true;
}

bool I2cDevDriver::Control(uint32_t code, uint8_t* block, uint32_t length, uint32_t* returned) {
  if (returned != nullptr) {
    *returned = 0;
  }
  if (block == nullptr || length < kBlockHeaderSize) {
    return false;
  }
  const uint8_t address = block[0];
  const uint32_t n = block[2];
  const bool read = code == kIoctlRead || code == kIoctlReadNoRegister;
  const bool write = code == kIoctlWrite || code == kIoctlWriteNoRegister;
  const bool noRegister = code == kIoctlReadNoRegister || code == kIoctlWriteNoRegister;
  if ((!read && !write) || address > kMaxDeviceAddress ||
      length != kBlockHeaderSize + (read ? n : 2 * n)) {
    return false;
  }
  if (noRegister) {
    const unsigned long needed = read ? I2C_FUNC_SMBUS_READ_BYTE : I2C_FUNC_SMBUS_WRITE_BYTE;
    if ((functions_ & needed) == 0) {
      return false;
    }
  }
  if (calls_.Ioctl(fd_, forceAddress_ ? I2C_SLAVE_FORCE : I2C_SLAVE, address) < 0) {
    // EBUSY: a kernel driver owns this address and the driver was not forced.
    Diagnostic("i2c-dev: I2C_SLAVE%s 0x%02x failed: %s\n", forceAddress_ ? "_FORCE" : "", address,
               std::strerror(errno));
    return false;
  }
  uint8_t* registers = block + kBlockHeaderSize;
  const bool words = (functions_ & kWordDataFunctions) == kWordDataFunctions;
  for (uint32_t i = 0; i < n;) {
    // Two equal entries in a row are one 16-bit register: a chip answers a
    // byte read with its first byte only, so the pair is one word transfer.
    const bool pair = !noRegister && words && i + 1 < n && registers[i] == registers[i + 1];
    bool ok = false;
    if (read) {
      // The value replaces the register byte it was read from.
      const uint8_t command = registers[i];
      ok = noRegister ? Transfer(I2C_SMBUS_READ, 0, I2C_SMBUS_BYTE, &registers[i])
           : pair     ? Transfer(I2C_SMBUS_READ, command, I2C_SMBUS_WORD_DATA, &registers[i])
                      : Transfer(I2C_SMBUS_READ, command, I2C_SMBUS_BYTE_DATA, &registers[i]);
    } else if (noRegister) {
      uint8_t value = registers[n + i];
      // Send-byte carries its one byte in the command field.
      ok = Transfer(I2C_SMBUS_WRITE, value, I2C_SMBUS_BYTE, &value);
    } else {
      ok = Transfer(I2C_SMBUS_WRITE, registers[i], pair ? I2C_SMBUS_WORD_DATA : I2C_SMBUS_BYTE_DATA,
                    &registers[n + i]);
    }
    if (!ok) {
      return false;
    }
    i += pair ? 2 : 1;
  }
  if (returned != nullptr) {
    *returned = length;
  }
  return true;
}

}  // namespace dravik::smbus
