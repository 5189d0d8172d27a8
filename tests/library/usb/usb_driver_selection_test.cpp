#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "drivers.hpp"
#include "usb/libusb_driver.hpp"

namespace dravik {
namespace {

class DriverSelectionTest : public ::testing::Test {
 protected:
  ~DriverSelectionTest() override { unsetenv("DRAVIK_EMULATOR"); }
  static bool EmulatorBuilt() {
    return access(KESTROVA_BIN_DIR "/libdravik-emulator.so", R_OK) == 0;
  }
};

// Without the emulator the real boards are reached through libusb; with it,
// the emulator loaded from beside the library (a test's class, which wins over
// both, is what the emulator's fault suite runs on).
TEST_F(DriverSelectionTest, TheBoardsComeFromLibusbTheEmulatorOrATestClass) {
  unsetenv("DRAVIK_EMULATOR");
  EXPECT_EQ(SelectedUsbDriverClass(), &usb::LibusbDriverClass::Instance());
  setenv("DRAVIK_EMULATOR", "0", 1);
  EXPECT_EQ(SelectedUsbDriverClass(), &usb::LibusbDriverClass::Instance());
  setenv("DRAVIK_EMULATOR", "1", 1);
  usb::DriverClass* emulated = SelectedUsbDriverClass();
  ASSERT_NE(emulated, nullptr);
  EXPECT_NE(emulated, &usb::LibusbDriverClass::Instance());
  if (!EmulatorBuilt()) {
    EXPECT_EQ(emulated->Count(), 0);  // no emulator, so no boards
  }
}

TEST_F(DriverSelectionTest, TheDefaultSmbusNameReachesTheEmulatedControllerOnlyWhenSelected) {
  unsetenv("DRAVIK_EMULATOR");
  // Without the emulator the name is an i2c-dev path like any other.
  EXPECT_EQ(smbus::OpenDriver("/dev/dravik_i2c0"), nullptr);
  EXPECT_EQ(smbus::OpenDriver("/dev/i2c-250"), nullptr);
  EXPECT_EQ(smbus::OpenDriver(nullptr), nullptr);
  setenv("DRAVIK_EMULATOR", "1", 1);
  EXPECT_EQ(smbus::OpenDriver("/dev/dravik_i2c0") != nullptr, EmulatorBuilt());
  EXPECT_EQ(smbus::OpenDriver("dravik_i2c0") != nullptr, EmulatorBuilt());
  EXPECT_EQ(smbus::OpenDriver("/dev/i2c-250"), nullptr);
}

}  // namespace
}  // namespace dravik
