#pragma once
// The five exports of the device library, as one interface: the real library
// bound by name (LibraryBinding) or a stand-in for tests.

#include <cstdint>
#include <string>

namespace kestrova::engine {

// The library's 32-bit handle of an open board; -1 means none.
using DeviceHandle = std::int32_t;
inline constexpr DeviceHandle kNoDevice = -1;

// Size of the library's last-error text buffer, terminator included.
inline constexpr int kErrorTextSize = 256;

class DeviceLibrary {
 public:
  virtual ~DeviceLibrary() = default;
  // Results are the library's: 1 success, 0 failure.
  virtual std::uint8_t OpenDevice(std::int16_t link, const char* driverName, std::uint16_t* vidPid,
                                  std::uint8_t forceFirmware, const char* firmwarePath,
                                  DeviceHandle* handle) = 0;
  virtual std::uint8_t CloseDevice(DeviceHandle handle) = 0;
  virtual std::uint8_t ReadDevice(DeviceHandle handle, std::uint8_t port, std::int16_t busType,
                                  std::int16_t deviceAddress, const std::int16_t* registers,
                                  std::uint8_t* data, std::int16_t* count) = 0;
  virtual std::uint8_t WriteDevice(DeviceHandle handle, std::uint8_t port, std::int16_t busType,
                                   std::int16_t deviceAddress, const std::int16_t* registers,
                                   const std::uint8_t* data, std::int16_t* count) = 0;
  // Fills `buffer` (kErrorTextSize bytes) with the text of the last failure.
  virtual std::uint8_t LastErrorDevice(char* buffer) = 0;
  // Why the library itself could not be reached, once: true with the text the
  // first time after such a failure, false otherwise.
  virtual bool TakeUnreportedBindingError(std::string& /*text*/) { return false; }
};

}  // namespace kestrova::engine
