// Direct i2c-dev access that bypasses the library: the independent witness
// that the library's transfers really reached the kernel's SMBus adapter.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestrova::kerneltest {

class RawI2c {
 public:
  RawI2c(const std::string& node, uint8_t address);
  ~RawI2c();
  RawI2c(const RawI2c&) = delete;
  RawI2c& operator=(const RawI2c&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  std::optional<uint8_t> ReadByteData(uint8_t reg);
  bool WriteByteData(uint8_t reg, uint8_t value);

 private:
  int fd_ = -1;
};

}  // namespace kestrova::kerneltest
