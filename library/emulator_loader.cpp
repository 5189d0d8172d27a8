#include "emulator_loader.hpp"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "diagnostics.hpp"

namespace dravik {
namespace {

constexpr const char* kEmulatorLibrary = "libdravik-emulator.so";
// Installed, the emulator is the program's private plugin, in a folder of its
// own beside the library; in the build tree it sits beside the library.
constexpr const char* kPrivateFolder = "kestrova/plugins/";

// The folder of the binary that holds this code (libdravik.so, or a test
// program that links the core statically), with a trailing '/'.
std::string OwnFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&LoadEmulator), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  std::string path = info.dli_fname;
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string{} : path.substr(0, slash + 1);
}

EmulatorEntryPoints Load() {
  EmulatorEntryPoints entry;
  void* handle = nullptr;
  const std::string folder = OwnFolder();
  if (!folder.empty()) {
    handle = dlopen((folder + kEmulatorLibrary).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      handle = dlopen((folder + kPrivateFolder + kEmulatorLibrary).c_str(), RTLD_NOW | RTLD_LOCAL);
    }
  }
  if (handle == nullptr) {
    handle = dlopen(kEmulatorLibrary, RTLD_NOW | RTLD_LOCAL);
  }
  if (handle == nullptr) {
    const char* reason = dlerror();
    Diagnostic("Emulated board selected but %s did not load: %s\n", kEmulatorLibrary,
               reason != nullptr ? reason : "not found");
    return entry;
  }
  // The handle stays open for the process: the emulator's driver class lives
  // as long as the library may use it.
  entry.usbClass =
      reinterpret_cast<decltype(entry.usbClass)>(dlsym(handle, "dravik_emulator_usb_class"));
  entry.smbusOpen =
      reinterpret_cast<decltype(entry.smbusOpen)>(dlsym(handle, "dravik_emulator_smbus_open"));
  if (entry.usbClass == nullptr || entry.smbusOpen == nullptr) {
    Diagnostic("%s lacks its entry points\n", kEmulatorLibrary);
  }
  return entry;
}

}  // namespace

bool EmulatorSelected() {
  const char* value = std::getenv("DRAVIK_EMULATOR");
  return value != nullptr && std::strcmp(value, "1") == 0;
}

const EmulatorEntryPoints& LoadEmulator() {
  static const EmulatorEntryPoints entry = Load();
  return entry;
}

}  // namespace dravik
