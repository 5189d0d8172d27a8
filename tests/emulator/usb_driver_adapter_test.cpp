#include "emulator/usb_driver_adapter.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "emulator/register_chip.hpp"
#include "test_packets.hpp"

namespace kestrova::emulator {
namespace {

using dravik::usb::IoResult;
namespace codes = dravik::usb;

constexpr uint32_t kTimeoutMs = 10000;

// A 38-byte transfer header as the library lays it out.
std::vector<uint8_t> Header(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                            uint16_t length, uint8_t endpoint, uint32_t bufferLength) {
  std::vector<uint8_t> h(codes::kTransferHeaderSize, 0);
  h[0] = requestType;
  h[1] = request;
  h[2] = static_cast<uint8_t>(value);
  h[3] = static_cast<uint8_t>(value >> 8);
  h[4] = static_cast<uint8_t>(index);
  h[5] = static_cast<uint8_t>(index >> 8);
  h[6] = static_cast<uint8_t>(length);
  h[7] = static_cast<uint8_t>(length >> 8);
  h[8] = 10;  // seconds
  h[13] = endpoint;
  h[30] = bufferLength > 0 ? 38 : 0;
  for (int i = 0; i < 4; ++i) {
    h[34 + i] = static_cast<uint8_t>(bufferLength >> (8 * i));
  }
  return h;
}

uint32_t Status(const std::vector<uint8_t>& block, size_t offset) {
  uint32_t v = 0;
  std::memcpy(&v, block.data() + offset, 4);
  return v;
}

class AdapterTest : public ::testing::Test {
 protected:
  AdapterTest() {
    auto chip = std::make_shared<RegisterChip>();
    chip->DefineField(0, 0, 7, 0, 0x42, true);
    chip->DefineField(1, 1, 7, 0, 0x43, true);
    board = std::make_shared<Board>(BoardClass::kFullSpeed, BoardIdentity{0x0400, 0x1100}, nullptr);
    board->GetBuses()->I2c().Attach(0x48, chip);
    driverClass.AddBoard(board);
  }

  // Control request through code 0x220020; returns the data part.
  IoResult ControlIn(codes::Driver& driver, uint8_t type, uint8_t request, uint16_t value,
                     uint16_t length, std::vector<uint8_t>& data) {
    const std::vector<uint8_t> in = Header(type, request, value, 0, length, 0, length);
    std::vector<uint8_t> block = in;
    block.resize(in.size() + length, 0);
    std::vector<uint8_t> out(block.size(), 0xEE);
    uint32_t returned = 0;
    const IoResult r = driver.Control(codes::kIoctlControlTransfer, block.data(),
                                      static_cast<uint32_t>(block.size()), out.data(),
                                      static_cast<uint32_t>(out.size()), &returned, kTimeoutMs);
    lastOut = out;
    data.clear();
    for (uint32_t i = 38; i < returned && i < out.size(); ++i) {
      data.push_back(out[i]);
    }
    return r;
  }

  IoResult ControlOut(codes::Driver& driver, uint16_t value, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> block = Header(0x40, 0xA0, value, 0, static_cast<uint16_t>(data.size()), 0,
                                        static_cast<uint32_t>(data.size()));
    block.insert(block.end(), data.begin(), data.end());
    std::vector<uint8_t> out(block.size(), 0);
    uint32_t returned = 0;
    const IoResult r = driver.Control(codes::kIoctlControlTransfer, block.data(),
                                      static_cast<uint32_t>(block.size()), out.data(),
                                      static_cast<uint32_t>(out.size()), &returned, kTimeoutMs);
    lastOut = out;
    lastReturned = returned;
    return r;
  }

  void Program(codes::Driver& driver) {
    std::vector<uint8_t> image(4096, 0);
    image[0x0F08] = 0x00;
    image[0x0F09] = 0x04;
    image[0x0F0A] = 0x00;
    image[0x0F0B] = 0x11;
    ASSERT_EQ(ControlOut(driver, 0x7F92, {1}), IoResult::kDone);
    for (size_t offset = 0; offset < image.size(); offset += 512) {
      ASSERT_EQ(ControlOut(driver, static_cast<uint16_t>(offset),
                           {image.begin() + offset, image.begin() + offset + 512}),
                IoResult::kDone);
      ASSERT_EQ(lastReturned, 38u + 512u);
    }
    ASSERT_EQ(ControlOut(driver, 0x7F92, {0}), IoResult::kDone);
  }

  IoResult Direct(codes::Driver& driver, uint8_t endpoint, uint8_t* data, uint32_t length,
                  uint32_t* returned) {
    std::vector<uint8_t> header(codes::kTransferHeaderSize, 0);
    header[13] = endpoint;
    return driver.Control(codes::kIoctlDirectTransfer, header.data(),
                          static_cast<uint32_t>(header.size()), data, length, returned, kTimeoutMs);
  }

  std::shared_ptr<Board> board;
  EmulatedDriverClass driverClass;
  std::vector<uint8_t> lastOut;
  uint32_t lastReturned = 0;
};

TEST_F(AdapterTest, StallFailsWithAStatusWord) {
  auto driver = driverClass.Open(0);
  std::vector<uint8_t> data;
  EXPECT_EQ(ControlIn(*driver, 0x80, 6, 0x0301, 2, data), IoResult::kFailed);
  EXPECT_EQ(Status(lastOut, 14), kStatusStall);
}

TEST_F(AdapterTest, ReEnumerationLeavesOldHandlesStale) {
  auto driver = driverClass.Open(0);
  Program(*driver);
  ASSERT_TRUE(board->FirmwareRunning());
  std::vector<uint8_t> data;
  EXPECT_EQ(ControlIn(*driver, 0x80, 6, 0x0100, 18, data), IoResult::kFailed);
  auto fresh = driverClass.Open(0);
  ASSERT_EQ(ControlIn(*fresh, 0x80, 6, 0x0100, 18, data), IoResult::kDone);
  EXPECT_EQ(data[14], 1);
  EXPECT_EQ(data[15], 2);
}

TEST_F(AdapterTest, BufferedBulkRoundTrip) {
  Program(*driverClass.Open(0));
  auto driver = driverClass.Open(0);
  const std::vector<uint8_t> packet = testing::ChipRead(2, 0x48, {1});
  std::vector<uint8_t> block = Header(0, 0, 0, 0, 0, 0x01, static_cast<uint32_t>(packet.size()));
  block.insert(block.end(), packet.begin(), packet.end());
  std::vector<uint8_t> out(block.size(), 0);
  uint32_t returned = 0;
  ASSERT_EQ(driver->Control(codes::kIoctlBufferedTransfer, block.data(),
                            static_cast<uint32_t>(block.size()), out.data(),
                            static_cast<uint32_t>(out.size()), &returned, kTimeoutMs),
            IoResult::kDone);
  EXPECT_EQ(returned, 38u + packet.size());

  std::vector<uint8_t> in = Header(0, 0, 0, 0, 0, 0x81, 1);
  in.push_back(0);
  std::vector<uint8_t> answer(in.size(), 0);
  ASSERT_EQ(
      driver->Control(codes::kIoctlBufferedTransfer, in.data(), static_cast<uint32_t>(in.size()),
                      answer.data(), static_cast<uint32_t>(answer.size()), &returned, kTimeoutMs),
      IoResult::kDone);
  EXPECT_EQ(returned, 39u);
  EXPECT_EQ(answer[38], 0x43);
  EXPECT_EQ(Status(answer, 14), 0u);
}

TEST_F(AdapterTest, DisconnectedBoardLeavesTheClassUntilTheNextSearch) {
  Program(*driverClass.Open(0));
  auto driver = driverClass.Open(0);
  board->Faults().Arm(FaultKind::kDisconnect);
  std::vector<uint8_t> packet = testing::ChipRead(2, 0x48, {0});
  uint32_t returned = 0;
  EXPECT_EQ(Direct(*driver, 0x01, packet.data(), static_cast<uint32_t>(packet.size()), &returned),
            IoResult::kFailed);
  EXPECT_FALSE(board->Connected());
  EXPECT_EQ(driverClass.Open(0), nullptr);
  EXPECT_EQ(driverClass.Count(), 1) << "plugged back in";
  EXPECT_FALSE(board->FirmwareRunning());

  board->SetReplugsOnSearch(false);
  board->Unplug();
  EXPECT_EQ(driverClass.Count(), 0);
}

TEST_F(AdapterTest, ShortBlocksAreRefused) {
  auto driver = driverClass.Open(0);
  uint8_t small[10] = {};
  uint32_t returned = 0;
  EXPECT_EQ(driver->Control(codes::kIoctlControlTransfer, small, 10, small, 10, &returned, 1000),
            IoResult::kFailed);
  EXPECT_EQ(driver->Control(codes::kIoctlBufferedTransfer, small, 10, small, 10, &returned, 1000),
            IoResult::kFailed);
  EXPECT_EQ(driver->Control(codes::kIoctlDirectTransfer, small, 10, small, 10, &returned, 1000),
            IoResult::kFailed);
  // A header that promises more data than the block holds.
  std::vector<uint8_t> header = Header(0x80, 6, 0x0100, 0, 18, 0, 18);
  std::vector<uint8_t> out(38, 0);
  EXPECT_EQ(driver->Control(codes::kIoctlControlTransfer, header.data(), 38, out.data(), 38,
                            &returned, 1000),
            IoResult::kFailed);
}

TEST_F(AdapterTest, ReEnumeratingBoardIsAbsentForItsSearches) {
  board->SetReEnumerationSearches(2);
  Program(*driverClass.Open(0));
  EXPECT_EQ(driverClass.Count(), 0);
  EXPECT_EQ(driverClass.Open(0), nullptr);
  EXPECT_EQ(driverClass.Count(), 0);
  EXPECT_EQ(driverClass.Count(), 1);
  EXPECT_TRUE(board->FirmwareRunning()) << "a re-enumeration keeps the firmware";
}

TEST(AdapterClassTest, SeveralBoardsAreCountedInOrder) {
  EmulatedDriverClass driverClass;
  auto first = std::make_shared<Board>(BoardClass::kFullSpeed, BoardIdentity{1, 2}, nullptr);
  auto second = std::make_shared<Board>(BoardClass::kHighSpeed, BoardIdentity{3, 4}, nullptr);
  driverClass.AddBoard(first);
  driverClass.AddBoard(second);
  EXPECT_EQ(driverClass.Count(), 2);
  first->SetReplugsOnSearch(false);
  first->Unplug();
  EXPECT_EQ(driverClass.Count(), 1);
  uint8_t word[4] = {};
  uint32_t returned = 0;
  auto driver = driverClass.Open(0);
  ASSERT_NE(driver, nullptr);
  ASSERT_EQ(driver->Control(codes::kIoctlBusSpeed, nullptr, 0, word, 4, &returned, 5000),
            IoResult::kDone);
  EXPECT_EQ(word[0], 2) << "the high-speed board is now board 0";
}

}  // namespace
}  // namespace kestrova::emulator
