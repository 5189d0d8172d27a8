// Nothing is allocated per transfer: every allocation of the process is
// counted while ReadDevice and WriteDevice run through the USB device layer
// (both transfer forms, the fixture's packet trace on) and the SMBus link.
#include <gtest/gtest.h>
#include <numeric>
#include <vector>

#include "counting_new.hpp"
#include "drivers.hpp"
#include "library_fixture.hpp"
#include "smbus/smbus_driver.hpp"

namespace dravik::testing {
namespace {

class EchoDriver : public smbus::Driver {
 public:
  bool Control(uint32_t, uint8_t*, uint32_t length, uint32_t* returned) override {
    *returned = length;
    return true;
  }
};

class AllocationTest : public LibraryTest, public ::testing::WithParamInterface<uint32_t> {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    board.driverVersion = GetParam();
    board.recording = false;
    driverClass = &board;
    SetSmbusOpenerForTesting([](const char*) { return std::make_unique<EchoDriver>(); });
  }
};

TEST_P(AllocationTest, TransfersAllocateNothing) {
  DeviceHandle usb = -1;
  ASSERT_EQ(OpenAny(&usb), 1);
  DeviceHandle controller = -1;
  ASSERT_EQ(OpenDevice(LINK_SMBUS, "i2c-", nullptr, 0, nullptr, &controller), 1);
  std::vector<int16_t> registers(2048);
  std::iota(registers.begin(), registers.end(), int16_t{0});
  std::vector<uint8_t> data(2048, 0x11);
  int16_t size = 1;
  ASSERT_EQ(ReadDevice(usb, 0, BUS_I2C, 0x48, registers.data(), data.data(), &size), 1);

  const long before = AllocationCount();
  for (int16_t count : {1, 58, 1024, 2048}) {  // 2048: a chip pass and a board pass, both full
    size = count;
    EXPECT_EQ(ReadDevice(usb, 0, BUS_I2C, 0x48, registers.data(), data.data(), &size), 1);
    EXPECT_EQ(WriteDevice(usb, 0, BUS_I2C, 0x48, registers.data(), data.data(), &size), 1);
  }
  size = 200;
  EXPECT_EQ(ReadDevice(usb, 0, BUS_STREAM, 0x48, registers.data(), data.data(), &size), 1);
  size = 255;
  EXPECT_EQ(ReadDevice(controller, 0, BUS_SMBUS, 0x48, registers.data(), data.data(), &size), 1);
  EXPECT_EQ(WriteDevice(controller, 0, BUS_SMBUS, 0x48, registers.data(), data.data(), &size), 1);
  // Failures allocate nothing either.
  size = 1;
  EXPECT_EQ(ReadDevice(usb, 0, BUS_MICROWIRE4, 0x48, registers.data(), data.data(), &size), 0);
  EXPECT_EQ(ReadDevice(12345, 0, BUS_I2C, 0x48, registers.data(), data.data(), &size), 0);
  EXPECT_EQ(AllocationCount() - before, 0);

  // The counter sees allocations (kept in a volatile so none is left out).
  std::vector<int>* volatile probe = new std::vector<int>(10);
  delete probe;
  EXPECT_GE(AllocationCount() - before, 2);
}

INSTANTIATE_TEST_SUITE_P(DirectAndBuffered, AllocationTest,
                         ::testing::Values(0x01050500u, 0x01000000u));

}  // namespace
}  // namespace dravik::testing
