// CommandPacket layouts byte for byte, and the per-packet checks.
#include <gtest/gtest.h>

#include "dravik/dravik.h"
#include "fake_board.hpp"
#include "protocol.hpp"

namespace dravik::testing {
namespace {

using protocol::BuildCommandPacket;
using protocol::CheckPacket;

Bytes Build(uint8_t direction, int16_t busType, int16_t address, std::vector<int16_t> registers,
            Bytes data, bool noRegisterAddress = false) {
  uint8_t packet[protocol::kMaxPacketSize];
  const int n = static_cast<int>(direction == 1 ? data.size() : registers.size());
  const int length = BuildCommandPacket(direction, busType, address, registers.data(), data.data(),
                                        n, noRegisterAddress, packet);
  return Bytes(packet, packet + length);
}

TEST(CommandPacket, ByteAddressedBusesCarryAddressAndRegisterLowBytes) {
  EXPECT_EQ(Hex(Build(0, BUS_I2C, 0x48, {0, 1, 2}, {})), "00 02 04 48 00 01 02 03");
  EXPECT_EQ(Hex(Build(1, BUS_I2C, 0x48, {0x10, 0x11}, {0xAA, 0xBB})), "01 02 03 48 10 11 02 AA BB");
  EXPECT_EQ(Hex(Build(1, BUS_SINGLEWIRE, 7, {0x05}, {0x99})), "01 04 02 07 05 01 99");
  EXPECT_EQ(Hex(Build(0, BUS_SPI, 200, {0x7F, 0x80}, {})), "00 07 03 C8 7F 80 02");
}

TEST(CommandPacket, BoardRegistersAreSentHighByteFirst) {
  EXPECT_EQ(Hex(Build(0, BUS_BOARD, 0x48, {1024, 0x1234}, {})), "00 00 05 48 04 00 12 34 02");
  EXPECT_EQ(Hex(Build(1, BUS_BOARD, 0, {0x0401}, {0x7E})), "01 00 03 00 04 01 01 7E");
}

TEST(CommandPacket, HeaderlessBusesCarryCountAndData) {
  EXPECT_EQ(Hex(Build(1, BUS_MICROWIRE, 0x48, {3, 4}, {0x12, 0x34})), "01 01 00 02 12 34");
  EXPECT_EQ(Hex(Build(0, BUS_MICROWIRE, 0x48, {3, 4}, {})), "00 01 00 02");
  EXPECT_EQ(Hex(Build(0, BUS_STREAM, 0x48, {0, 0, 0}, {})), "00 05 00 03");
  EXPECT_EQ(Hex(Build(1, BUS_QX3TEST, 0x48, {0, 0}, {1, 2})), "01 FF 00 02 01 02");
}

TEST(CommandPacket, NoRegisterAddressLeavesTheDeviceAddressAlone) {
  EXPECT_EQ(Hex(Build(1, BUS_I2C, 0x48, {-1, -1}, {0xD0, 0xD1}, true)), "01 02 01 48 02 D0 D1");
  EXPECT_EQ(Hex(Build(0, BUS_BOARD, 0x20, {-1}, {}, true)), "00 00 01 20 01");
  EXPECT_EQ(Hex(Build(0, BUS_SINGLEWIRE, 3, {-1, 5}, {}, true)), "00 04 01 03 02");
}

TEST(CommandPacket, NegativeEntriesSendTheirLowBytes) {
  EXPECT_EQ(Hex(Build(0, BUS_I2C, 0x48, {-32768, -2}, {})), "00 02 03 48 00 FE 02");
}

TEST(CommandPacket, LongestPacketsFitTheBuffer) {
  std::vector<int16_t> registers(protocol::MAX_CHUNK, 1024);
  const Bytes request = Build(0, BUS_BOARD, 0, registers, {});
  EXPECT_EQ(request.size(), 121u);
  EXPECT_EQ(request.size(), static_cast<std::size_t>(protocol::kMaxPacketSize));
}

TEST(CheckPacket, RefusesEachBadCombinationWithItsMessage) {
  EXPECT_STREQ(CheckPacket(BUS_MICROWIRE4, 0, 1, true), "WriteDevice: Unrecongized Type");
  EXPECT_STREQ(CheckPacket(BUS_SMBUS, 0, 1, false), "WriteDevice: Unrecongized Type");
  for (int16_t type : {-1, 8, 100, 254, 256, 1000}) {
    EXPECT_STREQ(CheckPacket(type, 0, 2, true), "WriteDevice: Unrecongized Type") << type;
  }
  EXPECT_STREQ(CheckPacket(BUS_QX3TEST, 0, 1, false), "WriteDevice: QX3Test datasize < 2");
  EXPECT_EQ(CheckPacket(BUS_QX3TEST, 0, 2, false), nullptr);
  EXPECT_STREQ(CheckPacket(BUS_MICROWIRE, 0, 3, true), "WriteDevice: Microwire datasize > 2");
  EXPECT_EQ(CheckPacket(BUS_MICROWIRE, 0, 2, true), nullptr);
  EXPECT_STREQ(CheckPacket(BUS_STREAM, 0, 1, true), "WriteDevice: Can't write buffer");
  EXPECT_EQ(CheckPacket(BUS_STREAM, 0, 58, false), nullptr);
  EXPECT_STREQ(CheckPacket(BUS_I2C, 128, 1, true), "WriteDevice: Device Address too large");
  EXPECT_EQ(CheckPacket(BUS_I2C, 127, 1, true), nullptr);
  EXPECT_STREQ(CheckPacket(BUS_SINGLEWIRE, 8, 1, true), "WriteDevice: Device Address too large");
  EXPECT_EQ(CheckPacket(BUS_SINGLEWIRE, 7, 1, true), nullptr);
  EXPECT_EQ(CheckPacket(BUS_SPI, 200, 1, true), nullptr);
  EXPECT_EQ(CheckPacket(BUS_BOARD, 0x7FFF, 19, true), nullptr);
}

TEST(CheckPacket, NegativeDeviceAddressIsNoBusAddress) {
  EXPECT_STREQ(CheckPacket(BUS_I2C, -1, 1, true), "WriteDevice: Device Address too large");
  EXPECT_STREQ(CheckPacket(BUS_SINGLEWIRE, -8, 1, false), "WriteDevice: Device Address too large");
}

}  // namespace
}  // namespace dravik::testing
