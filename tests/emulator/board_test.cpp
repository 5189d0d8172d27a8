// The board's own rules beyond what the library's tests over it and the
// kernel rig show: code memory, what boots, endpoints, response slots,
// power-up values, the NAK fault's count, the standard requests; and the
// fault plan the board fires.
#include "emulator/board.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "emulator/register_chip.hpp"

namespace kestrova::emulator {
namespace {

constexpr uint8_t kVendorOut = 0x40;
constexpr uint8_t kVendorIn = 0xC0;
// Command packets: a read of board register 0x400, a write of 1 to it, a read
// of register 0 of the I2C chip at 0x48.
const std::vector<uint8_t> kBoardRead = {0, 0, 3, 0, 0x04, 0x00, 1};
const std::vector<uint8_t> kBoardWrite = {1, 0, 3, 0, 0x04, 0x00, 1, 1};
const std::vector<uint8_t> kChipRead = {0, kBusI2c, 2, 0x48, 0, 1};

UsbOutcome Load(Board& board, uint16_t address, const std::vector<uint8_t>& data) {
  size_t moved = 0;
  const auto length = static_cast<uint16_t>(data.size());
  return board.Control({kVendorOut, kRequestFirmwareLoad, address, 0, length}, data.data(), nullptr,
                       &moved);
}

UsbOutcome SetCpuReset(Board& board, bool hold) {
  return Load(board, TraitsOf(board.Class()).cpuControlRegister, {static_cast<uint8_t>(hold)});
}

class BoardTest : public ::testing::TestWithParam<BoardClass> {
 protected:
  // Only where code memory was written counts for a boot, not what it holds.
  void Boot() {
    ASSERT_EQ(SetCpuReset(board, true), UsbOutcome::kDone);
    ASSERT_EQ(Load(board, 0, std::vector<uint8_t>(4096, 0x5A)), UsbOutcome::kDone);
    ASSERT_EQ(SetCpuReset(board, false), UsbOutcome::kDone);
  }

  UsbOutcome Send(const std::vector<uint8_t>& packet) {
    size_t moved = 0;
    return board.BulkOut(kCommandEndpoint, packet.data(), packet.size(), &moved);
  }

  std::vector<uint8_t> Receive(UsbOutcome expected = UsbOutcome::kDone) {
    std::vector<uint8_t> bytes(64);
    size_t moved = 0;
    EXPECT_EQ(board.BulkIn(kResponseEndpoint, bytes.data(), bytes.size(), &moved), expected);
    bytes.resize(moved);
    return bytes;
  }

  Board board{GetParam(), {0x0400, 0x1100}, nullptr};
};

TEST_P(BoardTest, CodeMemoryIsWrittenOnlyWhileTheCpuIsHeldAndOnlyWithinIt) {
  ASSERT_EQ(SetCpuReset(board, false), UsbOutcome::kDone);
  EXPECT_EQ(board.LastBootProblem(), "no image in code memory");
  EXPECT_EQ(Load(board, 0, {1, 2, 3, 4}), UsbOutcome::kStall);
  EXPECT_EQ(board.CodeMemory()[0], 0);
  ASSERT_EQ(SetCpuReset(board, true), UsbOutcome::kDone);
  EXPECT_EQ(Load(board, 0, {1, 2, 3, 4}), UsbOutcome::kDone);
  EXPECT_EQ(Load(board, 0x1FFF, {9}), UsbOutcome::kDone);
  EXPECT_EQ(Load(board, 0x1FFF, {9, 9}), UsbOutcome::kStall);
  const uint16_t otherClass = GetParam() == BoardClass::kFullSpeed ? 0xE600 : 0x7F92;
  EXPECT_EQ(Load(board, otherClass, {0}), UsbOutcome::kStall);
  // Code memory reads back at any time.
  uint8_t back[4] = {};
  size_t moved = 0;
  ASSERT_EQ(board.Control({kVendorIn, kRequestFirmwareLoad, 0, 0, 4}, nullptr, back, &moved),
            UsbOutcome::kDone);
  EXPECT_EQ(back[2], 3);
  EXPECT_EQ(board.CodeMemory()[0x1FFF], 9);
}

TEST_P(BoardTest, OnlyOneImageOf4096To8192BytesFromAddressZeroBoots) {
  struct Case {
    size_t size;
    uint16_t strayAt;  // a second piece written there (0: none)
    bool boots;
  };
  const Case cases[] = {
      {4095, 0, false}, {4096, 0, true}, {8192, 0, true}, {4096, 4200, false}, {4300, 4200, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.size) + " " + std::to_string(c.strayAt));
    Board fresh{GetParam(), {0x0400, 0x1100}, nullptr};
    ASSERT_EQ(SetCpuReset(fresh, true), UsbOutcome::kDone);
    ASSERT_EQ(Load(fresh, 0, std::vector<uint8_t>(c.size, 1)), UsbOutcome::kDone);
    if (c.strayAt != 0) {
      ASSERT_EQ(Load(fresh, c.strayAt, std::vector<uint8_t>(100, 1)), UsbOutcome::kDone);
    }
    const uint32_t generation = fresh.Generation();
    ASSERT_EQ(SetCpuReset(fresh, false), UsbOutcome::kDone);
    EXPECT_EQ(fresh.FirmwareRunning(), c.boots);
    EXPECT_EQ(fresh.Generation() != generation, c.boots) << "re-enumerates when it boots";
    EXPECT_EQ(fresh.LastBootProblem().empty(), c.boots);
    EXPECT_EQ(fresh.BootedImage().size(), c.boots ? c.size : 0u);
  }
}

TEST_P(BoardTest, EveryBootStartsTheBoardRegistersFromTheirPowerUpValues) {
  BoardRegisters& registers = board.GetBuses()->Registers();
  registers.SetPowerUp(0x401, 0x5A);
  Boot();
  registers.Write(0x400, 0x11);
  registers.Write(0x401, 0x22);
  ASSERT_EQ(SetCpuReset(board, true), UsbOutcome::kDone);
  EXPECT_EQ(registers.Read(0x400), 0x11) << "held in reset, the firmware's memory stays";
  EXPECT_EQ(Send(kBoardRead), UsbOutcome::kPending) << "nothing runs";
  ASSERT_EQ(SetCpuReset(board, false), UsbOutcome::kDone);
  EXPECT_EQ(registers.Read(0x400), 0x00);
  EXPECT_EQ(registers.Read(0x401), 0x5A);
  EXPECT_EQ(board.Boots(), 2u);
}

TEST_P(BoardTest, TheFirmwareArmsItsTwoEndpointsAndHoldsTwoResponses) {
  size_t moved = 0;
  uint8_t byte = 0;
  EXPECT_EQ(Send(kBoardRead), UsbOutcome::kStall) << "a bare core";
  Boot();
  EXPECT_EQ(board.BulkOut(0x02, &byte, 1, &moved), UsbOutcome::kPending);
  EXPECT_EQ(board.BulkIn(0x86, &byte, 1, &moved), UsbOutcome::kPending);
  EXPECT_EQ(board.BulkOut(0x81, &byte, 1, &moved), UsbOutcome::kStall);
  EXPECT_EQ(board.BulkOut(0x08, &byte, 1, &moved), UsbOutcome::kStall);
  ASSERT_EQ(Send(kBoardRead), UsbOutcome::kDone);
  ASSERT_EQ(Send(kBoardRead), UsbOutcome::kDone);
  EXPECT_EQ(Send(kBoardRead), UsbOutcome::kPending) << "no room for a third response";
  EXPECT_EQ(Receive(), std::vector<uint8_t>{0});
  EXPECT_EQ(Send(kBoardRead), UsbOutcome::kDone);
  board.Abort(kResponseEndpoint);
  EXPECT_EQ(board.ResponsesQueued(), 0u);
  Receive(UsbOutcome::kPending);
}

TEST_P(BoardTest, TheNakFaultCountsChipPacketsOnly) {
  board.GetBuses()->I2c().Attach(0x48, std::make_shared<RegisterChip>());  // it would answer
  Boot();
  board.Faults().Arm(FaultKind::kNak);
  ASSERT_EQ(Send(kBoardWrite), UsbOutcome::kDone);
  ASSERT_EQ(Send(kChipRead), UsbOutcome::kDone);
  EXPECT_TRUE(Receive().empty()) << "a NAK on the first transaction answers nothing";
  EXPECT_EQ(board.GetBuses()->Registers().Read(0x400), 1);
}

// The standard requests a host makes of the bare core: what is answered
// (only the start, when wLength is short), what stalls.
TEST_P(BoardTest, AnswersTheStandardRequestsOfABareCore) {
  struct Case {
    SetupPacket setup;
    UsbOutcome outcome;
    std::vector<uint8_t> answer;  // its start, when longer than shown
  };
  const uint16_t device = kDescriptorDevice << 8, config = kDescriptorConfiguration << 8,
                 string = kDescriptorString << 8;
  const Case cases[] = {
      {{0x80, kRequestGetDescriptor, device, 0, 2}, UsbOutcome::kDone, {18, kDescriptorDevice}},
      {{0x80, kRequestGetDescriptor, config, 0, 4}, UsbOutcome::kDone, {9, 2, 18, 0}},
      {{0x80, kRequestGetDescriptor, config | 1, 0, 4}, UsbOutcome::kStall, {}},
      {{0x80, kRequestGetDescriptor, string, 0, 255}, UsbOutcome::kDone, {4, 3, 0x09, 0x04}},
      {{0x80, kRequestGetDescriptor, string | 1, 0, 255}, UsbOutcome::kStall, {}},
      {{0x80, kRequestGetDescriptor, kDescriptorInterface << 8, 0, 9}, UsbOutcome::kStall, {}},
      {{0x00, kRequestGetDescriptor, device, 0, 0}, UsbOutcome::kStall, {}},
      {{0x80, kRequestGetStatus, 0, 0, 2}, UsbOutcome::kDone, {0, 0}},
      {{0x80, kRequestGetConfiguration, 0, 0, 1}, UsbOutcome::kDone, {1}},
      {{0x81, kRequestGetInterface, 0, 0, 1}, UsbOutcome::kDone, {0}},
      {{0x00, kRequestSetConfiguration, 0, 0, 0}, UsbOutcome::kDone, {}},
      {{0x00, kRequestSetConfiguration, 1, 0, 0}, UsbOutcome::kDone, {}},
      {{0x00, kRequestSetConfiguration, 2, 0, 0}, UsbOutcome::kStall, {}},
      {{0x01, kRequestSetInterface, 0, 0, 0}, UsbOutcome::kDone, {}},
      {{0x01, kRequestSetInterface, 1, 0, 0}, UsbOutcome::kStall, {}},
      {{0x01, kRequestSetInterface, 0, 1, 0}, UsbOutcome::kStall, {}},
      {{0x00, kRequestSetAddress, 3, 0, 0}, UsbOutcome::kDone, {}},
      {{0x00, 2, 0, 0, 0}, UsbOutcome::kStall, {}},                   // CLEAR_FEATURE
      {{0x21, kRequestSetAddress, 0, 0, 0}, UsbOutcome::kStall, {}},  // class request
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "request " << int{c.setup.bRequest} << " value "
                                      << c.setup.wValue << " index " << c.setup.wIndex);
    std::vector<uint8_t> in(256, 0xEE);
    size_t moved = 99;
    ASSERT_EQ(board.Control(c.setup, nullptr, in.data(), &moved), c.outcome);
    if (c.outcome == UsbOutcome::kDone) {
      EXPECT_LE(moved, c.setup.wLength);
      EXPECT_GE(moved, c.answer.size());
      in.resize(c.answer.size());
      EXPECT_EQ(in, c.answer);
    }
  }
  size_t moved = 0;
  EXPECT_EQ(board.Control({0x80, kRequestGetStatus, 0, 0, 2}, nullptr, nullptr, &moved),
            UsbOutcome::kStall)
      << "no room for the answer";
  board.Unplug();
  EXPECT_EQ(board.Control({0x80, kRequestGetStatus, 0, 0, 2}, nullptr, nullptr, &moved),
            UsbOutcome::kGone);
}

INSTANTIATE_TEST_SUITE_P(BothClasses, BoardTest,
                         ::testing::Values(BoardClass::kFullSpeed, BoardClass::kHighSpeed));

// Each kind counts its own events from the moment it is armed and fires
// once; the text form arms every kind, or nothing when an item is bad.
TEST(FaultPlanTest, FiresOnceOnTheNthEventOfItsKindSinceArming) {
  FaultPlan plan;
  plan.Fire(FaultKind::kTimeout);
  plan.Arm(FaultKind::kTimeout, 3);
  EXPECT_FALSE(plan.Fire(FaultKind::kTimeout));
  EXPECT_FALSE(plan.Fire(FaultKind::kShortResponse)) << "other kinds count apart";
  EXPECT_FALSE(plan.Fire(FaultKind::kTimeout));
  EXPECT_TRUE(plan.Fire(FaultKind::kTimeout));
  EXPECT_FALSE(plan.Fire(FaultKind::kTimeout));
  std::string error;
  ASSERT_TRUE(
      plan.ArmFromText("timeout@2, short ,long@1,nak,disconnect@4,download@2,reset", &error))
      << error;
  for (size_t i = 0; i < kFaultKindCount; ++i) {
    const auto kind = static_cast<FaultKind>(i);
    EXPECT_EQ(plan.Pending(kind), 1u) << FaultName(kind);
    EXPECT_EQ(FaultFromName(FaultName(kind)), kind);
  }
  EXPECT_FALSE(FaultFromName("Timeout").has_value());
  EXPECT_FALSE(plan.Fire(FaultKind::kTimeout));
  EXPECT_TRUE(plan.Fire(FaultKind::kTimeout));
  for (const char* text :
       {"timeout@0", "timeout@", "timeout@2x", "slow", "nak@-1", "short,bogus"}) {
    FaultPlan bad;
    EXPECT_FALSE(bad.ArmFromText(text, &error)) << text;
    EXPECT_NE(error.find("bad fault"), std::string::npos) << text;
    EXPECT_EQ(bad.Pending(FaultKind::kShortResponse) + bad.Pending(FaultKind::kTimeout), 0u)
        << text;
  }
}

}  // namespace
}  // namespace kestrova::emulator
