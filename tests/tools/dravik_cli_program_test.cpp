// The built dravik-cli program against the emulated board, through the shared
// library: what each command prints, its exit status and its error text. A
// real board keeps its firmware while powered: the emulated one keeps it
// between runs in its state file, so only the first run downloads it;
// --bare-board starts it bare again. Reads, writes, dumps and lists over the
// kernel's USB and SMBus stacks run in the kernel rig; here what it cannot
// show: the emulated board's state, both widths, streams and failures.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "kestrova_cli/cli_fixture.hpp"

namespace kestrova::cli::testing {
namespace {

// A temperature sensor with fixed bytes at 0x48, and a two-byte stream.
constexpr const char* kBench =
    "<definition>\n"
    " <chip device=\"demo\" bus=\"i2c\" addr=\"48\" follow=\"false\"/>\n"
    " <board class=\"highspeed\" vid=\"0400\" pid=\"1100\"/>\n"
    " <stream hex=\"A1 A2\" repeat=\"false\"/>\n"
    "</definition>\n";

const std::string kNoAnswer = "ReadDevice: Wrong number of bytes returned";

TEST(DravikCliProgram, CommandsPrintTheirResultsAndExitStatus) {
  const kestrova::testing::TempFolder folder;
  ASSERT_FALSE(folder.path().empty());
  std::ofstream(folder / "bench.scn") << kBench;
  CliOptions options;
  options.program = "dravik-cli";
  options.environment = {"DRAVIK_EMULATOR=1", "DRAVIK_EMULATOR_STATE=" + folder / "board",
                         "DRAVIK_EMULATOR_SCENARIO=" + folder / "bench.scn"};
  const std::string firmware = std::string(KESTROVA_DATA_DIR) + "/bix/dravik.bix";
  const CliCase cases[] = {
      {{"list", "--emulated"}, 0, "~Emulated board: 0400:1100, no firmware\n"},
      // Without a firmware image the blank emulated board cannot be used.
      {{"open"}, 1, "", "dravik-cli: Error, CodeFileName is NULL\n"},
      {{"--firmware", firmware, "open"}, 0, "USB board VID=0x0400 PID=0x1100 opened\n"},
      {{"list", "--emulated"}, 0, "~Emulated board: 0400:1100, firmware running\n"},
      // 16-bit registers are two bytes, high byte first.
      {{"--width", "16", "read", "i2c", "48", "2"}, 0, "0x02: 0x2800\n"},
      {{"write", "i2c", "48", "2=11"}, 0, "wrote 1 register\n"},
      {{"--width", "16", "--json", "write", "board", "0", "401=1234"},
       0,
       "~\"bus\":\"board\",\"busType\":0,\"address\":0,\"width\":16,\"written\":[{\"register\":"
       "1025,\"value\":4660}],\"ok\":true,"},
      {{"read", "stream", "30", "10"}, 0, "0xa1 0xa2\n"},
      {{"dump", "i2c", "48"},
       0,
       "~     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f\n"
       "00: 0c 04 28 05 2f 80 01 0a 32 64 02 00 00 00 00 4b\n"
       "10: 0f 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n20: 00"},
      {{"--width", "16", "dump", "i2c", "48"},
       0,
       "~       0    1    2    3    4    5    6    7    8    9    a    b    c    d    e    f\n"
       "00: 0c80 0400 2800 0500 2f80 8000 0100 0a00 3200 6400 0200 0000 0000 0000 0000 4b00\n"},
      {{"--smbus", "dravik_i2c", "open"}, 0, "SMBus controller dravik_i2c opened\n"},
      // Failures: exit status 1 and the library's text.
      {{"read", "i2c", "50", "0"}, 1, "", "dravik-cli: " + kNoAnswer + "\n"},
      {{"dump", "i2c", "50"}, 1, "", "dravik-cli: " + kNoAnswer + " (registers 0x00 to 0x0f)\n"},
      {{"--json", "read", "i2c", "50", "0"},
       1,
       "{\"tool\":\"dravik-cli\",\"command\":\"read\",\"hardware\":{\"link\":\"usb\",\"inUse\":"
       "true,\"emulated\":true,\"vendorId\":1024,\"productId\":4352,\"id\":\"0400:1100\"},"
       "\"bus\":\"i2c\",\"busType\":2,\"address\":80,\"width\":8,\"ok\":false,\"errors\":[\"" +
           kNoAnswer + "\"],\"warnings\":[]}\n",
       "dravik-cli: " + kNoAnswer + "\n"},
      {{"write", "i2c", "80", "1=2"}, 1, "", "dravik-cli: WriteDevice: Device Address too large\n"},
      {{"--help"}, 0, "~Usage: dravik-cli [OPTIONS] [COMMAND]\n"},
      {{"write", "-h"}, 0, "~--verify"},
      {{"--version"}, 0, "dravik-cli 0.1.0\n"},
      {{"--bare-board", "--firmware", "/nonexistent/dravik.bix", "open"},
       1,
       "",
       "dravik-cli:  error opening firmware file\n"},
      {{"list", "--emulated", "--bare-board"}, 0, "~Emulated board: 0400:1100, no firmware\n"},
  };
  for (const CliCase& c : cases) {
    SCOPED_TRACE(c.arguments.back());
    ExpectRun(RunCli(c.arguments, options), c);
  }
}

}  // namespace
}  // namespace kestrova::cli::testing
