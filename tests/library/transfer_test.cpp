// ReadDevice/WriteDevice on the USB link through the fake board: passes,
// chunks, packets, reply handling and every protocol message.
#include <gtest/gtest.h>

#include <numeric>

#include "library_fixture.hpp"

namespace dravik::testing {
namespace {

class TransferTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    handle = OpenBoard();
  }

  bool Read(int16_t busType, int16_t address, std::vector<int16_t> registers, Bytes& data) {
    data.assign(registers.size(), 0xCC);
    int16_t size = static_cast<int16_t>(registers.size());
    return ReadDevice(handle, 0, busType, address, registers.data(), data.data(), &size) == 1;
  }

  bool Write(int16_t busType, int16_t address, std::vector<int16_t> registers, Bytes data) {
    int16_t size = static_cast<int16_t>(registers.size());
    return WriteDevice(handle, 0, busType, address, registers.data(), data.data(), &size) == 1;
  }

  // The count byte n of every packet sent.
  std::vector<int> PacketCounts() const {
    std::vector<int> counts;
    for (const Bytes& packet : state->sent) {
      counts.push_back(packet[3 + packet[2]]);
    }
    return counts;
  }

  std::vector<std::size_t> PacketSizes() const {
    std::vector<std::size_t> sizes;
    for (const Bytes& packet : state->sent) {
      sizes.push_back(packet.size());
    }
    return sizes;
  }

  static std::vector<int16_t> Range(int count, int16_t first = 0) {
    std::vector<int16_t> registers(static_cast<std::size_t>(count));
    std::iota(registers.begin(), registers.end(), first);
    return registers;
  }

  DeviceHandle handle = -1;
};

TEST_F(TransferTest, I2cReadOfThreeRegisters) {
  Bytes data;
  ASSERT_TRUE(Read(BUS_I2C, 0x48, {0, 1, 2}, data)) << LastError();
  ASSERT_EQ(state->sent.size(), 1u);
  EXPECT_EQ(Hex(state->sent[0]), "00 02 04 48 00 01 02 03");
  EXPECT_EQ(data, (Bytes{ChipValue(0), ChipValue(1), ChipValue(2)}));
}

TEST_F(TransferTest, ReadRequestsAreChunkedAt58) {
  const std::vector<std::pair<int, std::vector<int>>> cases = {
      {1, {1}},        {58, {58}},         {59, {58, 1}}, {60, {58, 2}},
      {116, {58, 58}}, {117, {58, 58, 1}}, {1024, {}},
  };
  for (const auto& [count, expected] : cases) {
    state->sent.clear();
    Bytes data;
    const std::vector<int16_t> registers = Range(count);
    ASSERT_TRUE(Read(BUS_I2C, 0x48, registers, data)) << count << ": " << LastError();
    std::vector<int> want = expected;
    if (count == 1024) {
      want.assign(17, 58);
      want.push_back(1024 - 17 * 58);
    }
    EXPECT_EQ(PacketCounts(), want) << count;
    for (int i = 0; i < count; ++i) {
      ASSERT_EQ(data[static_cast<std::size_t>(i)],
                ChipValue(registers[static_cast<std::size_t>(i)]))
          << count << " entry " << i;
    }
  }
}

TEST_F(TransferTest, I2cWritesAreChunkedBy58BytesOfBudget) {
  // Two budget bytes per I2C register: 29 registers per packet.
  const std::vector<std::pair<int, std::vector<int>>> cases = {
      {58, {29, 29}}, {59, {29, 29, 1}}, {116, {29, 29, 29, 29}}, {117, {29, 29, 29, 29, 1}}};
  for (const auto& [count, expected] : cases) {
    state->sent.clear();
    ASSERT_TRUE(Write(BUS_I2C, 0x48, Range(count), Bytes(static_cast<std::size_t>(count), 0x5A)))
        << LastError();
    EXPECT_EQ(PacketCounts(), expected) << count;
  }
}

TEST_F(TransferTest, FortyRegisterI2cWriteIsSentAs63Plus27Bytes) {
  Bytes data(40);
  std::iota(data.begin(), data.end(), uint8_t{0x80});
  ASSERT_TRUE(Write(BUS_I2C, 0x48, Range(40, 0x10), data)) << LastError();
  EXPECT_EQ(PacketSizes(), (std::vector<std::size_t>{63, 27}));
  Bytes second = {1, 2, 12, 0x48};
  for (int i = 29; i < 40; ++i) {
    second.push_back(static_cast<uint8_t>(0x10 + i));
  }
  second.push_back(11);
  second.insert(second.end(), data.begin() + 29, data.end());
  EXPECT_EQ(Hex(state->sent[1]), Hex(second));
  EXPECT_EQ(state->sent[0][2], 30);  // header: address + 29 registers
  EXPECT_EQ(state->sent[0][33], 29);
}

TEST_F(TransferTest, TwentyBoardRegisterWriteIsSentAs19Plus1) {
  Bytes data(20, 0x3C);
  ASSERT_TRUE(Write(BUS_BOARD, 0, Range(20, 1024), data)) << LastError();
  EXPECT_EQ(PacketCounts(), (std::vector<int>{19, 1}));
  EXPECT_EQ(PacketSizes(), (std::vector<std::size_t>{3 + 39 + 1 + 19, 3 + 3 + 1 + 1}));
  EXPECT_EQ(Hex(state->sent[1]), "01 00 03 00 04 13 01 3C");
}

TEST_F(TransferTest, MixedReadWithBoardRegisterFirstReturnsCallerOrder) {
  Bytes data;
  ASSERT_TRUE(Read(BUS_I2C, 0x48, {1024, 5}, data)) << LastError();
  ASSERT_EQ(state->sent.size(), 2u);
  EXPECT_EQ(Hex(state->sent[0]), "00 02 02 48 05 01");
  EXPECT_EQ(Hex(state->sent[1]), "00 00 03 48 04 00 01");
  EXPECT_EQ(data, (Bytes{BoardValue(1024), ChipValue(5)}));
}

TEST_F(TransferTest, MixedReadWithChipRegisterFirst) {
  Bytes data;
  ASSERT_TRUE(Read(BUS_SPI, 3, {7, 1030, 8, 1025}, data)) << LastError();
  ASSERT_EQ(state->sent.size(), 2u);
  EXPECT_EQ(Hex(state->sent[0]), "00 07 03 03 07 08 02");
  EXPECT_EQ(Hex(state->sent[1]), "00 00 05 03 04 06 04 01 02");
  EXPECT_EQ(data, (Bytes{ChipValue(7), BoardValue(1030), ChipValue(8), BoardValue(1025)}));
}

TEST_F(TransferTest, MixedWritesSendTheChipPassThenTheBoardPass) {
  ASSERT_TRUE(Write(BUS_I2C, 0x48, {1024, 5, 1025, 6}, {0xA0, 0xA1, 0xA2, 0xA3})) << LastError();
  ASSERT_EQ(state->sent.size(), 2u);
  EXPECT_EQ(Hex(state->sent[0]), "01 02 03 48 05 06 02 A1 A3");
  EXPECT_EQ(Hex(state->sent[1]), "01 00 05 48 04 00 04 01 02 A0 A2");
  state->sent.clear();
  ASSERT_TRUE(Write(BUS_I2C, 0x48, {5, 1024}, {0xB0, 0xB1})) << LastError();
  EXPECT_EQ(Hex(state->sent[0]), "01 02 02 48 05 01 B0");
  EXPECT_EQ(Hex(state->sent[1]), "01 00 03 48 04 00 01 B1");
}

TEST_F(TransferTest, NegativeEntriesBelongToTheChipPass) {
  Bytes data;
  ASSERT_TRUE(Read(BUS_I2C, 0x48, {static_cast<int16_t>(0x8000), -2, 1023}, data)) << LastError();
  ASSERT_EQ(state->sent.size(), 1u);
  EXPECT_EQ(Hex(state->sent[0]), "00 02 04 48 00 FE FF 03");
}

TEST_F(TransferTest, NoRegisterAddressFirstEntry) {
  ASSERT_TRUE(Write(BUS_I2C, 0x50, {-1, -1}, {0xD0, 0xD1})) << LastError();
  EXPECT_EQ(Hex(state->sent[0]), "01 02 01 50 02 D0 D1");
  state->sent.clear();
  Bytes data;
  ASSERT_TRUE(Read(BUS_I2C, 0x50, {-1, -1, -1}, data)) << LastError();
  EXPECT_EQ(Hex(state->sent[0]), "00 02 01 50 03");
  // Board registers keep their addresses in the same call.
  state->sent.clear();
  ASSERT_TRUE(Write(BUS_I2C, 0x50, {-1, 1024}, {0xD0, 0xD1})) << LastError();
  EXPECT_EQ(Hex(state->sent[0]), "01 02 01 50 01 D0");
  EXPECT_EQ(Hex(state->sent[1]), "01 00 03 50 04 00 01 D1");
}

TEST_F(TransferTest, MicrowireWritesAtMostTwoBytes) {
  ASSERT_TRUE(Write(BUS_MICROWIRE, 0, {0x10, 0x11}, {0x12, 0x34})) << LastError();
  EXPECT_EQ(Hex(state->sent[0]), "01 01 00 02 12 34");
  state->sent.clear();
  EXPECT_FALSE(Write(BUS_MICROWIRE, 0, {0x10, 0x11, 0x12}, {1, 2, 3}));
  EXPECT_EQ(LastError(), "WriteDevice: Microwire datasize > 2");
  EXPECT_TRUE(state->sent.empty());
  Bytes data;
  EXPECT_FALSE(Read(BUS_MICROWIRE, 0, {1, 2, 3}, data));
  EXPECT_EQ(LastError(), "WriteDevice: Microwire datasize > 2");
}

TEST_F(TransferTest, Qx3TestNeedsTwoBytes) {
  Bytes data;
  EXPECT_FALSE(Read(BUS_QX3TEST, 0, {0}, data));
  EXPECT_EQ(LastError(), "WriteDevice: QX3Test datasize < 2");
  EXPECT_TRUE(state->sent.empty());
  ASSERT_TRUE(Write(BUS_QX3TEST, 0, {0, 0}, {7, 8})) << LastError();
  EXPECT_EQ(Hex(state->sent[0]), "01 FF 00 02 07 08");
}

TEST_F(TransferTest, UnrecognizedTypes) {
  for (int type : {int{BUS_MICROWIRE4}, int{BUS_SMBUS}, -1, 8, 254, 256}) {
    Bytes data;
    const auto busType = static_cast<int16_t>(type);
    EXPECT_FALSE(Write(busType, 0, {1}, {1})) << type;
    EXPECT_EQ(LastError(), "WriteDevice: Unrecongized Type");
    EXPECT_FALSE(Read(busType, 0, {1}, data)) << type;
    EXPECT_EQ(LastError(), "WriteDevice: Unrecongized Type");
  }
  EXPECT_TRUE(state->sent.empty());
}

TEST_F(TransferTest, DeviceAddressLimits) {
  EXPECT_FALSE(Write(BUS_SINGLEWIRE, 8, {1}, {1}));
  EXPECT_EQ(LastError(), "WriteDevice: Device Address too large");
  EXPECT_FALSE(Write(BUS_I2C, 128, {1}, {1}));
  EXPECT_EQ(LastError(), "WriteDevice: Device Address too large");
  EXPECT_TRUE(state->sent.empty());
  EXPECT_TRUE(Write(BUS_SPI, 200, {1}, {1})) << LastError();
  EXPECT_EQ(Hex(state->sent[0]), "01 07 02 C8 01 01 01");
  EXPECT_TRUE(Write(BUS_SINGLEWIRE, 7, {1}, {1})) << LastError();
}

TEST_F(TransferTest, StreamCannotBeWritten) {
  EXPECT_FALSE(Write(BUS_STREAM, 0, {0}, {1}));
  EXPECT_EQ(LastError(), "WriteDevice: Can't write buffer");
  EXPECT_TRUE(state->sent.empty());
}

TEST_F(TransferTest, ResponseOfWrongLengthFailsAndLeavesDataAlone) {
  Bytes data;
  state->responseLengthDelta = -1;
  EXPECT_FALSE(Read(BUS_I2C, 0x48, Range(58), data));
  EXPECT_EQ(LastError(), "ReadDevice: Wrong number of bytes returned");
  EXPECT_EQ(data, Bytes(58, 0xCC));
  state->responseLengthDelta = 1;
  EXPECT_FALSE(Read(BUS_I2C, 0x48, Range(3), data));
  EXPECT_EQ(LastError(), "ReadDevice: Wrong number of bytes returned");
  state->responseLengthDelta = 0;
  state->receiveFails = true;
  EXPECT_FALSE(Read(BUS_I2C, 0x48, Range(3), data));
  EXPECT_EQ(LastError(), "ReadDevice: Wrong number of bytes returned");
}

TEST_F(TransferTest, FailedSecondChunkLeavesDataUnchanged) {
  Bytes data;
  state->responses.push_back(Bytes(58, 1));
  state->responses.push_back(Bytes(1, 2));  // one byte short of the second chunk
  EXPECT_FALSE(Read(BUS_I2C, 0x48, Range(60), data));
  EXPECT_EQ(data, Bytes(60, 0xCC));
  EXPECT_EQ(state->sent.size(), 2u);
}

TEST_F(TransferTest, ResponseEndpointMustBeAnInEndpointAtEntry8) {
  Bytes data;
  state->endpointCount = 8;
  EXPECT_FALSE(Read(BUS_I2C, 0x48, {1}, data));
  EXPECT_EQ(LastError(), "ReadDevice: Wrong number of bytes returned");
  state->endpointCount = 9;
  state->responseAddress = 0x02;
  EXPECT_FALSE(Read(BUS_I2C, 0x48, {1}, data));
  EXPECT_EQ(LastError(), "ReadDevice: Wrong number of bytes returned");
}

TEST_F(TransferTest, CommandEndpointMustBeABulkOutEndpointAtEntry1) {
  state->endpointCount = 1;
  EXPECT_FALSE(Write(BUS_I2C, 0x48, {1}, {1}));
  EXPECT_EQ(LastError(), "WriteDevice: Wrong number of bytes sent");
  state->endpointCount = 9;
  state->commandAddress = 0x81;
  EXPECT_FALSE(Write(BUS_I2C, 0x48, {1}, {1}));
  EXPECT_EQ(LastError(), "WriteDevice: Wrong number of bytes sent");
  state->commandAddress = 0x01;
  state->commandAttributes = usb::kAttributesInterrupt;
  Bytes data;
  EXPECT_FALSE(Read(BUS_I2C, 0x48, {1}, data));
  EXPECT_EQ(LastError(), "WriteDevice: Wrong number of bytes sent");
  EXPECT_TRUE(state->sent.empty());
}

TEST_F(TransferTest, FailedOrShortSendStopsTheWrite) {
  state->sendFailsAtPacket = 1;
  EXPECT_FALSE(Write(BUS_I2C, 0x48, Range(40), Bytes(40, 1)));
  EXPECT_EQ(LastError(), "WriteDevice: Wrong number of bytes sent");
  EXPECT_EQ(state->sent.size(), 2u);  // the first packet stays sent
  state->sendFailsAtPacket = -1;
  state->sent.clear();
  state->sendShortBy = 1;
  EXPECT_FALSE(Write(BUS_I2C, 0x48, Range(40), Bytes(40, 1)));
  EXPECT_EQ(LastError(), "WriteDevice: Wrong number of bytes sent");
  EXPECT_EQ(state->sent.size(), 1u);
  Bytes data;
  EXPECT_FALSE(Read(BUS_I2C, 0x48, {1}, data));
  EXPECT_EQ(LastError(), "WriteDevice: Wrong number of bytes sent");
}

TEST_F(TransferTest, MoreThan1024EntriesInOnePassAreRefusedBeforeSending) {
  Bytes data;
  EXPECT_FALSE(Read(BUS_I2C, 0x48, std::vector<int16_t>(1025, 5), data));
  EXPECT_EQ(LastError(), "ReadDevice: More than 1024 registers in one pass");
  EXPECT_FALSE(Write(BUS_BOARD, 0, std::vector<int16_t>(1025, 1024), Bytes(1025, 0)));
  EXPECT_EQ(LastError(), "WriteDevice: More than 1024 registers in one pass");
  EXPECT_TRUE(state->sent.empty());
  // 1024 in each pass is fine.
  std::vector<int16_t> mixed = Range(1024);
  const std::vector<int16_t> board = Range(1024, 1024);
  mixed.insert(mixed.end(), board.begin(), board.end());
  ASSERT_TRUE(Read(BUS_I2C, 0x48, mixed, data)) << LastError();
  EXPECT_EQ(data[0], ChipValue(0));
  EXPECT_EQ(data[2047], BoardValue(2047));
}

TEST_F(TransferTest, WriteWithoutDataSendsOneReadRequestPerPass) {
  std::vector<int16_t> registers = {3, 1024, 4};
  int16_t size = 3;
  ASSERT_EQ(WriteDevice(handle, 0, BUS_I2C, 0x48, registers.data(), nullptr, &size), 1)
      << LastError();
  ASSERT_EQ(state->sent.size(), 2u);
  EXPECT_EQ(Hex(state->sent[0]), "00 02 03 48 03 04 02");
  EXPECT_EQ(Hex(state->sent[1]), "00 00 03 48 04 00 01");
  registers = Range(59);
  size = 59;
  EXPECT_EQ(WriteDevice(handle, 0, BUS_I2C, 0x48, registers.data(), nullptr, &size), 0);
  EXPECT_EQ(LastError(), "WriteDevice: Read request > 58 registers");
  EXPECT_EQ(state->sent.size(), 2u);
}

TEST_F(TransferTest, PortIsNotSentToTheBoard) {
  int16_t registers[1] = {1};
  uint8_t data[1] = {9};
  int16_t size = 1;
  ASSERT_EQ(WriteDevice(handle, 0x77, BUS_I2C, 0x48, registers, data, &size), 1);
  EXPECT_EQ(Hex(state->sent[0]), "01 02 02 48 01 01 09");
}

}  // namespace
}  // namespace dravik::testing
