#include "emulator/board.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "emulator/register_chip.hpp"
#include "test_packets.hpp"

namespace kestrova::emulator {
namespace {

constexpr uint8_t kVendorOut = 0x40;
constexpr uint8_t kVendorIn = 0xC0;
constexpr uint8_t kStandardIn = 0x80;

std::vector<uint8_t> Image(size_t size, uint16_t vid, uint16_t pid) {
  std::vector<uint8_t> image(size);
  for (size_t i = 0; i < size; ++i) {
    image[i] = static_cast<uint8_t>(i * 7);
  }
  if (size > 0x0F0B) {
    image[0x0F08] = static_cast<uint8_t>(vid);
    image[0x0F09] = static_cast<uint8_t>(vid >> 8);
    image[0x0F0A] = static_cast<uint8_t>(pid);
    image[0x0F0B] = static_cast<uint8_t>(pid >> 8);
  }
  return image;
}

UsbOutcome VendorWrite(Board& board, uint16_t address, const uint8_t* data, uint16_t length) {
  size_t moved = 0;
  const UsbOutcome outcome =
      board.Control({kVendorOut, kRequestFirmwareLoad, address, 0, length}, data, nullptr, &moved);
  if (outcome == UsbOutcome::kDone) {
    EXPECT_EQ(moved, length);
  }
  return outcome;
}

UsbOutcome SetCpuReset(Board& board, bool hold) {
  const uint8_t value = hold ? 1 : 0;
  return VendorWrite(board, TraitsOf(board.Class()).cpuControlRegister, &value, 1);
}

// What the library's firmware download does: hold, chunks, release.
void Download(Board& board, const std::vector<uint8_t>& image) {
  ASSERT_EQ(SetCpuReset(board, true), UsbOutcome::kDone);
  const size_t chunk = TraitsOf(board.Class()).downloadChunk;
  for (size_t offset = 0; offset < image.size(); offset += chunk) {
    const auto size = static_cast<uint16_t>(std::min(chunk, image.size() - offset));
    ASSERT_EQ(VendorWrite(board, static_cast<uint16_t>(offset), image.data() + offset, size),
              UsbOutcome::kDone);
  }
  ASSERT_EQ(SetCpuReset(board, false), UsbOutcome::kDone);
}

std::vector<uint8_t> GetDescriptor(Board& board, uint8_t type, uint8_t index, uint16_t length) {
  std::vector<uint8_t> bytes(length);
  size_t moved = 0;
  const UsbOutcome outcome =
      board.Control({kStandardIn, kRequestGetDescriptor, static_cast<uint16_t>(type << 8 | index),
                     0x0409, length},
                    nullptr, bytes.data(), &moved);
  if (outcome != UsbOutcome::kDone) {
    return {};
  }
  bytes.resize(moved);
  return bytes;
}

uint16_t Word(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

class BoardClassTest : public ::testing::TestWithParam<BoardClass> {
 protected:
  Board board{GetParam(), {0x0400, 0x1100}, nullptr};
};

TEST_P(BoardClassTest, PowersUpAsABareCoreWithItsIdentityAndNoStrings) {
  const std::vector<uint8_t> device = GetDescriptor(board, kDescriptorDevice, 0, 18);
  ASSERT_EQ(device.size(), 18u);
  EXPECT_EQ(Word(device, 2), TraitsOf(GetParam()).bcdUsb);
  EXPECT_EQ(Word(device, 8), 0x0400);
  EXPECT_EQ(Word(device, 10), 0x1100);
  EXPECT_EQ(device[14], 0);
  EXPECT_EQ(device[15], 0);
  EXPECT_TRUE(board.CpuHeldInReset());
  EXPECT_FALSE(board.FirmwareRunning());
  EXPECT_TRUE(GetDescriptor(board, kDescriptorString, 1, 255).empty());
  // No bulk endpoints before the firmware runs.
  const std::vector<uint8_t> config = GetDescriptor(board, kDescriptorConfiguration, 0, 255);
  ASSERT_EQ(config.size(), 18u);
  EXPECT_EQ(config[13], 0) << "bNumEndpoints";
  size_t moved = 0;
  const uint8_t packet[] = {0, 2, 1, 0x48, 1};
  EXPECT_EQ(board.BulkOut(kCommandEndpoint, packet, sizeof packet, &moved), UsbOutcome::kStall);
}

TEST_P(BoardClassTest, DownloadBootsAndReEnumeratesWithTheImageIdentity) {
  const uint32_t before = board.Generation();
  const std::vector<uint8_t> image = Image(5000, 0x0400, 0x3100);
  Download(board, image);
  EXPECT_TRUE(board.FirmwareRunning());
  EXPECT_FALSE(board.CpuHeldInReset());
  EXPECT_NE(board.Generation(), before);
  EXPECT_EQ(board.Boots(), 1u);
  EXPECT_EQ(board.BootedImage(), image);
  const size_t chunk = TraitsOf(GetParam()).downloadChunk;
  EXPECT_EQ(board.DownloadRequests(), (image.size() + chunk - 1) / chunk);
  EXPECT_TRUE(board.LastBootProblem().empty());

  const std::vector<uint8_t> device = GetDescriptor(board, kDescriptorDevice, 0, 18);
  EXPECT_EQ(Word(device, 8), 0x0400);
  EXPECT_EQ(Word(device, 10), 0x3100);
  EXPECT_EQ(device[14], kManufacturerStringIndex);
  EXPECT_EQ(device[15], kProductStringIndex);
  EXPECT_EQ(board.PresentedIdentity().productId, 0x3100);
}

TEST_P(BoardClassTest, FirmwareDescriptorsListCommandFirstAndResponseEighth) {
  Download(board, Image(4096, 0x0400, 0x1100));
  const std::vector<uint8_t> header = GetDescriptor(board, kDescriptorConfiguration, 0, 9);
  ASSERT_EQ(header.size(), 9u);
  const uint16_t total = Word(header, 2);
  const std::vector<uint8_t> config = GetDescriptor(board, kDescriptorConfiguration, 0, total);
  ASSERT_EQ(config.size(), total);
  ASSERT_EQ(total, 9u + 9u + 8u * 7u);
  EXPECT_EQ(config[4], 1) << "one interface";
  EXPECT_EQ(config[9 + 3], 0) << "alternate setting 0";
  EXPECT_EQ(config[9 + 4], 8) << "eight endpoints";
  std::vector<uint8_t> addresses;
  for (size_t i = 0; i < 8; ++i) {
    const size_t at = 18 + 7 * i;
    EXPECT_EQ(config[at + 1], kDescriptorEndpoint);
    EXPECT_EQ(config[at + 3], 2) << "bulk";
    EXPECT_EQ(Word(config, at + 4), TraitsOf(GetParam()).bulkMaxPacket);
    addresses.push_back(config[at + 2]);
  }
  // Entry 1 of the library's list is descriptor 0 here, entry 8 descriptor 7.
  EXPECT_EQ(addresses.front(), 0x01);
  EXPECT_EQ(addresses.back(), 0x81);
  EXPECT_EQ(addresses.front() & 0x80, 0);
  EXPECT_NE(addresses.back() & 0x80, 0);
}

TEST_P(BoardClassTest, StringsAndLanguageList) {
  EXPECT_EQ(GetDescriptor(board, kDescriptorString, 0, 255),
            (std::vector<uint8_t>{4, kDescriptorString, 0x09, 0x04}));
  Download(board, Image(4096, 0x0400, 0x1100));
  const std::vector<uint8_t> head = GetDescriptor(board, kDescriptorString, 1, 2);
  ASSERT_EQ(head.size(), 2u);
  const std::vector<uint8_t> text = GetDescriptor(board, kDescriptorString, 1, head[0]);
  ASSERT_EQ(text.size(), 2u + 2u * 8u);
  EXPECT_EQ(text[2], 'K');
  EXPECT_EQ(text[3], 0);
  EXPECT_FALSE(GetDescriptor(board, kDescriptorString, 2, 255).empty());
  EXPECT_TRUE(GetDescriptor(board, kDescriptorString, 3, 255).empty());
}

TEST_P(BoardClassTest, CodeMemoryIsWrittenOnlyWhileTheCpuIsHeld) {
  ASSERT_EQ(SetCpuReset(board, false), UsbOutcome::kDone);  // runs nothing: no image
  EXPECT_FALSE(board.FirmwareRunning());
  EXPECT_EQ(board.LastBootProblem(), "no image in code memory");
  const uint8_t bytes[4] = {1, 2, 3, 4};
  EXPECT_EQ(VendorWrite(board, 0, bytes, 4), UsbOutcome::kStall);
  EXPECT_EQ(board.CodeMemory()[0], 0);
  ASSERT_EQ(SetCpuReset(board, true), UsbOutcome::kDone);
  EXPECT_EQ(VendorWrite(board, 0, bytes, 4), UsbOutcome::kDone);
  EXPECT_EQ(board.CodeMemory()[3], 4);
  // Reading code memory works at any time.
  uint8_t back[4] = {};
  size_t moved = 0;
  ASSERT_EQ(board.Control({kVendorIn, kRequestFirmwareLoad, 0, 0, 4}, nullptr, back, &moved),
            UsbOutcome::kDone);
  EXPECT_EQ(back[2], 3);
}

TEST_P(BoardClassTest, WritesBeyondCodeMemoryAndTheOtherClassRegisterStall) {
  ASSERT_EQ(SetCpuReset(board, true), UsbOutcome::kDone);
  const uint8_t bytes[2] = {0, 0};
  EXPECT_EQ(VendorWrite(board, 0x1FFF, bytes, 2), UsbOutcome::kStall);
  const uint16_t other = GetParam() == BoardClass::kFullSpeed ? 0xE600 : 0x7F92;
  EXPECT_EQ(VendorWrite(board, other, bytes, 1), UsbOutcome::kStall);
}

TEST_P(BoardClassTest, ImagesOutsideFourToEightKilobytesDoNotBoot) {
  ASSERT_EQ(SetCpuReset(board, true), UsbOutcome::kDone);
  const std::vector<uint8_t> small = Image(4095, 0x0400, 0x1100);
  ASSERT_EQ(VendorWrite(board, 0, small.data(), 4095), UsbOutcome::kDone);
  const uint32_t generation = board.Generation();
  ASSERT_EQ(SetCpuReset(board, false), UsbOutcome::kDone);
  EXPECT_FALSE(board.FirmwareRunning());
  EXPECT_EQ(board.Generation(), generation) << "no re-enumeration";
  EXPECT_FALSE(board.LastBootProblem().empty());

  // A hole in the image does not boot either.
  ASSERT_EQ(SetCpuReset(board, true), UsbOutcome::kDone);
  ASSERT_EQ(VendorWrite(board, 4200, small.data(), 100), UsbOutcome::kDone);
  ASSERT_EQ(SetCpuReset(board, false), UsbOutcome::kDone);
  EXPECT_FALSE(board.FirmwareRunning());

  // Filling the hole completes one 4300-byte image.
  ASSERT_EQ(SetCpuReset(board, true), UsbOutcome::kDone);
  ASSERT_EQ(VendorWrite(board, 4095, small.data(), 105), UsbOutcome::kDone);
  ASSERT_EQ(SetCpuReset(board, false), UsbOutcome::kDone);
  EXPECT_TRUE(board.FirmwareRunning());
  EXPECT_EQ(board.BootedImage().size(), 4300u);
}

TEST_P(BoardClassTest, RunningFirmwareCanBeReplaced) {
  Download(board, Image(4096, 0x0400, 0x1100));
  const uint32_t generation = board.Generation();
  Download(board, Image(8192, 0x0400, 0x1234));
  EXPECT_EQ(board.Boots(), 2u);
  EXPECT_NE(board.Generation(), generation);
  EXPECT_EQ(board.PresentedIdentity().productId, 0x1234);
}

TEST_P(BoardClassTest, EveryBootStartsTheBoardRegistersFromTheirPowerUpValues) {
  BoardRegisters& registers = board.GetBuses()->Registers();
  registers.SetPowerUp(0x401, 0x5A);
  Download(board, Image(4096, 0x0400, 0x1100));
  registers.Write(0x400, 0x11);
  registers.Write(0x401, 0x22);
  // Held in reset the firmware's memory is left alone; the boot starts it.
  ASSERT_EQ(SetCpuReset(board, true), UsbOutcome::kDone);
  EXPECT_EQ(registers.Read(0x400), 0x11);
  ASSERT_EQ(SetCpuReset(board, false), UsbOutcome::kDone);
  EXPECT_EQ(registers.Read(0x400), 0x00);
  EXPECT_EQ(registers.Read(0x401), 0x5A);
}

TEST_P(BoardClassTest, CommandsWaitWhileTheCpuIsHeld) {
  Download(board, Image(4096, 0x0400, 0x1100));
  ASSERT_EQ(SetCpuReset(board, true), UsbOutcome::kDone);
  const std::vector<uint8_t> packet = testing::BoardRead({0x400});
  size_t moved = 0;
  EXPECT_EQ(board.BulkOut(kCommandEndpoint, packet.data(), packet.size(), &moved),
            UsbOutcome::kPending);
}

INSTANTIATE_TEST_SUITE_P(BothClasses, BoardClassTest,
                         ::testing::Values(BoardClass::kFullSpeed, BoardClass::kHighSpeed));

class RunningBoardTest : public ::testing::Test {
 protected:
  RunningBoardTest() {
    chip = std::make_shared<RegisterChip>();
    for (uint16_t a = 0; a < 4; ++a) {
      chip->DefineField(a, a, 7, 0, 0x20 + a, true);
    }
    board.GetBuses()->I2c().Attach(0x48, chip);
    Download(board, Image(4096, 0x0400, 0x1100));
  }

  UsbOutcome Send(const std::vector<uint8_t>& packet) {
    size_t moved = 0;
    const UsbOutcome outcome =
        board.BulkOut(kCommandEndpoint, packet.data(), packet.size(), &moved);
    if (outcome == UsbOutcome::kDone) {
      EXPECT_EQ(moved, packet.size());
    }
    return outcome;
  }

  UsbOutcome Receive(std::vector<uint8_t>& bytes, size_t length = 64) {
    bytes.assign(length, 0);
    size_t moved = 0;
    const UsbOutcome outcome = board.BulkIn(kResponseEndpoint, bytes.data(), length, &moved);
    bytes.resize(moved);
    return outcome;
  }

  Board board{BoardClass::kHighSpeed, {0x0400, 0x1100}, nullptr};
  std::shared_ptr<RegisterChip> chip;
};

TEST_F(RunningBoardTest, ReadRequestThenResponse) {
  ASSERT_EQ(Send(testing::ChipRead(kBusI2c, 0x48, {0, 1, 2})), UsbOutcome::kDone);
  std::vector<uint8_t> bytes;
  ASSERT_EQ(Receive(bytes), UsbOutcome::kDone);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0x20, 0x21, 0x22}));
  EXPECT_EQ(Receive(bytes), UsbOutcome::kPending) << "one response per request";
}

TEST_F(RunningBoardTest, UnarmedEndpointsNakAndWrongDirectionsStall) {
  size_t moved = 0;
  uint8_t byte = 0;
  EXPECT_EQ(board.BulkOut(0x02, &byte, 1, &moved), UsbOutcome::kPending);
  EXPECT_EQ(board.BulkIn(0x86, &byte, 1, &moved), UsbOutcome::kPending);
  EXPECT_EQ(board.BulkOut(0x81, &byte, 1, &moved), UsbOutcome::kStall);
  EXPECT_EQ(board.BulkOut(0x08, &byte, 1, &moved), UsbOutcome::kStall);
}

TEST_F(RunningBoardTest, FirmwareStopsTakingCommandsWhenItsResponsesAreNotCollected) {
  const std::vector<uint8_t> read = testing::ChipRead(kBusI2c, 0x48, {0});
  ASSERT_EQ(Send(read), UsbOutcome::kDone);
  ASSERT_EQ(Send(read), UsbOutcome::kDone);
  EXPECT_EQ(Send(read), UsbOutcome::kPending);
  board.Abort(kResponseEndpoint);
  EXPECT_EQ(board.ResponsesQueued(), 0u);
  EXPECT_EQ(Send(read), UsbOutcome::kDone);
}

TEST_F(RunningBoardTest, TimeoutFaultHoldsTheResponseUntilAborted) {
  board.Faults().Arm(FaultKind::kTimeout);
  ASSERT_EQ(Send(testing::ChipRead(kBusI2c, 0x48, {0})), UsbOutcome::kDone);
  std::vector<uint8_t> bytes;
  EXPECT_EQ(Receive(bytes), UsbOutcome::kPending);
  board.Abort(kResponseEndpoint);
  EXPECT_EQ(Receive(bytes), UsbOutcome::kPending) << "the held response was dropped";
  ASSERT_EQ(Send(testing::ChipRead(kBusI2c, 0x48, {1})), UsbOutcome::kDone);
  ASSERT_EQ(Receive(bytes), UsbOutcome::kDone);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0x21}));
}

TEST_F(RunningBoardTest, ShortAndLongFaultsChangeTheResponseLength) {
  board.Faults().Arm(FaultKind::kShortResponse);
  ASSERT_EQ(Send(testing::ChipRead(kBusI2c, 0x48, {0, 1, 2})), UsbOutcome::kDone);
  std::vector<uint8_t> bytes;
  ASSERT_EQ(Receive(bytes), UsbOutcome::kDone);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0x20, 0x21}));

  board.Faults().Arm(FaultKind::kLongResponse);
  ASSERT_EQ(Send(testing::ChipRead(kBusI2c, 0x48, {0, 1, 2})), UsbOutcome::kDone);
  ASSERT_EQ(Receive(bytes), UsbOutcome::kDone);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0x20, 0x21, 0x22, 0xFF}));

  // A long response into a buffer of the asked size overflows.
  board.Faults().Arm(FaultKind::kLongResponse);
  ASSERT_EQ(Send(testing::ChipRead(kBusI2c, 0x48, {0, 1, 2})), UsbOutcome::kDone);
  EXPECT_EQ(Receive(bytes, 3), UsbOutcome::kOverflow);
  EXPECT_EQ(board.ResponsesQueued(), 0u);
}

TEST_F(RunningBoardTest, NakFaultCountsChipPacketsOnly) {
  board.Faults().Arm(FaultKind::kNak);
  ASSERT_EQ(Send(testing::BoardWrite({0x400}, {1})), UsbOutcome::kDone);
  ASSERT_EQ(Send(testing::ChipRead(kBusI2c, 0x48, {0, 1})), UsbOutcome::kDone);
  std::vector<uint8_t> bytes;
  ASSERT_EQ(Receive(bytes), UsbOutcome::kDone);
  EXPECT_TRUE(bytes.empty()) << "a NAK on the first transaction answers nothing";
  EXPECT_EQ(board.GetBuses()->Registers().Read(0x400), 1);
}

TEST_F(RunningBoardTest, DisconnectFaultDropsTheBoardAndItsFirmware) {
  board.Faults().Arm(FaultKind::kDisconnect, 2);
  ASSERT_EQ(Send(testing::ChipRead(kBusI2c, 0x48, {0})), UsbOutcome::kDone);
  const uint32_t generation = board.Generation();
  std::vector<uint8_t> bytes;
  EXPECT_EQ(Receive(bytes), UsbOutcome::kGone);
  EXPECT_FALSE(board.Connected());
  EXPECT_NE(board.Generation(), generation);
  size_t moved = 0;
  uint8_t data[18];
  EXPECT_EQ(
      board.Control({kStandardIn, kRequestGetDescriptor, 0x0100, 0, 18}, nullptr, data, &moved),
      UsbOutcome::kGone);
  board.Replug();
  EXPECT_TRUE(board.Connected());
  EXPECT_FALSE(board.FirmwareRunning());
  EXPECT_TRUE(board.CpuHeldInReset());
  EXPECT_EQ(board.CodeMemory()[1], 0) << "power was lost";
}

TEST(BoardFaultTest, DownloadAndResetFaultsStallTheirRequest) {
  Board board{BoardClass::kFullSpeed, {0x04B4, 0x2131}, nullptr};
  board.Faults().Arm(FaultKind::kResetFailure);
  EXPECT_EQ(SetCpuReset(board, true), UsbOutcome::kStall);
  EXPECT_EQ(SetCpuReset(board, true), UsbOutcome::kDone);
  board.Faults().Arm(FaultKind::kDownloadFailure, 2);
  const std::vector<uint8_t> image = Image(1024, 0, 0);
  EXPECT_EQ(VendorWrite(board, 0, image.data(), 512), UsbOutcome::kDone);
  EXPECT_EQ(VendorWrite(board, 512, image.data(), 512), UsbOutcome::kStall);
  EXPECT_EQ(VendorWrite(board, 512, image.data(), 512), UsbOutcome::kDone);
}

}  // namespace
}  // namespace kestrova::emulator
