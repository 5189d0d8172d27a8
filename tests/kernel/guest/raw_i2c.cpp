#include "raw_i2c.hpp"

#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kestrova::kerneltest {
namespace {

bool Smbus(int fd, uint8_t readWrite, uint8_t command, i2c_smbus_data* data) {
  i2c_smbus_ioctl_data request{};
  request.read_write = readWrite;
  request.command = command;
  request.size = I2C_SMBUS_BYTE_DATA;
  request.data = data;
  return ::ioctl(fd, I2C_SMBUS, &request) == 0;
}

}  // namespace

RawI2c::RawI2c(const std::string& node, uint8_t address) {
  fd_ = ::open(node.c_str(), O_RDWR | O_CLOEXEC);
  if (fd_ >= 0 && ::ioctl(fd_, I2C_SLAVE, static_cast<long>(address)) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

RawI2c::~RawI2c() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

std::optional<uint8_t> RawI2c::ReadByteData(uint8_t reg) {
  i2c_smbus_data data{};
  if (fd_ < 0 || !Smbus(fd_, I2C_SMBUS_READ, reg, &data)) {
    return std::nullopt;
  }
  return data.byte;
}

bool RawI2c::WriteByteData(uint8_t reg, uint8_t value) {
  i2c_smbus_data data{};
  data.byte = value;
  return fd_ >= 0 && Smbus(fd_, I2C_SMBUS_WRITE, reg, &data);
}

}  // namespace kestrova::kerneltest
