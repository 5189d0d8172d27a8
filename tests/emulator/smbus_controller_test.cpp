#include "emulator/smbus_controller.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "emulator/emulator.hpp"
#include "emulator/register_chip.hpp"

namespace kestrova::emulator {
namespace {

namespace smbus = dravik::smbus;

class SmbusControllerTest : public ::testing::Test {
 protected:
  SmbusControllerTest() {
    chip->DefineField(0, 0, 7, 0, 0x19, false);
    chip->DefineField(1, 1, 7, 0, 0x60, true);
    chip->DefineField(0x100, 0x100, 7, 0, 0x80, false);
    emulator.GetBuses()->I2c().Attach(0x48, chip);
  }

  Emulator emulator;
  std::shared_ptr<RegisterChip> chip = std::make_shared<RegisterChip>();
  std::unique_ptr<smbus::Driver> controller = emulator.OpenSmbus("/dev/dravik_i2c0");
};

TEST_F(SmbusControllerTest, OpensOnlyItsOwnName) {
  EXPECT_NE(controller, nullptr);
  EXPECT_NE(emulator.OpenSmbus("dravik_i2c0"), nullptr);
  for (const char* other : {"/dev/dravik_i2c1", "/dev/i2c-0", static_cast<const char*>(nullptr)}) {
    EXPECT_EQ(emulator.OpenSmbus(other), nullptr);
  }
}

// Blocks in order on one controller: the bytes afterwards, or refused ({}).
// Two equal entries in a row are one 16-bit register, high byte first; the
// no-register codes go through the chip's pointer; register 0 is read-only.
TEST_F(SmbusControllerTest, ExecutesItsBlocks) {
  struct Case {
    uint32_t code;
    std::vector<uint8_t> block;
    std::vector<uint8_t> after;
    uint32_t length = 0;  // passed instead of the block's size
  };
  const Case cases[] = {
      {smbus::kIoctlRead, {0x48, 0, 2, 0, 1}, {0x48, 0, 2, 0x19, 0x60}},
      {smbus::kIoctlRead, {0x48, 0, 4, 0, 0, 1, 0}, {0x48, 0, 4, 0x19, 0x80, 0x60, 0x19}},
      {smbus::kIoctlWrite, {0x48, 0, 2, 1, 0, 0x7A, 0x00}, {0x48, 0, 2, 1, 0, 0x7A, 0x00}},
      {smbus::kIoctlRead, {0x48, 0, 2, 0, 1}, {0x48, 0, 2, 0x19, 0x7A}},
      {smbus::kIoctlWriteNoRegister, {0x48, 0, 1, 0xFF, 0x00}, {0x48, 0, 1, 0xFF, 0x00}},
      {smbus::kIoctlReadNoRegister, {0x48, 0, 1, 0xFF}, {0x48, 0, 1, 0x19}},
      {smbus::kIoctlRead, {0x49, 0, 1, 0}, {}},  // nobody at 0x49
      {smbus::kIoctlRead, {0x48, 0, 3, 0, 1}, {}},
      {smbus::kIoctlRead, {0x48, 0, 3, 0, 1}, {}, 2},
      {0x220000, {0x48, 0, 1, 0}, {}},
      {smbus::kIoctlWrite, {0x48, 0, 3, 0, 1}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.code << " " << int{c.block[2]});
    std::vector<uint8_t> block = c.block;
    uint32_t returned = 99;
    const uint32_t length = c.length ? c.length : static_cast<uint32_t>(block.size());
    EXPECT_EQ(controller->Control(c.code, block.data(), length, &returned), !c.after.empty());
    EXPECT_EQ(returned, c.after.empty() ? 0u : block.size());
    if (!c.after.empty()) {
      EXPECT_EQ(block, c.after);
    }
  }
}

TEST_F(SmbusControllerTest, FaultsFailOrShortenTheRequest) {
  std::string error;
  ASSERT_TRUE(emulator.ArmFaults("nak,short@2", &error)) << error;
  std::vector<uint8_t> block{0x48, 0, 1, 0};
  uint32_t returned = 0;
  EXPECT_FALSE(controller->Control(smbus::kIoctlRead, block.data(), 4, &returned));
  EXPECT_TRUE(controller->Control(smbus::kIoctlRead, block.data(), 4, &returned));
  EXPECT_EQ(returned, 3u);
  block[3] = 0;
  EXPECT_TRUE(controller->Control(smbus::kIoctlRead, block.data(), 4, &returned));
  EXPECT_EQ(returned, 4u);
}

}  // namespace
}  // namespace kestrova::emulator
