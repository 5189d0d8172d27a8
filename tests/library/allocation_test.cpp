// Nothing is allocated per transfer: every allocation of the process is
// counted while ReadDevice and WriteDevice run over a null link.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <numeric>
#include <vector>

#include "counting_new.hpp"
#include "drivers.hpp"
#include "fake_board.hpp"
#include "handle_table.hpp"
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

class AllocationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CloseAllOpenLinksForTesting();
    SetDeviceFactoryForTesting([] { return std::make_unique<NullDevice>(); });
    SetSmbusOpenerForTesting([](const char*) { return std::make_unique<EchoDriver>(); });
    lockPath = (std::filesystem::temp_directory_path() /
                ("dravik-alloc-lock-" + std::to_string(::getpid())))
                   .string();
    ::setenv("DRAVIK_SMBUS_LOCK", lockPath.c_str(), 1);
  }
  void TearDown() override {
    CloseAllOpenLinksForTesting();
    SetDeviceFactoryForTesting(nullptr);
    SetSmbusOpenerForTesting(nullptr);
    ::unsetenv("DRAVIK_SMBUS_LOCK");
    std::filesystem::remove(lockPath);
  }
  std::string lockPath;
};

TEST_F(AllocationTest, TransfersAllocateNothing) {
  uint16_t vidPid[2] = {0, 0};
  DeviceHandle board = -1;
  ASSERT_EQ(OpenDevice(LINK_USB, "dravik", vidPid, 0, nullptr, &board), 1);
  DeviceHandle controller = -1;
  ASSERT_EQ(OpenDevice(LINK_SMBUS, "i2c-", nullptr, 0, nullptr, &controller), 1);

  std::vector<int16_t> registers(2048);
  std::iota(registers.begin(), registers.begin() + 1024, int16_t{0});
  std::iota(registers.begin() + 1024, registers.end(), int16_t{1024});
  std::vector<uint8_t> data(2048, 0x11);

  const long before = dravik::testing::AllocationCount();
  for (int16_t count : {1, 58, 1024}) {
    int16_t size = count;
    EXPECT_EQ(ReadDevice(board, 0, BUS_I2C, 0x48, registers.data(), data.data(), &size), 1);
    EXPECT_EQ(WriteDevice(board, 0, BUS_I2C, 0x48, registers.data(), data.data(), &size), 1);
  }
  int16_t size = 2048;  // both passes full
  EXPECT_EQ(ReadDevice(board, 0, BUS_I2C, 0x48, registers.data(), data.data(), &size), 1);
  EXPECT_EQ(WriteDevice(board, 0, BUS_I2C, 0x48, registers.data(), data.data(), &size), 1);
  size = 200;
  EXPECT_EQ(ReadDevice(board, 0, BUS_STREAM, 0x48, registers.data(), data.data(), &size), 1);
  size = 255;
  EXPECT_EQ(ReadDevice(controller, 0, BUS_SMBUS, 0x48, registers.data(), data.data(), &size), 1);
  EXPECT_EQ(WriteDevice(controller, 0, BUS_SMBUS, 0x48, registers.data(), data.data(), &size), 1);
  // Failures allocate nothing either.
  size = 1;
  EXPECT_EQ(ReadDevice(board, 0, BUS_MICROWIRE4, 0x48, registers.data(), data.data(), &size), 0);
  EXPECT_EQ(ReadDevice(12345, 0, BUS_I2C, 0x48, registers.data(), data.data(), &size), 0);
  const long during = dravik::testing::AllocationCount() - before;
  EXPECT_EQ(during, 0);

  EXPECT_EQ(CloseDevice(board), 1);
  EXPECT_EQ(CloseDevice(controller), 1);
}

TEST_F(AllocationTest, CounterSeesAllocations) {
  const long before = dravik::testing::AllocationCount();
  // Kept in a volatile so the compiler may not leave the allocations out.
  std::vector<int>* volatile probe = new std::vector<int>(10);
  delete probe;
  EXPECT_GE(dravik::testing::AllocationCount() - before, 2);
}

}  // namespace
}  // namespace dravik::testing
