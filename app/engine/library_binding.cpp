#include "engine/library_binding.hpp"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <type_traits>
#include <utility>

#include "dravik/dravik.h"
#include "engine/register_access.hpp"
#include "engine/session.hpp"

namespace kestrova::engine {

namespace {

// The exports' types come from the library's own header, and so do the
// constants the engine keeps copies of: a change there does not compile here.
using OpenDeviceFn = decltype(&::OpenDevice);
using CloseDeviceFn = decltype(&::CloseDevice);
using ReadDeviceFn = decltype(&::ReadDevice);
using WriteDeviceFn = decltype(&::WriteDevice);
using LastErrorDeviceFn = decltype(&::LastErrorDevice);

static_assert(std::is_same_v<DeviceHandle, ::DeviceHandle> && kNoDevice == -1);
static_assert(kErrorTextSize == DRAVIK_ERROR_TEXT_SIZE);
static_assert(kLinkUsb == LINK_USB && kLinkSmbus == LINK_SMBUS && kLinkNone == LINK_NONE);
static_assert(kBusBoard == BUS_BOARD);
static_assert(kNoRegisterAddress == NO_REGISTER_ADDRESS);
static_assert(kBoardRegisterBase == BOARD_REGISTER_BASE &&
              kLastChipRegister == BOARD_REGISTER_BASE - 1);

template <typename Fn>
bool Resolve(void* handle, const char* name, Fn& out) {
  void* symbol = dlsym(handle, name);
  if (symbol == nullptr) {
    return false;
  }
  out = reinterpret_cast<Fn>(symbol);
  return true;
}

std::vector<std::string> DefaultCandidates() {
  std::vector<std::string> candidates;
  const std::string folder = ExecutableFolder();
  if (!folder.empty()) {
    candidates.push_back(folder + "/" + kDeviceLibraryName);
  }
  candidates.emplace_back(kDeviceLibraryName);
  return candidates;
}

}  // namespace

struct LibraryBinding::Exports {
  OpenDeviceFn openDevice = nullptr;
  CloseDeviceFn closeDevice = nullptr;
  ReadDeviceFn readDevice = nullptr;
  WriteDeviceFn writeDevice = nullptr;
  LastErrorDeviceFn lastErrorDevice = nullptr;
};

void LibraryBinding::HandleCloser::operator()(void* handle) const {
  if (handle != nullptr) {
    dlclose(handle);
  }
}

std::string ExecutableFolder() {
  std::array<char, 4096> buffer{};
  const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (length <= 0) {
    return {};
  }
  std::string path(buffer.data(), static_cast<std::size_t>(length));
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

LibraryBinding::LibraryBinding() : LibraryBinding(DefaultCandidates()) {}

LibraryBinding::LibraryBinding(std::vector<std::string> candidates)
    : candidates_(std::move(candidates)) {}

LibraryBinding::~LibraryBinding() = default;

bool LibraryBinding::Bind() {
  if (attempted_) {
    return exports_ != nullptr;
  }
  attempted_ = true;
  std::string lastReason = "no place to look for it";
  std::string tried;
  for (const std::string& candidate : candidates_) {
    tried += (tried.empty() ? "" : ", ") + candidate;
    // The library stays mapped after its handle closes: its own threads and
    // exit handlers may outlive the binding.
    void* handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle == nullptr) {
      const char* reason = dlerror();
      lastReason = reason != nullptr ? reason : "unknown reason";
      continue;
    }
    handle_.reset(handle);
    loadedPath_ = candidate;
    break;
  }
  if (!handle_) {
    bindingError_ = std::string("Cannot load the device library ") + kDeviceLibraryName +
                    " (tried " + tried + "): " + lastReason;
    return false;
  }
  auto exports = std::make_unique<Exports>();
  const std::pair<const char*, bool> resolved[] = {
      {"OpenDevice", Resolve(handle_.get(), "OpenDevice", exports->openDevice)},
      {"CloseDevice", Resolve(handle_.get(), "CloseDevice", exports->closeDevice)},
      {"ReadDevice", Resolve(handle_.get(), "ReadDevice", exports->readDevice)},
      {"WriteDevice", Resolve(handle_.get(), "WriteDevice", exports->writeDevice)},
      {"LastErrorDevice", Resolve(handle_.get(), "LastErrorDevice", exports->lastErrorDevice)},
  };
  for (const auto& [name, found] : resolved) {
    if (!found) {
      bindingError_ = "The device library " + loadedPath_ + " has no export " + name;
      handle_.reset();
      loadedPath_.clear();
      return false;
    }
  }
  exports_ = std::move(exports);
  return true;
}

bool LibraryBinding::TakeUnreportedBindingError(std::string& text) {
  if (bindingError_.empty() || reported_) {
    return false;
  }
  reported_ = true;
  text = bindingError_;
  return true;
}

std::uint8_t LibraryBinding::OpenDevice(std::int16_t link, const char* driverName,
                                        std::uint16_t* vidPid, std::uint8_t forceFirmware,
                                        const char* firmwarePath, DeviceHandle* handle) {
  if (!Bind()) {
    return 0;
  }
  return exports_->openDevice(link, driverName, vidPid, forceFirmware, firmwarePath, handle);
}

std::uint8_t LibraryBinding::CloseDevice(DeviceHandle handle) {
  if (!Bind()) {
    return 0;
  }
  return exports_->closeDevice(handle);
}

std::uint8_t LibraryBinding::ReadDevice(DeviceHandle handle, std::uint8_t port,
                                        std::int16_t busType, std::int16_t deviceAddress,
                                        const std::int16_t* registers, std::uint8_t* data,
                                        std::int16_t* count) {
  if (!Bind()) {
    return 0;
  }
  return exports_->readDevice(handle, port, busType, deviceAddress, registers, data, count);
}

std::uint8_t LibraryBinding::WriteDevice(DeviceHandle handle, std::uint8_t port,
                                         std::int16_t busType, std::int16_t deviceAddress,
                                         const std::int16_t* registers, const std::uint8_t* data,
                                         std::int16_t* count) {
  if (!Bind()) {
    return 0;
  }
  return exports_->writeDevice(handle, port, busType, deviceAddress, registers, data, count);
}

std::uint8_t LibraryBinding::LastErrorDevice(char* buffer) {
  if (!Bind()) {
    const std::size_t length =
        std::min(bindingError_.size(), static_cast<std::size_t>(kErrorTextSize - 1));
    std::memcpy(buffer, bindingError_.data(), length);
    buffer[length] = '\0';
    return 1;
  }
  return exports_->lastErrorDevice(buffer);
}

}  // namespace kestrova::engine
