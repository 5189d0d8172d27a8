// The two C entry points of libdravik-emulator.so: the library looks them up
// when the emulated board is selected, the emulator defines them. Both sides
// include this header, so a change of either signature does not compile.
#pragma once

#include "smbus/smbus_driver.hpp"
#include "usb/usb_driver.hpp"

extern "C" {
// The emulator's board interface class; owned by the emulator, lives for the process.
__attribute__((visibility("default"))) dravik::usb::DriverClass* dravik_emulator_usb_class();
// Opens the emulated SMBus controller; the caller owns the result.
__attribute__((visibility("default"))) dravik::smbus::Driver* dravik_emulator_smbus_open(
    const char* path);
}
