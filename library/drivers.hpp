// How the library picks its drivers, and the seams tests use to hand it
// their own. Nothing here is exported from libdravik.so.
#pragma once

#include <functional>
#include <memory>

#include "smbus/smbus_driver.hpp"
#include "usb/usb_device.hpp"
#include "usb/usb_driver.hpp"

namespace dravik {

// Replaces the device object OpenDevice creates (default: usb::CreateDevice).
// An empty function restores the default.
using DeviceFactory = std::function<std::unique_ptr<usb::Device>()>;
void SetDeviceFactoryForTesting(DeviceFactory factory);
std::unique_ptr<usb::Device> MakeDevice();

// Replaces the board interface class under the real UsbDevice (default: the
// emulated board when DRAVIK_EMULATOR=1, else libusb). nullptr restores it.
void SetUsbDriverClassForTesting(usb::DriverClass* driverClass);
usb::DriverClass* SelectedUsbDriverClass();

// Replaces how the SMBus link opens its controller driver (default:
// smbus::OpenDriver). An empty function restores the default.
using SmbusOpener = std::function<std::unique_ptr<smbus::Driver>(const char* path)>;
void SetSmbusOpenerForTesting(SmbusOpener opener);
std::unique_ptr<smbus::Driver> OpenSmbusDriver(const char* path);

}  // namespace dravik
