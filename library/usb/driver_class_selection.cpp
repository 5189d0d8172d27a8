// Which board interface class the USB device layer enumerates: a test's own,
// else the emulated board when DRAVIK_EMULATOR=1, else the real boards
// through libusb.
#include "drivers.hpp"
#include "emulator_loader.hpp"
#include "usb/libusb_driver.hpp"

namespace dravik {
namespace {

usb::DriverClass* testClass = nullptr;

// Stands in when the emulated board is selected but could not be loaded: no
// boards, so OpenDevice reports that none was found.
class NoBoards : public usb::DriverClass {
 public:
  int Count() override { return 0; }
  std::unique_ptr<usb::Driver> Open(int) override { return nullptr; }
};

}  // namespace

void SetUsbDriverClassForTesting(usb::DriverClass* driverClass) {
  testClass = driverClass;
}

usb::DriverClass* SelectedUsbDriverClass() {
  if (testClass != nullptr) {
    return testClass;
  }
  if (EmulatorSelected()) {
    const EmulatorEntryPoints& emulator = LoadEmulator();
    usb::DriverClass* emulated = emulator.usbClass != nullptr ? emulator.usbClass() : nullptr;
    if (emulated != nullptr) {
      return emulated;
    }
    static NoBoards none;
    return &none;
  }
  return &usb::LibusbDriverClass::Instance();
}

}  // namespace dravik
