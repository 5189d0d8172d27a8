// dravik-cli: its strict parsing (numbers, options, commands, ranges,
// widths) in-process, and the built program run as a user runs it.
#include <gtest/gtest.h>

#include "cli_options.hpp"
#include "kestrova_cli/cli_fixture.hpp"

namespace dravik::cli {
namespace {

using namespace kestrova::cli::testing;  // the program run and checked as kestrova-cli is

// The parse the program runs: with nothing written it goes on to run with the
// options returned; else it stops with status 2 and the `refusal` and a hint
// on stderr.
Options Parse(std::vector<const char*> arguments, const std::string& refusal = "") {
  arguments.insert(arguments.begin(), "dravik-cli");
  Options options;
  std::ostringstream written;  // stdout and stderr
  EXPECT_EQ(ParseCommandLine(static_cast<int>(arguments.size()), arguments.data(), options, written,
                             written),
            refusal.empty() ? std::nullopt : std::optional(2));
  EXPECT_EQ(written.str(),
            refusal.empty() ? "" : "dravik-cli: " + refusal + "\nTry 'dravik-cli --help'.\n");
  return options;
}

// What the program's runs (here and in the kernel rig) do not show already:
// options anywhere, bus names in any case, bare bus codes named in hex.
TEST(ParseCommandLine, TakesCommandsBusesRegistersAndOptionsAnywhere) {
  const Options options = Parse({"--pid", "0x1100", "write", "--verify", "--width", "16", "spi",
                                 "c8", "3=beef", "--port", "2"});
  EXPECT_EQ(options.action, Action::kWrite);
  EXPECT_EQ(options.busType, 7);
  EXPECT_EQ(options.productId, 0x1100);
  EXPECT_TRUE(options.verify);
  EXPECT_EQ(options.port, 2);
  EXPECT_EQ(Parse({"dump", "SingleWire", "3"}).busType, 4);
  EXPECT_EQ(Parse({"read", "ff", "0", "0"}).busName, "qx3test");
  EXPECT_EQ(Parse({"read", "0x9", "0", "0"}).busName, "0x09");
  EXPECT_EQ(Parse({"read", "board", "0", "ffff"}).registers, (std::vector<uint16_t>{0xFFFF}));
  EXPECT_EQ(Parse({"scan"}).action, Action::kList);
}

// Numbers are strict: hexadecimal but for the stream's decimal byte count.
TEST(ParseCommandLine, RefusesMalformedInputWithTheReason) {
  struct Case {
    std::vector<const char*> arguments;
    const char* error;  // "": taken
  };
  const Case cases[] = {
      {{}, "no command given (list, open, read, write or dump)"},
      {{"peek"}, "The following argument was not expected: peek"},
      {{"--vid", "10000", "open"}, "bad vendor ID '10000': above 0xffff"},
      {{"read", "i2c"}, "ADDRESS is required"},
      {{"read", "i2c", "48"}, "read needs at least one register"},
      {{"read", "usb", "48", "0"},
       "bad bus type 'usb': not a bus name (board, microwire, i2c, smbus, singlewire, stream, "
       "microwire4, spi, qx3test) or a hexadecimal code up to 0xff"},
      {{"read", "i2c", "8000", "0"}, "bad device address '8000': above 0x7fff"},
      {{"read", "i2c", "", "0"}, "bad device address '': not a hexadecimal number"},
      {{"read", "i2c", "48", "1g"}, "bad register '1g': not a hexadecimal number"},
      {{"read", "i2c", "48", "fffffffffffffffff"},
       "bad register 'fffffffffffffffff': above 0xffff"},
      {{"read", "i2c", "48", "5-3"}, "bad register range '5-3': last register below the first"},
      {{"read", "board", "0", "0-ffff", "0-ffff"},
       "bad register list '0-ffff': more than 32767 registers"},
      {{"read", "stream", "48"}, "read stream needs one byte count"},
      {{"read", "stream", "48", "1"}, ""},
      {{"read", "stream", "48", "1024"}, ""},
      {{"read", "stream", "48", "0"}, "bad byte count '0': outside 1..1024"},
      {{"read", "stream", "48", "1025"}, "bad byte count '1025': outside 1..1024"},
      {{"read", "stream", "48", "0x10"}, "bad byte count '0x10': not a decimal number"},
      {{"read", "stream", "48", ""}, "bad byte count '': not a decimal number"},
      {{"read", "stream", "48", "99999999999"}, "bad byte count '99999999999': above 1024"},
      {{"write", "i2c", "48", "5"}, "bad write '5': expected REGISTER=VALUE"},
      {{"write", "i2c", "48", "5=100"}, "bad value '100': above 0xff"},
      {{"write", "i2c", "48"}, "write needs at least one REGISTER=VALUE"},
      {{"--width", "12", "dump", "i2c", "48"}, "bad width '12': must be 8 or 16"},
      {{"dump", "i2c", "48", "0"}, "The following argument was not expected: 0"},
      {{"--driver", "", "open"}, "bad driver name '': empty"},
  };
  for (const Case& c : cases) {
    Parse(c.arguments, c.error);
  }
}

const std::string kNoAnswer = "ReadDevice: Wrong number of bytes returned";

// The built program against the emulated board, through the shared library:
// what each command prints, its exit status and its error text. A real board
// keeps its firmware while powered: the emulated one keeps it between runs in
// its state file, so only the first run downloads it; --bare-board starts it
// bare again. Reads, writes, dumps and lists over the kernel's USB and SMBus
// stacks run in the kernel rig; here what it cannot show: the emulated
// board's state, both widths, streams and failures (an absent chip's read
// fails there too).
TEST(DravikCliProgram, CommandsPrintTheirResultsAndExitStatus) {
  const kestrova::testing::TempFolder folder;
  kestrova::testing::WriteBytes(folder / "bench.scn", kBench);
  CliOptions options;
  options.program = "dravik-cli";
  options.environment = {"DRAVIK_EMULATOR=1", "DRAVIK_EMULATOR_STATE=" + folder / "board",
                         "DRAVIK_EMULATOR_SCENARIO=" + folder / "bench.scn"};
  const std::string firmware = std::string(KESTROVA_DATA_DIR) + "/bix/dravik.bix";
  const CliCase cases[] = {
      // Without a firmware image the blank emulated board cannot be used.
      {{"open"}, 1, "", "dravik-cli: Error, CodeFileName is NULL\n"},
      {{"--firmware", firmware, "open"}, 0, "USB board VID=0x0400 PID=0x1100 opened\n"},
      {{"list", "--emulated"}, 0, "~Emulated board: 0400:1100, firmware running\n"},
      // 16-bit registers are two bytes, high byte first.
      {{"--width", "16", "read", "i2c", "48", "2"}, 0, "0x02: 0x2800\n"},
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
      // Failures: exit status 1 and the library's text.
      {{"dump", "i2c", "50"}, 1, "", "dravik-cli: " + kNoAnswer + " (registers 0x00 to 0x0f)\n"},
      {{"--json", "read", "i2c", "50", "0"},
       1,
       "{\"tool\":\"dravik-cli\",\"command\":\"read\",\"hardware\":{\"link\":\"usb\",\"inUse\":"
       "true,\"emulated\":true,\"vendorId\":1024,\"productId\":4352,\"id\":\"0400:1100\"},"
       "\"bus\":\"i2c\",\"busType\":2,\"address\":80,\"width\":8,\"ok\":false,\"errors\":[\"" +
           kNoAnswer + "\"],\"warnings\":[]}\n",
       "dravik-cli: " + kNoAnswer + "\n"},
      {{"write", "i2c", "80", "1=2"}, 1, "", "dravik-cli: WriteDevice: Device Address too large\n"},
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
}  // namespace dravik::cli
