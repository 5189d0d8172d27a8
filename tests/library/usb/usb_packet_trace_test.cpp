#include "packet_trace.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "fake_board.hpp"
#include "smbus/traced_driver.hpp"
#include "usb/usb_device.hpp"

namespace dravik {
namespace {

using ::testing::ElementsAre;
using ::testing::MatchesRegex;
using usb::testing::ConfigBuilder;
using usb::testing::DeviceDescriptorBytes;
using usb::testing::FakeBoard;
using usb::testing::FakeDriverClass;
using usb::testing::ScriptedAnswer;

std::string Format(const TraceRecord& record) {
  setenv("TZ", "UTC", 1);
  tzset();
  static char line[kTraceLineCapacity];
  const timespec when{1796598508, 123456789};  // 2026-12-06 23:08:28.123456 UTC
  const size_t length = FormatTraceLine(line, sizeof line, record, when);
  return std::string(line, length);
}

TEST(PacketTraceFormatTest, WritesTimeLinkTargetDirectionCountBytesAndResult) {
  const uint8_t bytes[] = {0x00, 0x02, 0x04, 0x48, 0x00, 0x01, 0x02, 0x03};
  TraceRecord record;
  record.link = "usb";
  record.target = "ep=0x02";
  record.direction = "out";
  record.moved = 8;
  record.asked = 8;
  record.bytes = bytes;
  record.byteCount = 8;
  EXPECT_EQ(Format(record),
            "2026-12-06 23:08:28.123456 usb ep=0x02 out 8/8 [00 02 04 48 00 01 02 03] ok\n");
  record.result = TraceResult::kTimeout;
  record.byteCount = 0;
  record.moved = 0;
  EXPECT_EQ(Format(record), "2026-12-06 23:08:28.123456 usb ep=0x02 out 0/8 [] timeout\n");
  record.result = TraceResult::kStatus;
  record.status = 0xC0000004;
  record.usbdStatus = 1;
  EXPECT_EQ(Format(record),
            "2026-12-06 23:08:28.123456 usb ep=0x02 out 0/8 [] status=c0000004,00000001\n");
}

TEST(PacketTraceFormatTest, CutsTheBytesAfterTheLimitAndNeverOverrunsTheBuffer) {
  std::vector<uint8_t> bytes(kTraceMaxBytes + 10, 0xAB);
  TraceRecord record;
  record.target = "ep=0x86";
  record.direction = "in";
  record.moved = record.asked = static_cast<uint32_t>(bytes.size());
  record.bytes = bytes.data();
  record.byteCount = bytes.size();
  record.result = TraceResult::kFailed;
  const std::string line = Format(record);
  EXPECT_TRUE(line.ends_with(" ab ab ...] failed\n")) << line.substr(line.size() - 40);
  EXPECT_EQ(line.size(), 27 + std::string("usb ep=0x86 in 4106/4106 [").size() +
                             3 * kTraceMaxBytes - 1 + std::string(" ...] failed\n").size());
  char small[40];
  const size_t length = FormatTraceLine(small, sizeof small, record, timespec{0, 0});
  EXPECT_LT(length, sizeof small);
  EXPECT_EQ(small[length], '\0');
}

class PacketTraceFileTest : public ::testing::Test {
 protected:
  PacketTraceFileTest() {
    char name[] = "/tmp/dravik-trace-XXXXXX";
    const int fd = mkstemp(name);
    close(fd);
    path_ = name;
    SetTraceFileForTesting(path_.c_str());
  }
  ~PacketTraceFileTest() override {
    SetTraceFileForTesting(nullptr);
    unlink(path_.c_str());
  }

  // The lines written so far, without their time stamps.
  std::vector<std::string> Lines() const {
    std::ifstream file(path_);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(file, line)) {
      EXPECT_THAT(line, MatchesRegex("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8}\\.[0-9]{6} .*"));
      lines.push_back(line.substr(27));
    }
    return lines;
  }

  std::string path_;
};

TEST_F(PacketTraceFileTest, TracesEveryRequestOfABoardOpenedWhileTheTraceIsOnInItsForm) {
  FakeBoard board;
  board.deviceDescriptor = DeviceDescriptorBytes(0x0110, 0x0400, 0x1120, 0, 0, 1);
  board.configurations = {
      ConfigBuilder(1).Interface(0, 0, 2).Endpoint(0x02, 2, 64).Endpoint(0x86, 2, 64).Finish()};
  FakeDriverClass driverClass;
  driverClass.boards = {&board};
  usb::UsbDevice device(&driverClass);
  ASSERT_TRUE(device.Open(0));
  std::vector<std::string> lines = Lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.size(), board.requests.size());
  EXPECT_EQ(lines[0],
            "usb ep=0x00 setup=80.06.0100.0000.0012 in 18/18 "
            "[12 01 10 01 ff ff ff 40 00 04 20 11 01 00 00 00 00 01] ok");
  EXPECT_EQ(lines[1], "usb code=0x220010 in 1/1 [05] ok");

  const size_t before = lines.size();
  uint8_t packet[4] = {0, 2, 1, 0x48};
  int32_t length = 4;
  ASSERT_TRUE(device.EndpointAt(1)->XferData(packet, length));
  board.script.push_back(ScriptedAnswer{usb::IoResult::kTimeout, {}, -1, 0});
  uint8_t reply[2] = {};
  length = 2;
  EXPECT_FALSE(device.EndpointAt(2)->XferData(reply, length));
  board.script.push_back(ScriptedAnswer{usb::IoResult::kDone, {0x19, 0x80}, -1, 0});
  length = 2;
  ASSERT_TRUE(device.EndpointAt(2)->XferData(reply, length));
  lines = Lines();
  ASSERT_EQ(lines.size(), before + 4);
  EXPECT_THAT(std::vector<std::string>(lines.begin() + before, lines.end()),
              ElementsAre("usb ep=0x02 out 4/4 [00 02 01 48] ok", "usb ep=0x86 in 0/2 [] timeout",
                          "usb code=0x220044 out 1/1 [86] ok", "usb ep=0x86 in 2/2 [19 80] ok"));

  // An old driver: the buffered form, with its data and status words.
  board.driverVersion = 0;
  ASSERT_TRUE(device.Open(0));
  const size_t reopened = Lines().size();
  length = 3;
  board.script.push_back(ScriptedAnswer{usb::IoResult::kDone, {}, -1, 0xC0000004});
  EXPECT_FALSE(device.EndpointAt(1)->XferData(packet, length));
  board.script.push_back(ScriptedAnswer{usb::IoResult::kDone, {0x42}, -1, 0});
  length = 3;
  ASSERT_TRUE(device.EndpointAt(2)->XferData(packet, length));
  lines = Lines();
  EXPECT_THAT(std::vector<std::string>(lines.begin() + reopened, lines.end()),
              ElementsAre("usb ep=0x02 out 3/3 [00 02 01] status=c0000004,00000000",
                          "usb ep=0x86 in 1/3 [42] ok"));
}

class BlockDriver : public smbus::Driver {
 public:
  bool ok = true;
  bool Control(uint32_t, uint8_t* block, uint32_t length, uint32_t* returned) override {
    block[3] = 0x19;
    *returned = ok ? length : 0;
    return ok;
  }
};

TEST_F(PacketTraceFileTest, TracesSmbusBlocksAsTheyCameBack) {
  auto inner = std::make_unique<BlockDriver>();
  BlockDriver* raw = inner.get();
  smbus::TracedDriver driver(std::move(inner));
  uint8_t block[4] = {0x48, 0, 1, 0};
  uint32_t returned = 0;
  EXPECT_TRUE(driver.Control(smbus::kIoctlRead, block, 4, &returned));
  EXPECT_EQ(returned, 4u);
  raw->ok = false;
  uint8_t write[5] = {0x48, 0, 1, 1, 0x60};
  EXPECT_FALSE(driver.Control(smbus::kIoctlWrite, write, 5, &returned));
  EXPECT_THAT(Lines(), ElementsAre("smbus code=0x226400 in 4/4 [48 00 01 19] ok",
                                   "smbus code=0x22a404 out 0/5 [48 00 01 19 60] failed"));
}

TEST(PacketTraceOffTest, WritesNothingAndWrapsNothingWhenOff) {
  SetTraceFileForTesting(nullptr);
  EXPECT_FALSE(TraceEnabled());
  TraceRecord record;
  TraceTransfer(record);  // harmless
  SetTraceFileForTesting("/nonexistent-folder/trace.txt");
  EXPECT_FALSE(TraceEnabled());
  SetTraceFileForTesting(nullptr);
}

}  // namespace
}  // namespace dravik
