// Which controller driver a device path reaches: the emulated controller for
// the default driver name when the emulated board is selected, else i2c-dev
// (forcing claimed chip addresses with DRAVIK_SMBUS_FORCE=1).
#include <cstdlib>
#include <cstring>

#include "emulator_loader.hpp"
#include "smbus/i2cdev_driver.hpp"
#include "smbus/smbus_driver.hpp"
#include "smbus/system_calls.hpp"

namespace dravik::smbus {
namespace {

// The default driver name "dravik_i2c" with unit 0, with or without "/dev/".
constexpr const char* kEmulatedControllerName = "dravik_i2c0";

bool NamesEmulatedController(const char* path) {
  const char* slash = std::strrchr(path, '/');
  const char* name = slash != nullptr ? slash + 1 : path;
  return std::strcmp(name, kEmulatedControllerName) == 0;
}

}  // namespace

std::unique_ptr<Driver> OpenDriver(const char* path) {
  if (path == nullptr) {
    return nullptr;
  }
  std::unique_ptr<Driver> driver;
  if (EmulatorSelected() && NamesEmulatedController(path)) {
    const EmulatorEntryPoints& emulator = LoadEmulator();
    if (emulator.smbusOpen != nullptr) {
      driver.reset(emulator.smbusOpen(path));
    }
  } else {
    // DRAVIK_SMBUS_FORCE=1: chip addresses a kernel driver has claimed are
    // used anyway (the caller has warned its user).
    const char* force = std::getenv("DRAVIK_SMBUS_FORCE");
    driver = I2cDevDriver::Open(path, OperatingSystem(),
                                force != nullptr && std::strcmp(force, "1") == 0);
  }
  return driver;
}

}  // namespace dravik::smbus
