// Whole dravik-cli sessions in-process over the fake device layer: the bytes
// sent, the text and JSON printed, the exit status and error text.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "cli_run.hpp"
#include "drivers.hpp"
#include "library_fixture.hpp"
#include "smbus/smbus_driver.hpp"

namespace dravik::testing {
namespace {

struct Result {
  int status;
  std::string out;
  std::string err;
};

class CliRunTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    state->boards.push_back(RunningBoard(0x0400, 0x1234));
  }

  Result Cli(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "dravik-cli");
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
      argv.push_back(argument.data());
    }
    std::ostringstream out;
    std::ostringstream err;
    const int status = cli::Main(static_cast<int>(argv.size()), argv.data(), out, err);
    return {status, out.str(), err.str()};
  }
};

TEST_F(CliRunTest, ReadPrintsHexValues) {
  const Result result = Cli({"read", "i2c", "48", "0-2"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "0x00: 0x01\n0x01: 0x04\n0x02: 0x07\n");
  ASSERT_EQ(state->sent.size(), 1u);
  EXPECT_EQ(Hex(state->sent[0]), "00 02 04 48 00 01 02 03");
  EXPECT_TRUE(state->destroyed);  // closed at the end
}

TEST_F(CliRunTest, SixteenBitRegistersAreTwoEntriesHighByteFirst) {
  const Result result = Cli({"--width", "16", "read", "i2c", "48", "5"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(Hex(state->sent[0]), "00 02 03 48 05 05 02");
  EXPECT_EQ(result.out, "0x05: 0x1010\n");
}

TEST_F(CliRunTest, JsonRead) {
  const Result result = Cli({"--json", "read", "i2c", "48", "1", "400"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out,
            "{\"tool\":\"dravik-cli\",\"command\":\"read\",\"hardware\":{\"link\":\"usb\","
            "\"inUse\":true,\"emulated\":false,\"vendorId\":1024,\"productId\":4660,\"id\":"
            "\"0400:1234\"},\"bus\":\"i2c\",\"busType\":2,\"address\":72,\"width\":8,"
            "\"registers\":[{\"register\":1,\"value\":4},{\"register\":1024,\"value\":94}],"
            "\"ok\":true,\"errors\":[],\"warnings\":[]}\n");
}

TEST_F(CliRunTest, WriteSendsTheValues) {
  Result result = Cli({"write", "i2c", "48", "10=aa", "11=0xBB"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "wrote 2 registers\n");
  EXPECT_EQ(Cli({"write", "i2c", "48", "10=aa"}).out, "wrote 1 register\n");
  EXPECT_EQ(Hex(state->sent[0]), "01 02 03 48 10 11 02 AA BB");
  state->sent.clear();
  result = Cli({"--width", "16", "--json", "write", "board", "0", "401=1234"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(Hex(state->sent[0]), "01 00 05 00 04 01 04 01 02 12 34");
  EXPECT_NE(result.out.find("\"bus\":\"board\",\"busType\":0,\"address\":0,\"width\":16,"
                            "\"written\":[{\"register\":1025,\"value\":4660}],\"ok\":true,"),
            std::string::npos)
      << result.out;
}

TEST_F(CliRunTest, DumpReadsRowByRow) {
  const Result result = Cli({"dump", "spi", "3"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(state->sent.size(), 16u);
  std::istringstream lines(result.out);
  std::string header;
  std::string first;
  std::getline(lines, header);
  std::getline(lines, first);
  EXPECT_EQ(header, "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f");
  EXPECT_EQ(first, "00: 01 04 07 0a 0d 10 13 16 19 1c 1f 22 25 28 2b 2e");
  EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 17);
}

TEST_F(CliRunTest, SixteenBitDump) {
  const Result result = Cli({"--width", "16", "dump", "i2c", "48"});
  EXPECT_EQ(result.status, 0) << result.err;
  std::istringstream lines(result.out);
  std::string header;
  std::string first;
  std::getline(lines, header);
  std::getline(lines, first);
  EXPECT_EQ(header.substr(0, 13), "       0    1");
  EXPECT_EQ(first.substr(0, 13), "00: 0101 0404");
}

TEST_F(CliRunTest, LibraryFailureExitsOneWithItsText) {
  state->responseLengthDelta = -1;
  Result result = Cli({"read", "i2c", "48", "0"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "dravik-cli: ReadDevice: Wrong number of bytes returned\n");
  EXPECT_EQ(result.out, "");
  result = Cli({"--json", "read", "i2c", "48", "0"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find("\"ok\":false,\"errors\":[\"ReadDevice: Wrong number of bytes "
                            "returned\"],\"warnings\":[]}\n"),
            std::string::npos)
      << result.out;
  result = Cli({"dump", "i2c", "48"});
  EXPECT_EQ(result.err,
            "dravik-cli: ReadDevice: Wrong number of bytes returned (registers 0x00 to 0x0f)\n");
  result = Cli({"write", "i2c", "80", "1=2"});
  EXPECT_EQ(result.err, "dravik-cli: WriteDevice: Device Address too large\n");
}

TEST_F(CliRunTest, NoBoard) {
  state->boards.clear();
  const Result result = Cli({"open"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "dravik-cli: OpenDevice: Can't find board with this USB VID,PID\n");
}

TEST_F(CliRunTest, OpenReportsTheBoard) {
  const Result result = Cli({"open"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "USB board VID=0x0400 PID=0x1234 opened\n");
}

TEST_F(CliRunTest, FailedFirmwareLoadClosesTheBoard) {
  state->boards = {BlankBoard(0x0400, 0x1234)};
  const Result result = Cli({"--firmware", "/nonexistent/dravik.bix", "open"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "dravik-cli:  error opening firmware file\n");
  EXPECT_TRUE(state->destroyed);
}

TEST_F(CliRunTest, StreamPrintsTheBytesReturned) {
  state->responses.push_back(Bytes{3, 0xA1, 0xA2, 0, 0, 0, 0, 0, 0, 0});
  const Result result = Cli({"read", "stream", "30", "10"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "0xa1 0xa2\n");
  EXPECT_EQ(Hex(state->sent[0]), "00 05 00 0A");
}

TEST_F(CliRunTest, UsageErrorsAndHelp) {
  Result result = Cli({"read", "i2c", "48", "zz"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err,
            "dravik-cli: bad register 'zz': not a hexadecimal number\nTry 'dravik-cli --help'.\n");
  EXPECT_TRUE(state->calls.empty());  // nothing opened
  result = Cli({"--help"});
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.out.find("Usage: dravik-cli [OPTIONS] [COMMAND]"), std::string::npos);
  result = Cli({"write", "-h"});
  EXPECT_NE(result.out.find("--verify"), std::string::npos) << result.out;
  result = Cli({"--version"});
  EXPECT_EQ(result.out, "dravik-cli 0.1.0\n");
}

class RecordingSmbus : public smbus::Driver {
 public:
  explicit RecordingSmbus(std::vector<Bytes>* blocks) : blocks_(blocks) {}
  bool Control(uint32_t, uint8_t* block, uint32_t length, uint32_t* returned) override {
    blocks_->emplace_back(block, block + length);
    for (uint32_t i = 3; i < length; ++i) {
      block[i] = static_cast<uint8_t>(0x80 + i);
    }
    *returned = length;
    return true;
  }

 private:
  std::vector<Bytes>* blocks_;
};

TEST_F(CliRunTest, SmbusController) {
  const std::string lock =
      (std::filesystem::temp_directory_path() / ("dravik-cli-lock-" + std::to_string(::getpid())))
          .string();
  ::setenv("DRAVIK_SMBUS_LOCK", lock.c_str(), 1);
  std::vector<std::string> paths;
  std::vector<Bytes> blocks;
  SetSmbusOpenerForTesting([&](const char* path) -> std::unique_ptr<smbus::Driver> {
    paths.push_back(path);
    return std::make_unique<RecordingSmbus>(&blocks);
  });
  Result result =
      Cli({"--smbus", "/dev/i2c-3", "--port", "1", "--json", "read", "smbus", "4c", "0", "1"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(paths, (std::vector<std::string>{"/dev/i2c-3"}));
  EXPECT_EQ(Hex(blocks[0]), "4C 01 02 00 01");
  EXPECT_NE(
      result.out.find("\"hardware\":{\"link\":\"ich\",\"inUse\":true,\"emulated\":false,"
                      "\"adapter\":\"/dev/i2c-3\"},\"bus\":\"smbus\",\"busType\":3,\"address\":76,"
                      "\"width\":8,\"registers\":[{\"register\":0,\"value\":131},{\"register\":1,"
                      "\"value\":132}],\"ok\":true,"),
      std::string::npos)
      << result.out;
  result = Cli({"--smbus", "", "open"});
  EXPECT_EQ(result.out, "SMBus controller i2c- opened\n");
  EXPECT_EQ(paths.back(), "/dev/i2c-0");
  // The board's bus types are not carried by the controller.
  result = Cli({"--smbus", "", "read", "i2c", "48", "0"});
  EXPECT_EQ(result.err, "dravik-cli: WriteDevice: Unrecongized Type\n");
  ::unsetenv("DRAVIK_SMBUS_LOCK");
  std::filesystem::remove(lock);
}

}  // namespace
}  // namespace dravik::testing
