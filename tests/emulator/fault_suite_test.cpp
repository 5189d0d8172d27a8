// The library's exports against the emulated board with faults injected by
// the board: a time-out or a reply of the wrong length at the first or a
// later packet of a multi-packet read (the library's tests fail each packet
// in turn), a disconnect in the middle of a read or write, failed firmware
// downloads. Each ends in the library's message for it, returns well
// within the transfer time-out, damages no file, and the next open and read
// work. (Faults on the way to the board are the library's own tests.)

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "emulator/emulator.hpp"
#include "emulator/register_chip.hpp"
#include "library_fixture.hpp"
#include "usb/usb_endpoint.hpp"

namespace kestrova::emulator {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint16_t kVendor = 0x0400;
constexpr std::uint16_t kProduct = 0x1100;
constexpr std::int16_t kChipAddress = 0x48;
// Every failing call must return well within the library's 10 s transfer
// time-out (the emulator answers a held request with an immediate time-out).
constexpr auto kNoHang = std::chrono::milliseconds(dravik::usb::kDefaultTimeoutMs);
// 150 registers: three read requests and responses (58, 58, 34), six write
// packets on I2C.
constexpr int kCount = 150;
constexpr const char* kNotReturned = "ReadDevice: Wrong number of bytes returned";
constexpr const char* kNotSent = "WriteDevice: Wrong number of bytes sent";

// The library's common set-up (its trace and sleeps), its board object over
// the emulated bench.
class FaultSuiteTest : public dravik::testing::LibraryTest,
                       public ::testing::WithParamInterface<BoardClass> {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    // The largest image: several download requests on either board class.
    imageBytes_.resize(8192);
    for (std::size_t i = 0; i < imageBytes_.size(); ++i) {
      imageBytes_[i] = static_cast<char>(i * 31 + 7);
    }
    testing::WriteBytes(firmware_, imageBytes_);
    testing::WriteBytes(folder / "board.bi2", imageBytes_);
    board_ = &bench_.AddBoard(GetParam(), {kVendor, kProduct});
    for (int a = 0; a < kCount; ++a) {
      const auto address = static_cast<std::uint16_t>(a);
      chip_->DefineField(address, address, 7, 0, static_cast<std::uint8_t>(a ^ 0x5A), true);
    }
    bench_.GetBuses()->I2c().Attach(kChipAddress, chip_);
    driverClass = &bench_.UsbClass();
    handle_ = Open();
  }

  void TearDown() override {
    LibraryTest::TearDown();
    // No file was damaged: the firmware image is as written and the trace
    // holds only whole lines.
    EXPECT_EQ(testing::ReadBytes(firmware_), imageBytes_);
    const std::string trace = testing::ReadBytes(folder / "trace");
    EXPECT_FALSE(trace.empty());
    EXPECT_EQ(trace.back(), '\n');
  }

  bool TryOpen(DeviceHandle* handle) {
    std::uint16_t vidPid[2] = {kVendor, kProduct};
    return OpenDevice(LINK_USB, "dravik", vidPid, 0, firmware_.c_str(), handle) == 1;
  }

  DeviceHandle Open() {
    DeviceHandle handle = -1;
    EXPECT_TRUE(TryOpen(&handle)) << LastError();
    return handle;
  }

  // Reads (or writes) registers 0..count-1 into (from) data.
  bool Transfer(bool write, int count, std::vector<std::uint8_t>& data) {
    std::vector<std::int16_t> registers(static_cast<std::size_t>(count));
    std::iota(registers.begin(), registers.end(), std::int16_t{0});
    std::int16_t size = static_cast<std::int16_t>(count);
    const bool ok = (write ? WriteDevice(handle_, 0, BUS_I2C, kChipAddress, registers.data(),
                                         data.data(), &size)
                           : ReadDevice(handle_, 0, BUS_I2C, kChipAddress, registers.data(),
                                        data.data(), &size)) == 1;
    EXPECT_EQ(size, count);
    return ok;
  }

  // The next read of all registers works and sees the chip as it is.
  void ExpectNextReadWorks() {
    std::vector<std::uint8_t> data(kCount);
    ASSERT_TRUE(Transfer(false, kCount, data)) << LastError();
    for (int i = 0; i < kCount; ++i) {
      EXPECT_EQ(data[static_cast<std::size_t>(i)], chip_->Byte(static_cast<std::uint16_t>(i)))
          << "register " << i;
    }
  }

  Emulator bench_;
  Board* board_ = nullptr;
  std::shared_ptr<RegisterChip> chip_ = std::make_shared<RegisterChip>("faults");
  DeviceHandle handle_ = -1;
  std::string firmware_ = folder / "board.bix";
  std::string imageBytes_;
};

// A board that drops off the bus, or whose firmware download fails, is
// without firmware: the old handle fails at once, and closing and opening
// again loads the image. Nothing is created or damaged by a failed open, and
// its device object stays with the caller, who closes it.
TEST_P(FaultSuiteTest, EveryFaultEndsInItsMessageAndTheNextOpenAndReadWork) {
  enum Call { kRead, kWrite, kOpen };
  struct Case {
    FaultKind kind;
    std::uint32_t at;  // the n-th event of its kind: bulk transfer, download request
    Call call;
    const char* message;
  };
  const Case cases[] = {
      {FaultKind::kTimeout, 1, kRead, kNotReturned},
      {FaultKind::kTimeout, 3, kRead, kNotReturned},
      {FaultKind::kShortResponse, 1, kRead, kNotReturned},
      {FaultKind::kLongResponse, 3, kRead, kNotReturned},
      {FaultKind::kNak, 1, kRead, kNotReturned},
      {FaultKind::kDisconnect, 1, kRead, kNotSent},
      {FaultKind::kDisconnect, 2, kRead, kNotReturned},
      {FaultKind::kDisconnect, 5, kRead, kNotSent},
      {FaultKind::kDisconnect, 3, kWrite, kNotSent},
      {FaultKind::kDownloadFailure, 2, kOpen, "OpenUSB: Code download failed"},
      {FaultKind::kResetFailure, 1, kOpen, "OpenUSB: 8051 reset failed"},
      // The image went in, but the CPU never left reset.
      {FaultKind::kResetFailure, 2, kOpen,
       "OpenDevice: Board did not come back after firmware download"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(FaultName(c.kind)) + "@" + std::to_string(c.at) + " call " +
                 std::to_string(c.call));
    if (c.call == kOpen) {
      EXPECT_EQ(CloseDevice(handle_), 1);
      board_->Unplug();
      board_->Replug();
    }
    board_->Faults().Arm(c.kind, c.at);
    std::vector<std::uint8_t> data(kCount, 0xEE);
    const auto start = Clock::now();
    EXPECT_FALSE(c.call == kOpen ? TryOpen(&handle_) : Transfer(c.call == kWrite, kCount, data));
    EXPECT_LT(Clock::now() - start, kNoHang);
    EXPECT_EQ(LastError(), c.message);
    EXPECT_EQ(data, std::vector<std::uint8_t>(kCount, 0xEE)) << "buffer untouched";
    EXPECT_EQ(board_->Faults().Pending(c.kind), 0u);
    if (c.kind == FaultKind::kDisconnect || c.call == kOpen) {
      EXPECT_FALSE(board_->FirmwareRunning());
      EXPECT_TRUE(c.call == kOpen || !Transfer(false, 1, data)) << "the old handle fails";
      EXPECT_EQ(CloseDevice(handle_), 1);
      const std::uint32_t boots = board_->Boots();
      handle_ = Open();
      EXPECT_EQ(board_->Boots(), boots + 1);
    }
    ExpectNextReadWorks();
  }
}

INSTANTIATE_TEST_SUITE_P(BothBoardClasses, FaultSuiteTest,
                         ::testing::Values(BoardClass::kFullSpeed, BoardClass::kHighSpeed));

}  // namespace
}  // namespace kestrova::emulator
