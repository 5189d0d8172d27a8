#include "emulator/smbus_controller.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "emulator/emulator.hpp"
#include "emulator/register_chip.hpp"

namespace kestrova::emulator {
namespace {

using dravik::smbus::kIoctlRead;
using dravik::smbus::kIoctlWrite;

class SmbusControllerTest : public ::testing::Test {
 protected:
  SmbusControllerTest() {
    chip = std::make_shared<RegisterChip>();
    chip->DefineField(0, 0, 7, 0, 0x19, false);
    chip->DefineField(1, 1, 7, 0, 0x60, true);
    chip->DefineField(0x100, 0x100, 7, 0, 0x80, false);
    emulator.GetBuses()->I2c().Attach(0x48, chip);
    controller = emulator.OpenSmbus("/dev/dravik_i2c0");
  }

  Emulator emulator;
  std::shared_ptr<RegisterChip> chip;
  std::unique_ptr<dravik::smbus::Driver> controller;
};

TEST_F(SmbusControllerTest, OpensOnlyItsOwnName) {
  EXPECT_NE(controller, nullptr);
  EXPECT_NE(emulator.OpenSmbus("dravik_i2c0"), nullptr);
  EXPECT_EQ(emulator.OpenSmbus("/dev/dravik_i2c1"), nullptr);
  EXPECT_EQ(emulator.OpenSmbus("/dev/i2c-0"), nullptr);
  EXPECT_EQ(emulator.OpenSmbus(nullptr), nullptr);
}

TEST_F(SmbusControllerTest, ReadReplacesTheRegisterBytesWithValues) {
  std::vector<uint8_t> block{0x48, 0, 2, 0, 1};
  uint32_t returned = 0;
  ASSERT_TRUE(controller->Control(kIoctlRead, block.data(), 5, &returned));
  EXPECT_EQ(returned, 5u);
  EXPECT_EQ(block, (std::vector<uint8_t>{0x48, 0, 2, 0x19, 0x60}));
}

TEST_F(SmbusControllerTest, TwoEqualEntriesInARowAreOne16BitRegister) {
  // Register 0 twice is a 16-bit register: high byte, then low byte, as a
  // word transfer brings them; a lone entry is a byte transfer.
  std::vector<uint8_t> block{0x48, 0, 4, 0, 0, 1, 0};
  uint32_t returned = 0;
  ASSERT_TRUE(controller->Control(kIoctlRead, block.data(), 7, &returned));
  EXPECT_EQ(block, (std::vector<uint8_t>{0x48, 0, 4, 0x19, 0x80, 0x60, 0x19}));
}

TEST_F(SmbusControllerTest, NoRegisterCodesReadAndWriteThroughThePointer) {
  // Send-byte sets the chip's pointer; receive-byte reads the register it names.
  std::vector<uint8_t> write{0x48, 0, 1, 0xFF, 0x01};
  uint32_t returned = 0;
  ASSERT_TRUE(
      controller->Control(dravik::smbus::kIoctlWriteNoRegister, write.data(), 5, &returned));
  EXPECT_EQ(returned, 5u);
  std::vector<uint8_t> read{0x48, 0, 1, 0xFF};
  ASSERT_TRUE(controller->Control(dravik::smbus::kIoctlReadNoRegister, read.data(), 4, &returned));
  EXPECT_EQ(read[3], 0x60);
}

TEST_F(SmbusControllerTest, WriteSetsWritableBitsAndReturnsTheBlockLength) {
  std::vector<uint8_t> block{0x48, 0, 2, 1, 0, 0x7A, 0x00};
  uint32_t returned = 0;
  ASSERT_TRUE(controller->Control(kIoctlWrite, block.data(), 7, &returned));
  EXPECT_EQ(returned, 7u);
  EXPECT_EQ(chip->Byte(1), 0x7A);
  EXPECT_EQ(chip->Byte(0), 0x19) << "read-only";
}

TEST_F(SmbusControllerTest, AbsentChipFailsTheCall) {
  std::vector<uint8_t> block{0x49, 0, 1, 0};
  uint32_t returned = 7;
  EXPECT_FALSE(controller->Control(kIoctlRead, block.data(), 4, &returned));
  EXPECT_EQ(returned, 0u);
}

TEST_F(SmbusControllerTest, BadBlocksAndCodesFail) {
  std::vector<uint8_t> block{0x48, 0, 3, 0, 1};  // n = 3 but two entries
  uint32_t returned = 0;
  EXPECT_FALSE(controller->Control(kIoctlRead, block.data(), 5, &returned));
  EXPECT_FALSE(controller->Control(kIoctlRead, block.data(), 2, &returned));
  EXPECT_FALSE(controller->Control(0x220000, block.data(), 5, &returned));
  EXPECT_FALSE(controller->Control(kIoctlWrite, block.data(), 5, &returned));
}

TEST_F(SmbusControllerTest, FaultsFailOrShortenTheRequest) {
  std::string error;
  ASSERT_TRUE(emulator.ArmFaults("nak,short@2", &error)) << error;
  std::vector<uint8_t> block{0x48, 0, 1, 0};
  uint32_t returned = 0;
  EXPECT_FALSE(controller->Control(kIoctlRead, block.data(), 4, &returned));
  EXPECT_TRUE(controller->Control(kIoctlRead, block.data(), 4, &returned));
  EXPECT_EQ(returned, 3u);
  block[3] = 0;
  EXPECT_TRUE(controller->Control(kIoctlRead, block.data(), 4, &returned));
  EXPECT_EQ(returned, 4u);
  EXPECT_FALSE(emulator.ArmFaults("nak@x", &error));
}

}  // namespace
}  // namespace kestrova::emulator
