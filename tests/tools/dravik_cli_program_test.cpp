// The built dravik-cli program against the emulated board, through the shared
// library: what each command prints, its exit status and its error text. A
// real board keeps its firmware while powered: the emulated one keeps it
// between runs in its state file, so only the first run downloads it;
// --bare-board starts it bare again.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kestrova_cli/cli_fixture.hpp"

namespace {

// A temperature sensor with fixed bytes at 0x48, and a two-byte stream.
constexpr const char* kBench =
    "<definition>\n"
    " <chip device=\"demo\" bus=\"i2c\" addr=\"48\" follow=\"false\"/>\n"
    " <board class=\"highspeed\" vid=\"0400\" pid=\"1100\"/>\n"
    " <stream hex=\"A1 A2\" repeat=\"false\"/>\n"
    "</definition>\n";

const std::string kUsbJson =
    "{\"tool\":\"dravik-cli\",\"command\":\"read\",\"hardware\":{\"link\":\"usb\",\"inUse\":true,"
    "\"emulated\":true,\"vendorId\":1024,\"productId\":4352,\"id\":\"0400:1100\"},\"bus\":\"i2c\","
    "\"busType\":2,";
const std::string kNoAnswer = "ReadDevice: Wrong number of bytes returned";
const std::string kDumpHead =
    "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f\n"
    "00: 0c 04 28 05 2f 80 01 0a 32 64 02 00 00 00 00 4b\n"
    "10: 0f 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n";

struct Step {
  std::string arguments;
  int status;
  std::string out;  // "~" first: the output holds the rest
  std::string err;
};

TEST(DravikCliProgram, CommandsPrintTheirResultsAndExitStatus) {
  const kestrova::testing::TempFolder folder;
  ASSERT_FALSE(folder.path().empty());
  std::ofstream(folder / "bench.scn") << kBench;
  kestrova::cli::testing::CliOptions options;
  options.program = "dravik-cli";
  options.environment = {"DRAVIK_EMULATOR=1", "DRAVIK_EMULATOR_STATE=" + folder / "board",
                         "DRAVIK_EMULATOR_SCENARIO=" + folder / "bench.scn"};
  const std::string firmware = std::string("--firmware ") + KESTROVA_DATA_DIR + "/bix/dravik.bix";
  const Step steps[] = {
      {"read i2c 48 0x", 2, "",
       "dravik-cli: bad register '0x': not a hexadecimal number\nTry 'dravik-cli --help'.\n"},
      {"list --emulated", 0, "~Emulated board: 0400:1100, no firmware\n", ""},
      // Without a firmware image the blank emulated board cannot be used.
      {"open", 1, "", "dravik-cli: Error, CodeFileName is NULL\n"},
      {firmware + " open", 0, "USB board VID=0x0400 PID=0x1100 opened\n", ""},
      {"list --emulated", 0, "~Emulated board: 0400:1100, firmware running\n", ""},
      {"read i2c 48 1-3", 0, "0x01: 0x04\n0x02: 0x28\n0x03: 0x05\n", ""},
      // 16-bit registers are two bytes, high byte first.
      {"--width 16 read i2c 48 2", 0, "0x02: 0x2800\n", ""},
      {"--json read i2c 48 1 400", 0,
       kUsbJson + "\"address\":72,\"width\":8,\"registers\":[{\"register\":1,\"value\":4},"
                  "{\"register\":1024,\"value\":1}],\"ok\":true,\"errors\":[],\"warnings\":[]}\n",
       ""},
      {"write i2c 48 2=11 3=0x22", 0, "wrote 2 registers\n", ""},
      {"write i2c 48 2=11", 0, "wrote 1 register\n", ""},
      {"--width 16 --json write board 0 401=1234", 0,
       "~\"bus\":\"board\",\"busType\":0,\"address\":0,\"width\":16,\"written\":[{\"register\":"
       "1025,"
       "\"value\":4660}],\"ok\":true,",
       ""},
      {"read stream 30 10", 0, "0xa1 0xa2\n", ""},
      {"dump i2c 48", 0, "~" + kDumpHead + "20: 00", ""},
      {"--width 16 dump i2c 48", 0,
       "~       0    1    2    3    4    5    6    7    8    9    a    b    c    d    e    f\n"
       "00: 0c80 0400 2800 0500 2f80 8000 0100 0a00 3200 6400 0200 0000 0000 0000 0000 4b00\n",
       ""},
      {"--smbus dravik_i2c open", 0, "SMBus controller dravik_i2c opened\n", ""},
      {"--smbus dravik_i2c --json read smbus 48 1", 0,
       "~\"hardware\":{\"link\":\"ich\",\"inUse\":true,\"emulated\":true,\"adapter\":\"/dev/"
       "dravik_i2c0\"},\"bus\":\"smbus\",\"busType\":3,\"address\":72,\"width\":8,\"registers\":[{"
       "\"register\":1,\"value\":4}],\"ok\":true,",
       ""},
      // Failures: exit status 1 and the library's text.
      {"read i2c 50 0", 1, "", "dravik-cli: " + kNoAnswer + "\n"},
      {"dump i2c 50", 1, "", "dravik-cli: " + kNoAnswer + " (registers 0x00 to 0x0f)\n"},
      {"--json read i2c 50 0", 1,
       kUsbJson + "\"address\":80,\"width\":8,\"ok\":false,\"errors\":[\"" + kNoAnswer +
           "\"],\"warnings\":[]}\n",
       "dravik-cli: " + kNoAnswer + "\n"},
      {"write i2c 80 1=2", 1, "", "dravik-cli: WriteDevice: Device Address too large\n"},
      {"--help", 0, "~Usage: dravik-cli [OPTIONS] [COMMAND]\n", ""},
      {"write -h", 0, "~--verify", ""},
      {"--version", 0, "dravik-cli 0.1.0\n", ""},
      {"--bare-board --firmware /nonexistent/dravik.bix open", 1, "",
       "dravik-cli:  error opening firmware file\n"},
      {"list --emulated --bare-board", 0, "~Emulated board: 0400:1100, no firmware\n", ""},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.arguments);
    std::vector<std::string> arguments;
    std::istringstream words(step.arguments);
    for (std::string word; words >> word;) {
      arguments.push_back(word);
    }
    const kestrova::cli::testing::CliRun run = kestrova::cli::testing::RunCli(arguments, options);
    EXPECT_EQ(run.status, step.status);
    if (step.out.starts_with("~")) {
      EXPECT_NE(run.out.find(step.out.substr(1)), std::string::npos) << run.out;
    } else {
      EXPECT_EQ(run.out, step.out);
    }
    EXPECT_EQ(run.err, step.err);
  }
}

}  // namespace
