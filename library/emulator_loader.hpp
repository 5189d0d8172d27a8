// Loading the emulated board: libdravik-emulator.so is looked for beside
// libdravik itself, then on the usual library path, once per process, and
// only when DRAVIK_EMULATOR=1 selects it.
#pragma once

#include "usb/emulator_entry_points.hpp"

namespace dravik {

// True when DRAVIK_EMULATOR is "1".
bool EmulatorSelected();

struct EmulatorEntryPoints {
  decltype(&dravik_emulator_usb_class) usbClass = nullptr;
  decltype(&dravik_emulator_smbus_open) smbusOpen = nullptr;
};

// The emulator's entry points; both null when the library did not load (the
// reason goes to the diagnostic output).
const EmulatorEntryPoints& LoadEmulator();

}  // namespace dravik
