#pragma once
// The device library bound by name at its first use: dlopen of the library
// beside the executable first, then through the usual library path. A missing
// library or export makes that call fail; LastErrorDevice then tells why.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/device_library.hpp"

namespace kestrova::engine {

// The library's file name as the loader knows it (its SONAME).
inline constexpr const char* kDeviceLibraryName = "libdravik.so.0";

class LibraryBinding : public DeviceLibrary {
 public:
  // Tries the library beside the running executable, then kDeviceLibraryName
  // through the library path.
  LibraryBinding();
  // Tries the given paths in order (a bare name goes through the library path).
  explicit LibraryBinding(std::vector<std::string> candidates);
  ~LibraryBinding() override;
  LibraryBinding(const LibraryBinding&) = delete;
  LibraryBinding& operator=(const LibraryBinding&) = delete;

  std::uint8_t OpenDevice(std::int16_t link, const char* driverName, std::uint16_t* vidPid,
                          std::uint8_t forceFirmware, const char* firmwarePath,
                          DeviceHandle* handle) override;
  std::uint8_t CloseDevice(DeviceHandle handle) override;
  std::uint8_t ReadDevice(DeviceHandle handle, std::uint8_t port, std::int16_t busType,
                          std::int16_t deviceAddress, const std::int16_t* registers,
                          std::uint8_t* data, std::int16_t* count) override;
  std::uint8_t WriteDevice(DeviceHandle handle, std::uint8_t port, std::int16_t busType,
                           std::int16_t deviceAddress, const std::int16_t* registers,
                           const std::uint8_t* data, std::int16_t* count) override;
  // When the binding failed, fills the buffer with the reason and returns 1.
  std::uint8_t LastErrorDevice(char* buffer) override;

  // Binds now if not yet tried; true when all five exports are there.
  bool Bind();
  // Why binding failed; empty while bound or not yet tried.
  const std::string& BindingError() const { return bindingError_; }
  // The file that was loaded; empty until bound.
  const std::string& LoadedPath() const { return loadedPath_; }
  // The binding failure, once: the first call after a failure returns true
  // and the text, later calls false. For showing the failure a single time.
  bool TakeUnreportedBindingError(std::string& text) override;

 private:
  struct Exports;
  struct HandleCloser {
    void operator()(void* handle) const;
  };

  std::vector<std::string> candidates_;
  std::unique_ptr<void, HandleCloser> handle_;
  std::unique_ptr<Exports> exports_;
  bool attempted_ = false;
  bool reported_ = false;
  std::string bindingError_;
  std::string loadedPath_;
};

// The folder of the running executable (empty when it cannot be found).
std::string ExecutableFolder();

}  // namespace kestrova::engine
