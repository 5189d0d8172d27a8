// dravik-cli's strict parsing: numbers, options, commands, ranges, widths.
#include <gtest/gtest.h>

#include "cli_options.hpp"
#include "number_text.hpp"

namespace dravik::cli {
namespace {

// The refusals below show more of these through the options that use them.
TEST(NumberText, WholeNumbersInRangeOnly) {
  struct Case {
    const char* text;
    bool hex;
    uint32_t maximum;
    const char* result;  // the value in decimal, or why it is refused
  };
  const Case cases[] = {
      {"0x1F", true, 0xFF, "31"},
      {"1f", true, 0xFF, "31"},
      {"0000ff", true, 0xFF, "255"},
      {"ffffffff", true, 0xFFFFFFFF, "4294967295"},
      {"123456789", true, 0xFFFFFFFF, "above 0xffffffff"},
      {"fffffffffffffffff", true, 0xFFFF, "above 0xffff"},
      {"", true, 0xFF, "not a hexadecimal number"},
      {"1g", true, 0xFF, "not a hexadecimal number"},
      {" 1", true, 0xFF, "not a hexadecimal number"},
      {"-1", true, 0xFF, "not a hexadecimal number"},
      {"+1", true, 0xFF, "not a hexadecimal number"},
      {"58", false, 1024, "58"},
      {"1024", false, 1024, "1024"},
      {"1", false, 1024, "1"},
      {"1025", false, 1024, "outside 1..1024"},
      {"0x10", false, 1024, "not a decimal number"},
      {"", false, 1024, "not a decimal number"},
      {"99999999999999999999", false, 1024, "above 1024"},
  };
  for (const Case& c : cases) {
    uint32_t value = 0;
    std::string error;
    const bool ok = c.hex ? ParseHex(c.text, c.maximum, &value, &error)
                          : ParseDecimal(c.text, 1, c.maximum, &value, &error);
    EXPECT_EQ(ok ? std::to_string(value) : error, c.result) << c.text;
  }
  EXPECT_EQ(FormatHex(0x5, 2), "0x05");
  EXPECT_EQ(FormatHex(0x1234, 2), "0x1234");
  EXPECT_EQ(FormatHex(0xAB, 4), "0x00ab");
}

// The parse the program runs: with nothing written it goes on to run with the
// options returned; else it stops with status 2 and `refusal` on stderr.
Options Parse(std::vector<const char*> arguments, const std::string& refusal = "") {
  arguments.insert(arguments.begin(), "dravik-cli");
  Options options;
  std::ostringstream written;  // stdout and stderr
  const std::optional<int> status = ParseCommandLine(static_cast<int>(arguments.size()),
                                                     arguments.data(), options, written, written);
  EXPECT_EQ(status, refusal.empty() ? std::nullopt : std::optional(2));
  EXPECT_EQ(written.str(), refusal);
  return options;
}

// What the program's runs on the emulated board do not show already.
TEST(ParseCommandLine, TakesCommandsBusesRegistersAndOptionsAnywhere) {
  Options options = Parse({"--json", "write", "--width", "16", "spi", "c8", "3=beef", "--smbus",
                           "/dev/i2c-4", "--port", "2", "--emulated"});
  EXPECT_EQ(options.action, Action::kWrite);
  EXPECT_EQ(options.busType, 7);
  EXPECT_EQ(options.registers, (std::vector<uint16_t>{3}));
  EXPECT_EQ(options.values, (std::vector<uint16_t>{0xBEEF}));
  EXPECT_EQ(options.smbusDevice, "/dev/i2c-4");
  EXPECT_EQ(options.port, 2);
  EXPECT_TRUE(options.emulated);

  options = Parse({"--pid", "0x1100", "--force-firmware", "--driver", "other", "open"});
  EXPECT_EQ(options.productId, 0x1100);
  EXPECT_TRUE(options.forceFirmware);
  EXPECT_EQ(options.usbDriverName, "other");

  EXPECT_EQ(Parse({"read", "i2c", "0x48", "0", "10-12"}).registers,
            (std::vector<uint16_t>{0, 0x10, 0x11, 0x12}));
  EXPECT_EQ(Parse({"dump", "SingleWire", "3"}).busType, 4);
  EXPECT_EQ(Parse({"read", "ff", "0", "0"}).busName, "qx3test");
  EXPECT_EQ(Parse({"read", "0x9", "0", "0"}).busName, "0x09");
  EXPECT_EQ(Parse({"read", "board", "0", "ffff"}).registers, (std::vector<uint16_t>{0xFFFF}));
  EXPECT_EQ(Parse({"scan"}).action, Action::kList);
  options = Parse({"write", "--verify", "i2c", "48", "1=2", "--force", "--board", "1-2.3"});
  EXPECT_TRUE(options.verify);
  EXPECT_TRUE(options.forceAddress);
  EXPECT_EQ(options.board, "1-2.3");
}

TEST(ParseCommandLine, RefusesMalformedInputWithTheReason) {
  struct Case {
    std::vector<const char*> arguments;
    const char* error;
  };
  const Case cases[] = {
      {{}, "no command given (list, open, read, write or dump)"},
      {{"peek"}, "The following argument was not expected: peek"},
      {{"--verbose", "open"}, "The following argument was not expected: --verbose"},
      {{"open", "--vid"}, "--vid: 1 required HEX missing"},
      {{"--vid", "10000", "open"}, "bad vendor ID '10000': above 0xffff"},
      {{"open", "extra"}, "The following argument was not expected: extra"},
      {{"read", "i2c"}, "ADDRESS is required"},
      {{"read", "i2c", "48"}, "read needs at least one register"},
      {{"read", "usb", "48", "0"},
       "bad bus type 'usb': not a bus name (board, microwire, i2c, smbus, singlewire, stream, "
       "microwire4, spi, qx3test) or a hexadecimal code up to 0xff"},
      {{"read", "100", "48", "0"},
       "bad bus type '100': not a bus name (board, microwire, i2c, smbus, singlewire, stream, "
       "microwire4, spi, qx3test) or a hexadecimal code up to 0xff"},
      {{"read", "i2c", "8000", "0"}, "bad device address '8000': above 0x7fff"},
      {{"read", "i2c", "48", "0x"}, "bad register '0x': not a hexadecimal number"},
      {{"read", "i2c", "48", "10000"}, "bad register '10000': above 0xffff"},
      {{"read", "i2c", "48", "5-3"}, "bad register range '5-3': last register below the first"},
      {{"read", "i2c", "48", "5-"}, "bad register range '5-': not a hexadecimal number"},
      {{"read", "board", "0", "0-ffff", "0-ffff"},
       "bad register list '0-ffff': more than 32767 registers"},
      {{"read", "stream", "48"}, "read stream needs one byte count"},
      {{"read", "stream", "48", "0"}, "bad byte count '0': outside 1..1024"},
      {{"write", "i2c", "48", "5"}, "bad write '5': expected REGISTER=VALUE"},
      {{"write", "i2c", "48", "5=100"}, "bad value '100': above 0xff"},
      {{"write", "i2c", "48", "5=1x"}, "bad value '1x': not a hexadecimal number"},
      {{"write", "i2c", "48"}, "write needs at least one REGISTER=VALUE"},
      {{"--width", "12", "dump", "i2c", "48"}, "bad width '12': must be 8 or 16"},
      {{"dump", "i2c", "48", "0"}, "The following argument was not expected: 0"},
      {{"--driver", "", "open"}, "bad driver name '': empty"},
  };
  for (const Case& c : cases) {
    Parse(c.arguments, std::string("dravik-cli: ") + c.error + "\nTry 'dravik-cli --help'.\n");
  }
}

}  // namespace
}  // namespace dravik::cli
