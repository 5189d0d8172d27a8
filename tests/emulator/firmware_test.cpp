#include "emulator/firmware.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "emulator/register_chip.hpp"
#include "test_packets.hpp"

namespace kestrova::emulator {
namespace {

using testing::BoardRead;
using testing::BoardWrite;
using testing::ChipRead;
using testing::ChipWrite;
using testing::HeaderlessRead;
using testing::HeaderlessWrite;

std::vector<uint8_t> Bytes(const Response& response) {
  return {response.bytes.begin(), response.bytes.begin() + response.length};
}

class FirmwareTest : public ::testing::Test {
 protected:
  FirmwareTest() {
    chip = std::make_shared<RegisterChip>("demo");
    for (uint16_t a = 0; a < 8; ++a) {
      chip->DefineField(a, a, 7, 0, 0x10 + a, true);
    }
    chip->DefineField(0x100, 0x100, 7, 0, 0xA5, true);  // low byte of 16-bit register 0
    buses.I2c().Attach(0x48, chip);
  }

  CommandResult Run(const std::vector<uint8_t>& packet, bool forceNak = false) {
    return firmware.Execute(packet.data(), packet.size(), forceNak);
  }

  Buses buses;
  Firmware firmware{buses};
  std::shared_ptr<RegisterChip> chip;
};

TEST_F(FirmwareTest, I2cReadAnswersOneBytePerRegister) {
  const CommandResult r = Run(ChipRead(kBusI2c, 0x48, {0x01, 0x02, 0x03}));
  ASSERT_TRUE(r.accepted);
  ASSERT_TRUE(r.hasResponse);
  EXPECT_EQ(Bytes(r.response), (std::vector<uint8_t>{0x11, 0x12, 0x13}));
  EXPECT_FALSE(r.nak);
}

TEST_F(FirmwareTest, EqualRegisterBytesReadOneMultiByteRegisterHighFirst) {
  const CommandResult r = Run(ChipRead(kBusI2c, 0x48, {0x00, 0x00, 0x01}));
  EXPECT_EQ(Bytes(r.response), (std::vector<uint8_t>{0x10, 0xA5, 0x11}));
}

TEST_F(FirmwareTest, I2cWriteChangesTheChipAndHasNoResponse) {
  const CommandResult r = Run(ChipWrite(kBusI2c, 0x48, {0x02, 0x03}, {0x55, 0x66}));
  ASSERT_TRUE(r.accepted);
  EXPECT_FALSE(r.hasResponse);
  EXPECT_EQ(chip->Byte(2), 0x55);
  EXPECT_EQ(chip->Byte(3), 0x66);
}

TEST_F(FirmwareTest, AbsentI2cChipIsANakAndAnEmptyResponse) {
  const CommandResult r = Run(ChipRead(kBusI2c, 0x49, {0x00, 0x01}));
  ASSERT_TRUE(r.accepted);
  EXPECT_TRUE(r.nak);
  EXPECT_TRUE(r.hasResponse);
  EXPECT_EQ(r.response.length, 0u);
  EXPECT_EQ(firmware.Naks(), 1u);
}

TEST_F(FirmwareTest, ForcedNakStopsAWriteBeforeAnyByte) {
  const CommandResult r = Run(ChipWrite(kBusI2c, 0x48, {0x02}, {0x99}), true);
  EXPECT_TRUE(r.nak);
  EXPECT_EQ(chip->Byte(2), 0x12);
}

TEST_F(FirmwareTest, NoRegisterAddressWritesThePointerThenData) {
  // Header of the device address alone: the first byte on the wire is the
  // chip's register pointer.
  const std::vector<uint8_t> write{1, kBusI2c, 1, 0x48, 2, 0x05, 0x77};
  ASSERT_TRUE(Run(write).accepted);
  EXPECT_EQ(chip->Byte(5), 0x77);
  const CommandResult r = Run({0, kBusI2c, 1, 0x48, 1});
  EXPECT_EQ(Bytes(r.response), (std::vector<uint8_t>{0x77}));
}

TEST_F(FirmwareTest, SingleWireAndSpiReachTheirOwnChips) {
  auto wire = std::make_shared<RegisterChip>();
  wire->DefineField(0x10, 0x10, 7, 0, 0x3C, true);
  buses.SingleWire().Attach(7, wire);
  auto spi = std::make_shared<RegisterChip>();
  spi->DefineField(0x20, 0x20, 7, 0, 0x5A, true);
  buses.Spi().Attach(200, spi);

  EXPECT_EQ(Bytes(Run(ChipRead(kBusSingleWire, 7, {0x10})).response), (std::vector<uint8_t>{0x3C}));
  EXPECT_EQ(Bytes(Run(ChipRead(kBusSpi, 200, {0x20})).response), (std::vector<uint8_t>{0x5A}));
  Run(ChipWrite(kBusSpi, 200, {0x20}, {0x01}));
  EXPECT_EQ(spi->Byte(0x20), 0x01);
  // Single-wire stops at address 7; SPI has no acknowledge and reads a
  // floating line from an empty chip select.
  EXPECT_TRUE(Run(ChipRead(kBusSingleWire, 8, {0x10})).nak);
  const CommandResult floating = Run(ChipRead(kBusSpi, 201, {0x20, 0x21}));
  EXPECT_FALSE(floating.nak);
  EXPECT_EQ(Bytes(floating.response), (std::vector<uint8_t>{0xFF, 0xFF}));
}

TEST_F(FirmwareTest, BoardRegistersUseSixteenBitAddressesHighByteFirst) {
  ASSERT_TRUE(Run(BoardWrite({0x0400, 0x1234}, {0xAB, 0xCD})).accepted);
  EXPECT_EQ(buses.Registers().Read(0x0400), 0xAB);
  EXPECT_EQ(buses.Registers().Read(0x1234), 0xCD);
  EXPECT_EQ(buses.Registers().Read(0x3412), 0x00);
  EXPECT_EQ(Bytes(Run(BoardRead({0x1234, 0x0400})).response), (std::vector<uint8_t>{0xCD, 0xAB}));
}

TEST_F(FirmwareTest, MicrowireAndQx3TestShiftTheWindowOfTheirChip) {
  auto mw = std::make_shared<RegisterChip>();
  mw->DefineField(0, 0, 7, 0, 0x19, false);
  mw->DefineField(1, 1, 7, 0, 0x80, true);
  buses.Microwire().Attach(mw);
  EXPECT_EQ(Bytes(Run(HeaderlessRead(kBusMicrowire, 2)).response),
            (std::vector<uint8_t>{0x19, 0x80}));
  Run(HeaderlessWrite(kBusMicrowire, {0xFF, 0x42}));
  EXPECT_EQ(mw->Byte(0), 0x19);  // read-only
  EXPECT_EQ(mw->Byte(1), 0x42);

  auto qx3 = std::make_shared<RegisterChip>();
  buses.Qx3Test().Attach(qx3, {0x30, 0x31, 0x32});
  qx3->DefineField(0x30, 0x30, 7, 0, 0, true);
  qx3->DefineField(0x31, 0x31, 7, 0, 0, true);
  Run(HeaderlessWrite(kBusQx3Test, {0x01, 0x02}));
  EXPECT_EQ(qx3->Byte(0x30), 0x01);
  EXPECT_EQ(qx3->Byte(0x31), 0x02);
  EXPECT_EQ(Bytes(Run(HeaderlessRead(kBusQx3Test, 2)).response),
            (std::vector<uint8_t>{0x01, 0x02}));
}

TEST_F(FirmwareTest, EmptyHeaderlessSlotReadsFloating) {
  EXPECT_EQ(Bytes(Run(HeaderlessRead(kBusMicrowire, 2)).response),
            (std::vector<uint8_t>{0xFF, 0xFF}));
}

TEST_F(FirmwareTest, StreamAnswersLengthPrefixedChunksThenItsEnd) {
  buses.Stream().Push({1, 2, 3, 4, 5, 6, 7});
  // Four bytes asked: k = 4 (three data bytes follow), the stream goes on.
  EXPECT_EQ(Bytes(Run(HeaderlessRead(kBusStream, 4)).response), (std::vector<uint8_t>{4, 1, 2, 3}));
  // Ten asked, four left: k = 5 < 10 ends the stream; the rest is padding.
  EXPECT_EQ(Bytes(Run(HeaderlessRead(kBusStream, 10)).response),
            (std::vector<uint8_t>{5, 4, 5, 6, 7, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Bytes(Run(HeaderlessRead(kBusStream, 3)).response), (std::vector<uint8_t>{1, 0, 0}));
}

TEST_F(FirmwareTest, RepeatingStreamNeverEnds) {
  buses.Stream().SetRepeat({0xAA, 0xBB});
  EXPECT_EQ(Bytes(Run(HeaderlessRead(kBusStream, 6)).response),
            (std::vector<uint8_t>{6, 0xAA, 0xBB, 0xAA, 0xBB, 0xAA}));
}

TEST_F(FirmwareTest, MalformedPacketsAreIgnoredWithoutResponse) {
  struct Case {
    std::vector<uint8_t> packet;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {{0, 2, 2}, "packet shorter than 4 bytes"},
      {{2, 2, 1, 0x48, 1}, "unknown direction byte"},
      {{0, 2, 9, 0x48, 1}, "header runs past the packet"},
      {{1, 2, 2, 0x48, 0, 2, 0x11}, "packet length does not match its count"},
      {{0, 2, 3, 0x48, 0, 1, 1}, "header does not hold one register address per byte"},
      {{0, 5, 1, 0x48, 2}, "this bus takes no header"},
      {{1, 5, 0, 1, 0x11}, "the stream cannot be written"},
      {{0, 3, 2, 0x48, 0, 1}, "unknown bus type"},
      {{0, 6, 0, 1}, "unknown bus type"},
      {{0, 1, 0, 65}, "read request larger than the response buffer"},
      {{0, 1, 0, 0}, "empty transfer"},
  };
  for (const Case& c : cases) {
    const CommandResult r = Run(c.packet);
    EXPECT_FALSE(r.accepted) << c.reason;
    EXPECT_FALSE(r.hasResponse) << c.reason;
    EXPECT_EQ(r.rejection, c.reason);
  }
  EXPECT_EQ(firmware.PacketsRejected(), cases.size());
  EXPECT_EQ(firmware.PacketsExecuted(), 0u);
}

TEST_F(FirmwareTest, FiftyEightRegisterReadFillsTheResponse) {
  std::vector<uint8_t> registers(58);
  for (size_t i = 0; i < registers.size(); ++i) {
    registers[i] = static_cast<uint8_t>(i % 8);
  }
  const CommandResult r = Run(ChipRead(kBusI2c, 0x48, registers));
  ASSERT_EQ(r.response.length, 58u);
  EXPECT_EQ(r.response.bytes[57], 0x10 + 57 % 8);
}

}  // namespace
}  // namespace kestrova::emulator

namespace kestrova::emulator {
namespace {

// Scrambled packets of every length never crash the firmware, never answer
// more than was asked, and leave it working.
TEST(FirmwareRobustnessTest, RandomPacketsAreExecutedOrIgnoredSafely) {
  Buses buses;
  auto chip = std::make_shared<RegisterChip>();
  chip->DefineField(0x01, 0x01, 7, 0, 0x42, true);
  buses.I2c().Attach(0x48, chip);
  buses.SingleWire().Attach(3, chip);
  buses.Microwire().Attach(chip);
  buses.Stream().SetRepeat({1, 2, 3});
  Firmware firmware(buses);
  uint64_t state = 0x12345678;
  auto next = [&state] {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint8_t>(state >> 56);
  };
  for (int round = 0; round < 20000; ++round) {
    std::vector<uint8_t> packet;
    if (round % 2 == 0) {
      // Well-formed in shape, random in content.
      const uint8_t bus = std::array<uint8_t, 7>{0, 1, 2, 4, 5, 7, 255}[next() % 7];
      const bool write = (next() & 1) != 0;
      const uint8_t n = static_cast<uint8_t>(1 + next() % 64);
      const bool headerless = bus == 1 || bus == 5 || bus == 255;
      const size_t width = bus == 0 ? 2 : 1;
      const size_t header = headerless ? 0 : (next() % 4 == 0 ? 1 : 1 + width * n);
      packet = {static_cast<uint8_t>(write ? 1 : 0), bus, static_cast<uint8_t>(header)};
      for (size_t i = 0; i < header; ++i) {
        packet.push_back(i == 0 ? static_cast<uint8_t>(next() % 8 + 0x46) : next() % 4);
      }
      packet.push_back(n);
      for (size_t i = 0; write && i < n; ++i) {
        packet.push_back(next());
      }
    } else {
      packet.resize(next() % 130);
      for (uint8_t& byte : packet) {
        byte = next();
      }
    }
    const CommandResult r = firmware.Execute(packet.data(), packet.size());
    ASSERT_LE(r.response.length, kResponseCapacity);
    if (r.hasResponse) {
      ASSERT_LE(r.response.length, packet.size() >= 4 ? packet[3 + packet[2]] : 0u);
    }
  }
  EXPECT_GT(firmware.PacketsExecuted(), 0u);
  EXPECT_GT(firmware.PacketsRejected(), 0u);
  const std::vector<uint8_t> read{0, kBusI2c, 2, 0x48, 0x01, 1};
  const CommandResult r = firmware.Execute(read.data(), read.size());
  ASSERT_EQ(r.response.length, 1u);
  EXPECT_EQ(r.response.bytes[0], chip->Byte(0x01));
}

}  // namespace
}  // namespace kestrova::emulator
