// Whole dravik-cli sessions in-process over the fake device layer: the bytes
// sent, the text and JSON printed, the exit status and error text.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
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

const std::string kUsbBoard =
    "\"hardware\":{\"link\":\"usb\",\"inUse\":true,\"emulated\":false,\"vendorId\":1024,"
    "\"productId\":4660,\"id\":\"0400:1234\"},";
const std::string kShortAnswer = "ReadDevice: Wrong number of bytes returned";

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

// Sessions that succeed: what they print and the first command packet sent.
TEST_F(CliRunTest, SessionsSendAndPrint) {
  const std::string json = "{\"tool\":\"dravik-cli\",\"command\":";
  const std::vector<std::tuple<std::vector<std::string>, std::string, std::string>> cases = {
      {{"read", "i2c", "48", "0-2"},
       "0x00: 0x01\n0x01: 0x04\n0x02: 0x07\n",
       "00 02 04 48 00 01 02 03"},
      // 16-bit registers are two entries, high byte first.
      {{"--width", "16", "read", "i2c", "48", "5"}, "0x05: 0x1010\n", "00 02 03 48 05 05 02"},
      {{"--json", "read", "i2c", "48", "1", "400"},
       json + "\"read\"," + kUsbBoard +
           "\"bus\":\"i2c\",\"busType\":2,\"address\":72,\"width\":8,\"registers\":[{\"register\":"
           "1,\"value\":4},{\"register\":1024,\"value\":94}],\"ok\":true,\"errors\":[],"
           "\"warnings\":[]}\n",
       "00 02 02 48 01 01"},
      {{"write", "i2c", "48", "10=aa", "11=0xBB"},
       "wrote 2 registers\n",
       "01 02 03 48 10 11 02 AA BB"},
      {{"write", "i2c", "48", "10=aa"}, "wrote 1 register\n", "01 02 02 48 10 01 AA"},
      {{"--width", "16", "--json", "write", "board", "0", "401=1234"},
       json + "\"write\"," + kUsbBoard +
           "\"bus\":\"board\",\"busType\":0,\"address\":0,\"width\":16,\"written\":[{\"register\":"
           "1025,\"value\":4660}],\"ok\":true,\"errors\":[],\"warnings\":[]}\n",
       "01 00 05 00 04 01 04 01 02 12 34"},
      {{"open"}, "USB board VID=0x0400 PID=0x1234 opened\n", ""},
      {{"--version"}, "dravik-cli 0.1.0\n", ""},
  };
  for (const auto& [arguments, out, sent] : cases) {
    SCOPED_TRACE(arguments.back());
    state->sent.clear();
    const Result result = Cli(arguments);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, out);
    EXPECT_EQ(state->sent.empty() ? "" : Hex(state->sent[0]), sent);
  }
  EXPECT_TRUE(state->destroyed);  // closed at the end
  // The stream bus: the bytes the board returned.
  state->responses.push_back(Bytes{3, 0xA1, 0xA2, 0, 0, 0, 0, 0, 0, 0});
  state->sent.clear();
  EXPECT_EQ(Cli({"read", "stream", "30", "10"}).out, "0xa1 0xa2\n");
  EXPECT_EQ(Hex(state->sent[0]), "00 05 00 0A");
}

// Failures exit 1 with the library's text, bad usage 2 before anything opens.
TEST_F(CliRunTest, FailuresSayWhy) {
  struct Case {
    std::vector<std::string> arguments;
    std::function<void(FakeState&)> setUp;
    int status;
    std::string err;
  };
  const auto shortAnswers = [](FakeState& s) { s.responseLengthDelta = -1; };
  const std::string failed = "dravik-cli: " + kShortAnswer;
  const Case cases[] = {
      {{"read", "i2c", "48", "0"}, shortAnswers, 1, failed + "\n"},
      {{"dump", "i2c", "48"}, shortAnswers, 1, failed + " (registers 0x00 to 0x0f)\n"},
      {{"write", "i2c", "80", "1=2"}, {}, 1, "dravik-cli: WriteDevice: Device Address too large\n"},
      {{"open"},
       [](FakeState& s) { s.boards.clear(); },
       1,
       "dravik-cli: OpenDevice: Can't find board with this USB VID,PID\n"},
      {{"--firmware", "/nonexistent/dravik.bix", "open"},
       [](FakeState& s) { s.boards = {BlankBoard(0x0400, 0x1234)}; },
       1,
       "dravik-cli:  error opening firmware file\n"},
      {{"read", "i2c", "48", "zz"},
       {},
       2,
       "dravik-cli: bad register 'zz': not a hexadecimal number\nTry 'dravik-cli --help'.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.back());
    *state = FakeState{};
    state->boards.push_back(RunningBoard(0x0400, 0x1234));
    if (c.setUp) {
      c.setUp(*state);
    }
    const Result result = Cli(c.arguments);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, c.err);
    // Closed after a failure too; a refused command line opens nothing.
    EXPECT_EQ(state->destroyed, c.status == 1);
    EXPECT_EQ(state->calls.empty(), c.status == 2);
  }
  state->responseLengthDelta = -1;
  EXPECT_NE(Cli({"--json", "read", "i2c", "48", "0"})
                .out.find("\"ok\":false,\"errors\":[\"" + kShortAnswer + "\"],\"warnings\":[]}\n"),
            std::string::npos);
}

TEST_F(CliRunTest, HelpNamesTheCommandsAndTheirOptions) {
  EXPECT_NE(Cli({"--help"}).out.find("Usage: dravik-cli [OPTIONS] [COMMAND]"), std::string::npos);
  EXPECT_NE(Cli({"write", "-h"}).out.find("--verify"), std::string::npos);
}

TEST_F(CliRunTest, DumpReadsRowByRowInEitherWidth) {
  Result result = Cli({"dump", "spi", "3"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(state->sent.size(), 16u);
  EXPECT_EQ(result.out.substr(0, 104),
            "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f\n"
            "00: 01 04 07 0a 0d 10 13 16 19 1c 1f 22 25 28 2b 2e\n");
  EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 17);
  result = Cli({"--width", "16", "dump", "i2c", "48"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out.substr(0, 13), "       0    1");
  EXPECT_EQ(result.out.substr(result.out.find('\n') + 1, 13), "00: 0101 0404");
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
