#include "packet_trace.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "smbus/traced_driver.hpp"

namespace dravik {
namespace {

using ::testing::ElementsAre;

std::string Format(const TraceRecord& record) {
  setenv("TZ", "UTC", 1);
  tzset();
  static char line[kTraceLineCapacity];
  const timespec when{1796598508, 123456789};  // 2026-12-06 23:08:28.123456 UTC
  const size_t length = FormatTraceLine(line, sizeof line, record, when);
  return std::string(line, length);
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
  EXPECT_TRUE(line.starts_with("2026-12-06 23:08:28.123456 usb ep=0x86 in 4106/4106 [ab ab "));
  EXPECT_TRUE(line.ends_with(" ab ab ...] failed\n")) << line.substr(line.size() - 40);
  EXPECT_EQ(line.size(), 27 + std::string("usb ep=0x86 in 4106/4106 [").size() +
                             3 * kTraceMaxBytes - 1 + std::string(" ...] failed\n").size());
  char small[40];
  const size_t length = FormatTraceLine(small, sizeof small, record, timespec{0, 0});
  EXPECT_LT(length, sizeof small);
  EXPECT_EQ(small[length], '\0');
  // Both status words of a failed request.
  record.result = TraceResult::kStatus;
  record.byteCount = record.moved = 0;
  record.status = 0xC0000004;
  record.usbdStatus = 1;
  EXPECT_EQ(Format(record),
            "2026-12-06 23:08:28.123456 usb ep=0x86 in 0/4106 [] status=c0000004,00000001\n");
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

// SMBus blocks are traced as they came back; with the trace off (or its file
// not to be opened) nothing is written.
TEST(PacketTraceFileTest, TracesSmbusBlocksAsTheyCameBackWhileOn) {
  char path[] = "/tmp/dravik-trace-XXXXXX";
  close(mkstemp(path));
  SetTraceFileForTesting(path);
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
  SetTraceFileForTesting("/nonexistent-folder/trace.txt");
  EXPECT_FALSE(TraceEnabled());
  driver.Control(smbus::kIoctlRead, block, 4, &returned);  // not traced
  SetTraceFileForTesting(nullptr);
  EXPECT_FALSE(TraceEnabled());
  TraceTransfer(TraceRecord{});  // harmless

  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    lines.push_back(line.substr(27));
  }
  unlink(path);
  EXPECT_THAT(lines, ElementsAre("smbus code=0x226400 in 4/4 [48 00 01 19] ok",
                                 "smbus code=0x22a404 out 0/5 [48 00 01 19 60] failed"));
}

}  // namespace
}  // namespace dravik
