// The library's exports against the emulated board with faults injected: a
// time-out at every packet of a multi-packet read and write, disconnects in
// the middle of a transfer, replies of the wrong length, failed firmware
// downloads. Each ends
// in the library's message for it, returns well within the transfer
// time-out, damages no file, and the next operation works.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "dravik/dravik.h"
#include "drivers.hpp"
#include "emulator/emulator.hpp"
#include "emulator/register_chip.hpp"
#include "handle_table.hpp"
#include "last_error.hpp"
#include "packet_trace.hpp"
#include "sleep.hpp"
#include "usb/usb_driver.hpp"
#include "usb/usb_endpoint.hpp"

namespace kestrova::emulator {
namespace {

using Clock = std::chrono::steady_clock;
namespace usb = dravik::usb;

constexpr std::uint16_t kVendor = 0x0400;
constexpr std::uint16_t kProduct = 0x1100;
constexpr std::int16_t kChipAddress = 0x48;
// Every failing call must return well within the library's 10 s transfer
// time-out (the emulator answers a held request with an immediate time-out).
constexpr auto kNoHang = std::chrono::milliseconds(usb::kDefaultTimeoutMs);
// 150 registers: three read requests (58, 58, 34).
constexpr int kReadCount = 150;
constexpr int kReadResponses = 3;
// 100 registers on I2C: four write packets (29, 29, 29, 13).
constexpr int kWriteCount = 100;
constexpr int kWritePackets = 4;
constexpr int kRegistersPerWritePacket = 29;

std::uint8_t Startup(int address) {
  return static_cast<std::uint8_t>(address ^ 0x5A);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string LastError() {
  char text[DRAVIK_ERROR_TEXT_SIZE];
  LastErrorDevice(text);
  return text;
}

// The bulk transfers of an open board, with a fault the test arms on the
// n-th transfer towards the board (the emulator's own faults cover the
// responses): a time-out, or fewer bytes taken than sent.
class CommandFaults : public usb::DriverClass {
 public:
  enum class Kind { kNone, kTimeout, kShort };

  explicit CommandFaults(usb::DriverClass& inner) : inner_(inner) {}
  void Arm(Kind kind, int n) {
    kind_ = kind;
    at_ = n;
    seen_ = 0;
  }
  int Count() override { return inner_.Count(); }
  std::unique_ptr<usb::Driver> Open(int index) override {
    auto driver = inner_.Open(index);
    return driver ? std::make_unique<Driver>(std::move(driver), *this) : nullptr;
  }

 private:
  class Driver : public usb::Driver {
   public:
    Driver(std::unique_ptr<usb::Driver> inner, CommandFaults& owner)
        : inner_(std::move(inner)), owner_(owner) {}
    usb::IoResult Control(std::uint32_t code, const std::uint8_t* in, std::uint32_t inLength,
                          std::uint8_t* out, std::uint32_t outLength, std::uint32_t* returned,
                          std::uint32_t timeoutMs) override {
      const bool bulk = code == usb::kIoctlDirectTransfer || code == usb::kIoctlBufferedTransfer;
      const bool toBoard = bulk && inLength >= usb::kTransferHeaderSize && (in[13] & 0x80) == 0;
      if (toBoard && owner_.kind_ != Kind::kNone && ++owner_.seen_ == owner_.at_) {
        const Kind kind = owner_.kind_;
        owner_.kind_ = Kind::kNone;
        if (kind == Kind::kTimeout) {
          *returned = 0;
          return usb::IoResult::kTimeout;
        }
        const usb::IoResult result =
            inner_->Control(code, in, inLength, out, outLength, returned, timeoutMs);
        if (*returned > 0) {
          --*returned;
        }
        return result;
      }
      return inner_->Control(code, in, inLength, out, outLength, returned, timeoutMs);
    }

   private:
    std::unique_ptr<usb::Driver> inner_;
    CommandFaults& owner_;
  };

  usb::DriverClass& inner_;
  Kind kind_ = Kind::kNone;
  int at_ = 0;
  int seen_ = 0;
};

class FaultSuiteTest : public ::testing::TestWithParam<BoardClass> {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kestrova-faults-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    // The largest image: several download requests on either board class.
    std::string image(8192, '\0');
    for (std::size_t i = 0; i < image.size(); ++i) {
      image[i] = static_cast<char>(i * 31 + 7);
    }
    firmware_ = folder_ + "/board.bix";
    std::ofstream(firmware_, std::ios::binary) << image;
    std::ofstream(folder_ + "/board.bi2", std::ios::binary) << image;
    imageBytes_ = image;
    trace_ = folder_ + "/trace.log";

    dravik::ResetLastErrorForTesting();
    dravik::CloseAllOpenLinksForTesting();
    dravik::SetSleeperForTesting([](int) {});
    dravik::SetTraceFileForTesting(trace_.c_str());

    board_ = &bench_.AddBoard(GetParam(), {kVendor, kProduct});
    chip_ = std::make_shared<RegisterChip>("faults");
    for (int a = 0; a < 0xFF; ++a) {
      chip_->DefineField(static_cast<std::uint16_t>(a), static_cast<std::uint16_t>(a), 7, 0,
                         Startup(a), true);
    }
    bench_.GetBuses()->I2c().Attach(kChipAddress, chip_);
    commands_ = std::make_unique<CommandFaults>(bench_.UsbClass());
    dravik::SetUsbDriverClassForTesting(commands_.get());
    handle_ = Open();
  }

  void TearDown() override {
    dravik::CloseAllOpenLinksForTesting();
    dravik::SetUsbDriverClassForTesting(nullptr);
    dravik::SetSleeperForTesting(nullptr);
    dravik::SetTraceFileForTesting(nullptr);
    // No file was damaged: the firmware image is as written and the trace
    // holds only whole lines.
    EXPECT_EQ(ReadFile(firmware_), imageBytes_);
    const std::string trace = ReadFile(trace_);
    EXPECT_FALSE(trace.empty());
    EXPECT_EQ(trace.back(), '\n');
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  DeviceHandle Open() {
    std::uint16_t vidPid[2] = {kVendor, kProduct};
    DeviceHandle handle = -1;
    EXPECT_EQ(OpenDevice(LINK_USB, "dravik", vidPid, 0, firmware_.c_str(), &handle), 1)
        << LastError();
    return handle;
  }

  // Reads registers 0..count-1; false with the buffer untouched on failure.
  bool ReadRegisters(int count, std::vector<std::uint8_t>& data, std::int16_t busType = BUS_I2C) {
    std::vector<std::int16_t> registers(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
      registers[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i);
    }
    data.assign(static_cast<std::size_t>(count), 0xEE);
    std::int16_t size = static_cast<std::int16_t>(count);
    const auto start = Clock::now();
    const bool ok =
        ReadDevice(handle_, 0, busType, kChipAddress, registers.data(), data.data(), &size) == 1;
    EXPECT_LT(Clock::now() - start, kNoHang);
    EXPECT_EQ(size, count);
    return ok;
  }

  bool WriteRegisters(int count, std::uint8_t base) {
    std::vector<std::int16_t> registers(static_cast<std::size_t>(count));
    std::vector<std::uint8_t> data(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
      registers[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i);
      data[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(base + i);
    }
    std::int16_t size = static_cast<std::int16_t>(count);
    const auto start = Clock::now();
    const bool ok =
        WriteDevice(handle_, 0, BUS_I2C, kChipAddress, registers.data(), data.data(), &size) == 1;
    EXPECT_LT(Clock::now() - start, kNoHang);
    return ok;
  }

  // The next read of all registers works and sees the chip as it is.
  void ExpectNextReadWorks() {
    std::vector<std::uint8_t> data;
    ASSERT_TRUE(ReadRegisters(kReadCount, data)) << LastError();
    for (int i = 0; i < kReadCount; ++i) {
      EXPECT_EQ(data[static_cast<std::size_t>(i)], chip_->Byte(static_cast<std::uint16_t>(i)))
          << "register " << i;
    }
  }

  void ExpectFailedRead(const std::string& message) {
    std::vector<std::uint8_t> data;
    EXPECT_FALSE(ReadRegisters(kReadCount, data));
    EXPECT_EQ(LastError(), message);
    EXPECT_EQ(data, std::vector<std::uint8_t>(kReadCount, 0xEE)) << "buffer untouched";
  }

  Emulator bench_;
  Board* board_ = nullptr;
  std::shared_ptr<RegisterChip> chip_;
  std::unique_ptr<CommandFaults> commands_;
  DeviceHandle handle_ = -1;
  std::string folder_;
  std::string firmware_;
  std::string imageBytes_;
  std::string trace_;
};

// A fault at each packet of a multi-packet read: from the board (its
// responses) or on the way to it (the read requests).
TEST_P(FaultSuiteTest, AFaultAtEveryPacketOfAMultiPacketRead) {
  struct Case {
    FaultKind kind;
    bool request;  // armed on the read requests, not by the board
    int packets;
    const char* message;
  };
  const Case cases[] = {
      {FaultKind::kTimeout, false, kReadResponses, "ReadDevice: Wrong number of bytes returned"},
      {FaultKind::kShortResponse, false, kReadResponses,
       "ReadDevice: Wrong number of bytes returned"},
      {FaultKind::kLongResponse, false, kReadResponses,
       "ReadDevice: Wrong number of bytes returned"},
      {FaultKind::kNak, false, 1, "ReadDevice: Wrong number of bytes returned"},
      {FaultKind::kTimeout, true, kReadResponses, "WriteDevice: Wrong number of bytes sent"},
  };
  for (const Case& c : cases) {
    for (int k = 1; k <= c.packets; ++k) {
      SCOPED_TRACE(std::string(FaultName(c.kind)) + (c.request ? " at request " : " at response ") +
                   std::to_string(k));
      if (c.request) {
        commands_->Arm(CommandFaults::Kind::kTimeout, k);
      } else {
        board_->Faults().Arm(c.kind, static_cast<std::uint32_t>(k));
      }
      ExpectFailedRead(c.message);
      EXPECT_EQ(board_->Faults().Pending(c.kind), 0u);
      ExpectNextReadWorks();
    }
  }
}

// A packet of a multi-packet write that times out, or that the board takes
// whole but reports short: the packets before it were written (and a packet
// the board took), none after it.
TEST_P(FaultSuiteTest, AFaultAtEveryPacketOfAMultiPacketWrite) {
  for (const auto kind : {CommandFaults::Kind::kTimeout, CommandFaults::Kind::kShort}) {
    for (int k = 1; k <= kWritePackets; ++k) {
      SCOPED_TRACE((kind == CommandFaults::Kind::kShort ? "short packet " : "time-out at packet ") +
                   std::to_string(k));
      const auto base = static_cast<std::uint8_t>(0x10 * k + (kind == CommandFaults::Kind::kShort));
      commands_->Arm(kind, k);
      std::vector<std::uint8_t> before(kWriteCount);
      for (int i = 0; i < kWriteCount; ++i) {
        before[static_cast<std::size_t>(i)] = chip_->Byte(static_cast<std::uint16_t>(i));
      }
      EXPECT_FALSE(WriteRegisters(kWriteCount, base));
      EXPECT_EQ(LastError(), "WriteDevice: Wrong number of bytes sent");
      for (int i = 0; i < kWriteCount; ++i) {
        const int taken = k - (kind == CommandFaults::Kind::kShort ? 0 : 1);
        const bool sent = i < taken * kRegistersPerWritePacket;
        EXPECT_EQ(chip_->Byte(static_cast<std::uint16_t>(i)),
                  sent ? static_cast<std::uint8_t>(base + i) : before[static_cast<std::size_t>(i)])
            << "register " << i;
      }
      ASSERT_TRUE(WriteRegisters(kWriteCount, base)) << LastError();
      for (int i = 0; i < kWriteCount; ++i) {
        EXPECT_EQ(chip_->Byte(static_cast<std::uint16_t>(i)), static_cast<std::uint8_t>(base + i));
      }
      ExpectNextReadWorks();
    }
  }
}

TEST_P(FaultSuiteTest, DisconnectInTheMiddleOfAReadOrWriteThenReopen) {
  struct Case {
    bool write;
    std::uint32_t transfer;  // bulk transfer at which the board drops off
    const char* message;
  };
  const Case cases[] = {
      {false, 1, "WriteDevice: Wrong number of bytes sent"},
      {false, 2, "ReadDevice: Wrong number of bytes returned"},
      {false, 4, "ReadDevice: Wrong number of bytes returned"},
      {false, 5, "WriteDevice: Wrong number of bytes sent"},
      {true, 1, "WriteDevice: Wrong number of bytes sent"},
      {true, 3, "WriteDevice: Wrong number of bytes sent"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.write ? "write" : "read") + " transfer " +
                 std::to_string(c.transfer));
    board_->Faults().Arm(FaultKind::kDisconnect, c.transfer);
    if (c.write) {
      EXPECT_FALSE(WriteRegisters(kWriteCount, 0x21));
      EXPECT_EQ(LastError(), c.message);
    } else {
      ExpectFailedRead(c.message);
    }
    EXPECT_FALSE(board_->FirmwareRunning());
    // The handle reaches a board that is gone: the next transfer fails at once.
    std::vector<std::uint8_t> data;
    EXPECT_FALSE(ReadRegisters(1, data));
    // Closing and opening again finds the board (without firmware) and loads it.
    EXPECT_EQ(CloseDevice(handle_), 1);
    const std::uint32_t boots = board_->Boots();
    handle_ = Open();
    EXPECT_EQ(board_->Boots(), boots + 1);
    ExpectNextReadWorks();
  }
}

// Nothing is created or damaged, and the device object stays with the
// caller, who closes it.
TEST_P(FaultSuiteTest, FailedFirmwareDownloadsLeaveTheBoardOpenableAgain) {
  EXPECT_EQ(CloseDevice(handle_), 1);
  struct Case {
    FaultKind kind;
    std::uint32_t at;
    const char* message;
  };
  const Case cases[] = {
      {FaultKind::kDownloadFailure, 1, "OpenUSB: Code download failed"},
      {FaultKind::kDownloadFailure, 2, "OpenUSB: Code download failed"},
      {FaultKind::kResetFailure, 1, "OpenUSB: 8051 reset failed"},
      // The image went in, but the CPU never left reset: the board never
      // comes back with the firmware.
      {FaultKind::kResetFailure, 2, "OpenDevice: Board did not come back after firmware download"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(FaultName(c.kind)) + "@" + std::to_string(c.at));
    board_->Unplug();
    board_->Replug();
    board_->Faults().Arm(c.kind, c.at);
    std::uint16_t vidPid[2] = {kVendor, kProduct};
    DeviceHandle handle = -1;
    const auto start = Clock::now();
    EXPECT_EQ(OpenDevice(LINK_USB, "dravik", vidPid, 0, firmware_.c_str(), &handle), 0);
    EXPECT_LT(Clock::now() - start, kNoHang);
    EXPECT_EQ(LastError(), c.message);
    EXPECT_FALSE(board_->FirmwareRunning());
    EXPECT_EQ(CloseDevice(handle), 1);
    handle_ = Open();
    ExpectNextReadWorks();
    EXPECT_EQ(CloseDevice(handle_), 1);
  }
  handle_ = Open();
}

INSTANTIATE_TEST_SUITE_P(BothBoardClasses, FaultSuiteTest,
                         ::testing::Values(BoardClass::kFullSpeed, BoardClass::kHighSpeed),
                         [](const ::testing::TestParamInfo<BoardClass>& info) {
                           return info.param == BoardClass::kFullSpeed ? "FullSpeed" : "HighSpeed";
                         });

}  // namespace
}  // namespace kestrova::emulator
