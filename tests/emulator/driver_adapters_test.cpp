// The emulator's faces to the library's drivers. The USB driver adapter
// beyond what the library's fault suite and OpenDevice's tests (boards that
// re-enumerate) drive through it: malformed blocks, the stall status word,
// the buffered bulk form. The SMBus controller: its name, its blocks, its
// faults.
#include "emulator/usb_driver_adapter.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "emulator/emulator.hpp"
#include "emulator/register_chip.hpp"
#include "emulator/smbus_controller.hpp"
#include "usb/transfer_header.hpp"

namespace kestrova::emulator {
namespace {

using dravik::usb::IoResult;
namespace codes = dravik::usb;

// A transfer block as the library's own header writer lays it out, with
// `data` behind the header.
std::vector<uint8_t> Block(uint8_t requestType, uint8_t request, uint16_t value, uint8_t endpoint,
                           const std::vector<uint8_t>& data) {
  codes::TransferHeader header{requestType, request, value, 0, static_cast<uint16_t>(data.size()),
                               10};
  header.endpointAddress = endpoint;
  header.bufferOffset = data.empty() ? 0 : codes::kTransferHeaderSize;
  header.bufferLength = static_cast<uint32_t>(data.size());
  std::vector<uint8_t> block(codes::kTransferHeaderSize);
  codes::WriteTransferHeader(header, block.data());
  block.insert(block.end(), data.begin(), data.end());
  return block;
}

class AdapterTest : public ::testing::Test {
 protected:
  AdapterTest() {
    auto chip = std::make_shared<RegisterChip>();
    chip->DefineField(1, 1, 7, 0, 0x43, true);
    board->GetBuses()->I2c().Attach(0x48, chip);
    driverClass.AddBoard(board);
  }

  IoResult Run(codes::Driver& driver, uint32_t code, std::vector<uint8_t> block,
               uint32_t inLength = 0) {
    out.assign(block.size(), 0xEE);
    returned = 0;
    return driver.Control(code, block.data(),
                          inLength ? inLength : static_cast<uint32_t>(block.size()), out.data(),
                          static_cast<uint32_t>(out.size()), &returned, 10000);
  }

  std::shared_ptr<Board> board =
      std::make_shared<Board>(BoardClass::kFullSpeed, BoardIdentity{0x0400, 0x1100}, nullptr);
  EmulatedDriverClass driverClass;
  std::vector<uint8_t> out;
  uint32_t returned = 0;
};

TEST_F(AdapterTest, RefusesShortBlocksAndAStallFailsWithItsStatusWord) {
  auto driver = driverClass.Open(0);
  for (const uint32_t code :
       {codes::kIoctlControlTransfer, codes::kIoctlBufferedTransfer, codes::kIoctlDirectTransfer}) {
    EXPECT_EQ(Run(*driver, code, std::vector<uint8_t>(10)), IoResult::kFailed) << code;
  }
  // A header that promises more data than the block holds.
  EXPECT_EQ(Run(*driver, codes::kIoctlControlTransfer, Block(0x40, 0xA0, 0x7F92, 0, {1}), 38),
            IoResult::kFailed);
  EXPECT_EQ(Run(*driver, codes::kIoctlControlTransfer, Block(0x80, 6, 0x0301, 0, {0, 0})),
            IoResult::kFailed);
  EXPECT_EQ(codes::ReadTransferHeader(out.data()).status, kStatusStall);
}

TEST_F(AdapterTest, BufferedBulkCarriesTheHeaderAndTheDataBothWays) {
  // A 4096-byte image that keeps the board's identity (the download itself
  // goes through the adapter in the library's fault suite).
  std::vector<uint8_t> image(4096, 0);
  image[0x0F09] = 0x04;
  image[0x0F0B] = 0x11;
  ASSERT_TRUE(board->BootFrom(image));
  auto driver = driverClass.Open(0);
  ASSERT_NE(driver, nullptr);
  const std::vector<uint8_t> packet = {0, 2, 2, 0x48, 1, 1};  // register 1 of the chip at 0x48
  ASSERT_EQ(Run(*driver, codes::kIoctlBufferedTransfer, Block(0, 0, 0, 0x01, packet)),
            IoResult::kDone);
  EXPECT_EQ(returned, 38u + packet.size());
  ASSERT_EQ(Run(*driver, codes::kIoctlBufferedTransfer, Block(0, 0, 0, 0x81, {0})),
            IoResult::kDone);
  EXPECT_EQ(returned, 39u);
  EXPECT_EQ(out[38], 0x43);
  EXPECT_EQ(codes::ReadTransferHeader(out.data()).status, 0u);
}

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
  EXPECT_NE(emulator.OpenSmbus("dravik_i2c0"), nullptr);
  EXPECT_EQ(emulator.OpenSmbus("/dev/dravik_i2c1"), nullptr);
  EXPECT_EQ(emulator.OpenSmbus(nullptr), nullptr);
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
