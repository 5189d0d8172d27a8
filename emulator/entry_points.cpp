// The two C entry points libdravik looks up when the emulated board is
// selected. No exception leaves them.
#include <memory>

#include "emulator/environment.hpp"
#include "usb/emulator_entry_points.hpp"

namespace {

kestrova::emulator::Emulator* Bench() {
  // Built on first use and kept for the process: the library holds on to the
  // driver class it was handed.
  static kestrova::emulator::Emulator* bench = [] {
    try {
      return kestrova::emulator::BuildEmulatorFromEnvironment().release();
    } catch (...) {
      return static_cast<kestrova::emulator::Emulator*>(nullptr);
    }
  }();
  return bench;
}

}  // namespace

extern "C" {

dravik::usb::DriverClass* dravik_emulator_usb_class() {
  kestrova::emulator::Emulator* bench = Bench();
  return bench != nullptr ? &bench->UsbClass() : nullptr;
}

dravik::smbus::Driver* dravik_emulator_smbus_open(const char* path) {
  try {
    kestrova::emulator::Emulator* bench = Bench();
    return bench != nullptr ? bench->OpenSmbus(path).release() : nullptr;
  } catch (...) {
    return nullptr;
  }
}

}  // extern "C"
