// OpenDevice, ReadDevice and WriteDevice through the real library core
// against the emulated board and controller, for both board classes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "dravik/dravik.h"
#include "drivers.hpp"
#include "emulator/emulator.hpp"
#include "emulator/part_chip.hpp"
#include "emulator/register_chip.hpp"
#include "handle_table.hpp"
#include "last_error.hpp"
#include "sleep.hpp"

namespace kestrova::emulator {
namespace {

namespace fs = std::filesystem;

constexpr uint16_t kVid = 0x0400;
constexpr uint16_t kPid = 0x1100;
constexpr size_t kImageSize = 5000;

std::string LastError() {
  char buffer[DRAVIK_ERROR_TEXT_SIZE];
  LastErrorDevice(buffer);
  return std::string(buffer);
}

std::vector<uint8_t> ImageBytes(uint8_t seed) {
  std::vector<uint8_t> image(kImageSize);
  for (size_t i = 0; i < image.size(); ++i) {
    image[i] = static_cast<uint8_t>(i * 13 + seed);
  }
  return image;
}

class EndToEndTest : public ::testing::TestWithParam<BoardClass> {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("kestrova-e2e-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
              "-" + std::to_string(static_cast<int>(GetParam())));
    fs::create_directories(folder);
    // The library reads .bix on full-speed boards and .bi2 on the others.
    WriteFile("dravik.bix", ImageBytes(1));
    WriteFile("dravik.bi2", ImageBytes(2));
    firmwarePath = (folder / "dravik.bix").string();

    std::string error;
    auto part = LoadPartChip(std::string(KESTROVA_DATA_DIR) + "/device/demo", &error);
    ASSERT_TRUE(part) << error;
    demo = part->chip;
    emulator.GetBuses()->Clock()->SetManual(0);
    TemperatureSource steady;
    steady.meanCelsius = 25.0;
    steady.amplitudeCelsius = 0;
    steady.noiseCelsius = 0;
    auto source = emulator.AddTemperatureSource(steady);
    for (const PartTemperature& t : part->temperatures) {
      demo->BindTemperature(t.reg, source, emulator.GetBuses()->Clock());
    }
    ASSERT_TRUE(emulator.PlaceChip("demo", ChipBus::kI2c, 0x48, demo));

    wire = std::make_shared<RegisterChip>();
    wire->DefineField(0x10, 0x10, 7, 0, 0x3C, true);
    ASSERT_TRUE(emulator.PlaceChip("wire", ChipBus::kSingleWire, 5, wire));
    spi = std::make_shared<RegisterChip>();
    spi->DefineField(0x20, 0x20, 7, 0, 0x5A, true);
    ASSERT_TRUE(emulator.PlaceChip("spi", ChipBus::kSpi, 200, spi));
    microwire = std::make_shared<RegisterChip>();
    microwire->DefineField(0, 0, 7, 0, 0x12, true);
    microwire->DefineField(1, 1, 7, 0, 0x34, true);
    ASSERT_TRUE(emulator.PlaceChip("mw", ChipBus::kMicrowire, 0, microwire));
    qx3 = std::make_shared<RegisterChip>();
    for (uint16_t a = 0; a < 4; ++a) {
      qx3->DefineField(a, a, 7, 0, 0xA0 + a, true);
    }
    ASSERT_TRUE(emulator.PlaceChip("qx3", ChipBus::kQx3Test, 0, qx3));

    board = &emulator.AddBoard(GetParam(), {kVid, kPid});

    dravik::ResetLastErrorForTesting();
    dravik::CloseAllOpenLinksForTesting();
    dravik::SetUsbDriverClassForTesting(&emulator.UsbClass());
    dravik::SetSmbusOpenerForTesting([this](const char* path) { return emulator.OpenSmbus(path); });
    dravik::SetSleeperForTesting([this](int ms) { sleeps.push_back(ms); });
  }

  void TearDown() override {
    dravik::CloseAllOpenLinksForTesting();
    dravik::SetUsbDriverClassForTesting(nullptr);
    dravik::SetSmbusOpenerForTesting(nullptr);
    dravik::SetSleeperForTesting(nullptr);
    fs::remove_all(folder);
  }

  void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream(folder / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }

  DeviceHandle Open(uint16_t vid = kVid, uint16_t pid = kPid, uint8_t force = 0) {
    uint16_t vidPid[2] = {vid, pid};
    DeviceHandle handle = -1;
    EXPECT_EQ(OpenDevice(LINK_USB, "dravik", vidPid, force, firmwarePath.c_str(), &handle), 1)
        << LastError();
    return handle;
  }

  std::vector<uint8_t> Read(DeviceHandle handle, int16_t bus, int16_t address,
                            std::vector<int16_t> registers, bool expectOk = true) {
    std::vector<uint8_t> data(registers.size(), 0xEE);
    int16_t size = static_cast<int16_t>(registers.size());
    const uint8_t ok = ReadDevice(handle, 0, bus, address, registers.data(), data.data(), &size);
    EXPECT_EQ(ok, expectOk ? 1 : 0) << LastError();
    return data;
  }

  bool Write(DeviceHandle handle, int16_t bus, int16_t address, std::vector<int16_t> registers,
             std::vector<uint8_t> data) {
    int16_t size = static_cast<int16_t>(registers.size());
    return WriteDevice(handle, 0, bus, address, registers.data(), data.data(), &size) == 1;
  }

  fs::path folder;
  std::string firmwarePath;
  Emulator emulator;
  Board* board = nullptr;
  std::shared_ptr<RegisterChip> demo, wire, spi, microwire, qx3;
  std::vector<int> sleeps;
};

TEST_P(EndToEndTest, FirstOpenDownloadsTheClassImageAndReEnumerates) {
  const DeviceHandle handle = Open();
  EXPECT_GT(handle, 0);
  EXPECT_EQ(board->Boots(), 1u);
  EXPECT_TRUE(board->FirmwareRunning());
  std::vector<uint8_t> expected = ImageBytes(GetParam() == BoardClass::kFullSpeed ? 1 : 2);
  expected[0x0F08] = 0x00;
  expected[0x0F09] = 0x04;
  expected[0x0F0A] = 0x00;
  expected[0x0F0B] = 0x11;
  EXPECT_EQ(board->BootedImage(), expected);
  const size_t chunk = TraitsOf(GetParam()).downloadChunk;
  EXPECT_EQ(board->DownloadRequests(), (kImageSize + chunk - 1) / chunk);
  ASSERT_FALSE(sleeps.empty());
  EXPECT_EQ(sleeps.front(), 1000);
  EXPECT_EQ(CloseDevice(handle), 1);
}

TEST_P(EndToEndTest, SecondOpenFindsTheRunningFirmwareAndDownloadsNothing) {
  EXPECT_EQ(CloseDevice(Open()), 1);
  sleeps.clear();
  const DeviceHandle handle = Open();
  EXPECT_EQ(board->Boots(), 1u);
  EXPECT_TRUE(sleeps.empty());
  // Forcing the download boots again.
  EXPECT_EQ(CloseDevice(handle), 1);
  EXPECT_EQ(CloseDevice(Open(kVid, kPid, 1)), 1);
  EXPECT_EQ(board->Boots(), 2u);
}

TEST_P(EndToEndTest, OpenWaitsForASlowReEnumeration) {
  board->SetReEnumerationSearches(3);
  const DeviceHandle handle = Open();
  ASSERT_GE(sleeps.size(), 2u);
  EXPECT_EQ(sleeps[0], 1000);
  EXPECT_EQ(sleeps[1], 500);
  EXPECT_TRUE(board->Connected());
  EXPECT_EQ(Read(handle, BUS_I2C, 0x48, {2}), (std::vector<uint8_t>{0x28}));
  EXPECT_EQ(CloseDevice(handle), 1);
}

TEST_P(EndToEndTest, BoardThatNeverComesBackFailsAfterThePolls) {
  board->SetReEnumerationSearches(1000);
  uint16_t vidPid[2] = {kVid, kPid};
  DeviceHandle handle = -1;
  EXPECT_EQ(OpenDevice(LINK_USB, "dravik", vidPid, 0, firmwarePath.c_str(), &handle), 0);
  EXPECT_EQ(LastError(), "OpenDevice: Board did not come back after firmware download");
  EXPECT_EQ(sleeps.size(), 22u) << "1000 ms, then 500 ms after each of 21 polls";
  if (handle != -1) {
    CloseDevice(handle);
  }
}

TEST_P(EndToEndTest, ZeroVidPidLearnsTheBoardIdentity) {
  uint16_t vidPid[2] = {0, 0};
  DeviceHandle handle = -1;
  ASSERT_EQ(OpenDevice(LINK_USB, "dravik", vidPid, 0, firmwarePath.c_str(), &handle), 1)
      << LastError();
  EXPECT_EQ(vidPid[0], kVid);
  EXPECT_EQ(vidPid[1], kPid);
  EXPECT_EQ(CloseDevice(handle), 1);
}

TEST_P(EndToEndTest, WrongIdentityFindsNoBoard) {
  uint16_t vidPid[2] = {0x0401, 0x1100};
  DeviceHandle handle = 7;
  EXPECT_EQ(OpenDevice(LINK_USB, "dravik", vidPid, 0, firmwarePath.c_str(), &handle), 0);
  EXPECT_EQ(LastError(), "OpenDevice: Can't find board with this USB VID,PID");
  EXPECT_EQ(handle, -1);
}

TEST_P(EndToEndTest, I2cReadsAndWritesReachTheDemoChip) {
  const DeviceHandle handle = Open();
  // Config starts with the alarm window bit; 25 C is raw 400: 0x0C, 0x80.
  EXPECT_EQ(Read(handle, BUS_I2C, 0x48, {1}), (std::vector<uint8_t>{0x04}));
  EXPECT_EQ(Read(handle, BUS_I2C, 0x48, {0, 0}), (std::vector<uint8_t>{0x0C, 0x80}));
  ASSERT_TRUE(Write(handle, BUS_I2C, 0x48, {1}, {0x61}));
  EXPECT_EQ(demo->Byte(1), 0x61);
  EXPECT_EQ(Read(handle, BUS_I2C, 0x48, {1, 2}), (std::vector<uint8_t>{0x61, 0x28}));
  // The temperature moves with the simulated clock.
  emulator.FindTemperatureSource("ambient")->meanCelsius = 30.0;
  EXPECT_EQ(Read(handle, BUS_I2C, 0x48, {0, 0}), (std::vector<uint8_t>{0x0F, 0x00}));
  EXPECT_EQ(CloseDevice(handle), 1);
}

TEST_P(EndToEndTest, LongReadsAndWritesAreChunked) {
  const DeviceHandle handle = Open();
  auto scratch = std::make_shared<RegisterChip>();
  std::vector<int16_t> registers(100);
  std::vector<uint8_t> data(100);
  for (int i = 0; i < 100; ++i) {
    scratch->DefineField(static_cast<uint16_t>(i), static_cast<uint16_t>(i), 7, 0, 0, true);
    registers[static_cast<size_t>(i)] = static_cast<int16_t>(i);
    data[static_cast<size_t>(i)] = static_cast<uint8_t>(3 * i + 1);
  }
  ASSERT_TRUE(emulator.PlaceChip("scratch", ChipBus::kI2c, 0x30, scratch));
  // 100 entries: write packets of 29 registers, read requests of 58.
  ASSERT_TRUE(Write(handle, BUS_I2C, 0x30, registers, data)) << LastError();
  EXPECT_EQ(scratch->Byte(99), static_cast<uint8_t>(3 * 99 + 1));
  EXPECT_EQ(Read(handle, BUS_I2C, 0x30, registers), data);
  EXPECT_EQ(CloseDevice(handle), 1);
}

TEST_P(EndToEndTest, BoardRegistersAndMixedLists) {
  const DeviceHandle handle = Open();
  ASSERT_TRUE(Write(handle, BUS_BOARD, 0, {0x400, 0x401}, {0x5A, 0x01}));
  EXPECT_EQ(emulator.GetBuses()->Registers().Read(0x400), 0x5A);
  EXPECT_EQ(Read(handle, BUS_BOARD, 0, {0x401, 0x400}), (std::vector<uint8_t>{0x01, 0x5A}));
  // Board register first, chip register second: each from its own pass.
  EXPECT_EQ(Read(handle, BUS_I2C, 0x48, {1024, 2}), (std::vector<uint8_t>{0x5A, 0x28}));
  EXPECT_EQ(CloseDevice(handle), 1);
}

TEST_P(EndToEndTest, OtherBusesReachTheirChips) {
  const DeviceHandle handle = Open();
  EXPECT_EQ(Read(handle, BUS_SINGLEWIRE, 5, {0x10}), (std::vector<uint8_t>{0x3C}));
  EXPECT_EQ(Read(handle, BUS_SPI, 200, {0x20}), (std::vector<uint8_t>{0x5A}));
  ASSERT_TRUE(Write(handle, BUS_SPI, 200, {0x20}, {0x11}));
  EXPECT_EQ(spi->Byte(0x20), 0x11);
  EXPECT_EQ(Read(handle, BUS_MICROWIRE, 0, {0, 1}), (std::vector<uint8_t>{0x12, 0x34}));
  ASSERT_TRUE(Write(handle, BUS_MICROWIRE, 0, {0, 1}, {0x56, 0x78}));
  EXPECT_EQ(microwire->Byte(1), 0x78);
  EXPECT_EQ(Read(handle, BUS_QX3TEST, 0, {0, 1, 2}), (std::vector<uint8_t>{0xA0, 0xA1, 0xA2}));
  ASSERT_TRUE(Write(handle, BUS_QX3TEST, 0, {0, 1}, {0x01, 0x02}));
  EXPECT_EQ(qx3->Byte(0), 0x01);
  EXPECT_EQ(CloseDevice(handle), 1);
}

TEST_P(EndToEndTest, StreamReadEndsWhereTheStreamEnds) {
  const DeviceHandle handle = Open();
  std::vector<uint8_t> bytes(100);
  for (size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<uint8_t>(i + 1);
  }
  emulator.GetBuses()->Stream().Push(bytes);
  std::vector<int16_t> registers(200, 0);
  std::vector<uint8_t> data(200, 0);
  int16_t size = 200;
  ASSERT_EQ(ReadDevice(handle, 0, BUS_STREAM, 0, registers.data(), data.data(), &size), 1)
      << LastError();
  ASSERT_EQ(size, 100);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), data.begin()));

  // A stream that never ends fills every response (k = n, n - 1 bytes each),
  // so the read comes down to a one-byte request that cannot carry data: the
  // library hands over what it gathered (57 + 57 + 5 bytes) and the board
  // goes on.
  emulator.GetBuses()->Stream().SetRepeat({0xAB});
  size = 120;
  ASSERT_EQ(ReadDevice(handle, 0, BUS_STREAM, 0, registers.data(), data.data(), &size), 1)
      << LastError();
  EXPECT_EQ(size, 119);
  EXPECT_EQ(data[118], 0xAB);
  emulator.GetBuses()->Stream().Clear();
  emulator.GetBuses()->Stream().Push({7, 8});
  size = 10;
  ASSERT_EQ(ReadDevice(handle, 0, BUS_STREAM, 0, registers.data(), data.data(), &size), 1)
      << LastError();
  EXPECT_EQ(size, 2);
  EXPECT_EQ(data[1], 8);
  EXPECT_EQ(CloseDevice(handle), 1);
}

TEST_P(EndToEndTest, AbsentChipIsAShortResponse) {
  const DeviceHandle handle = Open();
  Read(handle, BUS_I2C, 0x50, {0}, false);
  EXPECT_EQ(LastError(), "ReadDevice: Wrong number of bytes returned");
  EXPECT_EQ(Read(handle, BUS_I2C, 0x48, {2}), (std::vector<uint8_t>{0x28}));
  EXPECT_EQ(CloseDevice(handle), 1);
}

struct ResponseFault {
  FaultKind kind;
  const char* name;
};

TEST_P(EndToEndTest, EveryResponseFaultEndsInTheReadMessageAndTheNextCallWorks) {
  const DeviceHandle handle = Open();
  for (const ResponseFault fault :
       {ResponseFault{FaultKind::kTimeout, "timeout"},
        ResponseFault{FaultKind::kShortResponse, "short"},
        ResponseFault{FaultKind::kLongResponse, "long"}, ResponseFault{FaultKind::kNak, "nak"}}) {
    board->Faults().Arm(fault.kind);
    const std::vector<uint8_t> data = Read(handle, BUS_I2C, 0x48, {1, 2}, false);
    EXPECT_EQ(LastError(), "ReadDevice: Wrong number of bytes returned") << fault.name;
    EXPECT_EQ(data, (std::vector<uint8_t>{0xEE, 0xEE})) << fault.name << ": data left alone";
    EXPECT_EQ(board->ResponsesQueued(), 0u) << fault.name;
    EXPECT_EQ(Read(handle, BUS_I2C, 0x48, {1, 2}), (std::vector<uint8_t>{0x04, 0x28}))
        << fault.name;
  }
  EXPECT_EQ(CloseDevice(handle), 1);
}

TEST_P(EndToEndTest, DisconnectMidTransferFailsAndAReopenDownloadsAgain) {
  const DeviceHandle handle = Open();
  board->Faults().Arm(FaultKind::kDisconnect, 2);  // the response of the read
  Read(handle, BUS_I2C, 0x48, {1}, false);
  EXPECT_EQ(LastError(), "ReadDevice: Wrong number of bytes returned");
  EXPECT_FALSE(Write(handle, BUS_I2C, 0x48, {1}, {0}));
  EXPECT_EQ(LastError(), "WriteDevice: Wrong number of bytes sent");
  EXPECT_EQ(CloseDevice(handle), 1);
  const DeviceHandle again = Open();
  EXPECT_EQ(board->Boots(), 2u);
  EXPECT_EQ(Read(again, BUS_I2C, 0x48, {1}), (std::vector<uint8_t>{0x04}));
  EXPECT_EQ(CloseDevice(again), 1);
}

TEST_P(EndToEndTest, FailedDownloadAndResetReportTheirMessages) {
  uint16_t vidPid[2] = {kVid, kPid};
  DeviceHandle handle = -1;
  board->Faults().Arm(FaultKind::kDownloadFailure, 2);
  EXPECT_EQ(OpenDevice(LINK_USB, "dravik", vidPid, 0, firmwarePath.c_str(), &handle), 0);
  EXPECT_EQ(LastError(), "OpenUSB: Code download failed");
  EXPECT_FALSE(board->FirmwareRunning());
  if (handle != -1) {
    CloseDevice(handle);
  }
  board->Faults().Arm(FaultKind::kResetFailure);
  handle = -1;
  EXPECT_EQ(OpenDevice(LINK_USB, "dravik", vidPid, 0, firmwarePath.c_str(), &handle), 0);
  EXPECT_EQ(LastError(), "OpenUSB: 8051 reset failed");
  if (handle != -1) {
    CloseDevice(handle);
  }
  const DeviceHandle working = Open();
  EXPECT_TRUE(board->FirmwareRunning());
  EXPECT_EQ(CloseDevice(working), 1);
}

TEST_P(EndToEndTest, ImageThatDoesNotBootEndsAfterThePolls) {
  WriteFile("dravik.bix", std::vector<uint8_t>(100, 0));
  WriteFile("dravik.bi2", std::vector<uint8_t>(100, 0));
  uint16_t vidPid[2] = {kVid, kPid};
  DeviceHandle handle = -1;
  EXPECT_EQ(OpenDevice(LINK_USB, "dravik", vidPid, 0, firmwarePath.c_str(), &handle), 0);
  EXPECT_EQ(LastError(), "LoadFirmware: Illegal code size");
  EXPECT_EQ(board->Boots(), 0u);
  if (handle != -1) {
    CloseDevice(handle);
  }
}

TEST_P(EndToEndTest, SmbusLinkReachesTheSameChips) {
  uint16_t vidPid[2] = {0, 0};
  DeviceHandle handle = -1;
  ASSERT_EQ(OpenDevice(LINK_SMBUS, "dravik_i2c", vidPid, 0, nullptr, &handle), 1) << LastError();
  EXPECT_EQ(Read(handle, BUS_SMBUS, 0x48, {1, 2}), (std::vector<uint8_t>{0x04, 0x28}));
  ASSERT_TRUE(Write(handle, BUS_SMBUS, 0x48, {1}, {0x60}));
  EXPECT_EQ(demo->Byte(1), 0x60);
  Read(handle, BUS_SMBUS, 0x50, {0}, false);
  EXPECT_EQ(LastError(), "ReadDevice: Dravik driver read failed");
  emulator.SmbusFaults().Arm(FaultKind::kShortResponse);
  Read(handle, BUS_SMBUS, 0x48, {1}, false);
  EXPECT_EQ(LastError(), "ReadDevice: Wrong number of bytes read from Dravik driver");
  EXPECT_EQ(Read(handle, BUS_SMBUS, 0x48, {1}), (std::vector<uint8_t>{0x60}));
  EXPECT_EQ(CloseDevice(handle), 1);
}

INSTANTIATE_TEST_SUITE_P(BothClasses, EndToEndTest,
                         ::testing::Values(BoardClass::kFullSpeed, BoardClass::kHighSpeed),
                         [](const ::testing::TestParamInfo<BoardClass>& info) {
                           return info.param == BoardClass::kFullSpeed ? "FullSpeed" : "HighSpeed";
                         });

}  // namespace
}  // namespace kestrova::emulator
