// dravik-cli's strict parsing: numbers, options, commands, ranges, widths.
#include <gtest/gtest.h>

#include "cli_options.hpp"
#include "number_text.hpp"

namespace dravik::cli {
namespace {

TEST(ParseHex, TakesWholeHexNumbersInRange) {
  uint32_t value = 0;
  std::string error;
  EXPECT_TRUE(ParseHex("0x1F", 0xFF, &value, &error));
  EXPECT_EQ(value, 0x1Fu);
  EXPECT_TRUE(ParseHex("1f", 0xFF, &value, &error));
  EXPECT_EQ(value, 0x1Fu);
  EXPECT_TRUE(ParseHex("0", 0xFF, &value, &error));
  EXPECT_EQ(value, 0u);
  EXPECT_TRUE(ParseHex("0000ff", 0xFF, &value, &error));
  EXPECT_EQ(value, 0xFFu);
  for (const char* bad : {"", "0x", "1g", " 1", "1 ", "-1", "+1", "1.0", "0x-1", "x1"}) {
    EXPECT_FALSE(ParseHex(bad, 0xFF, &value, &error)) << bad;
    EXPECT_EQ(error, "not a hexadecimal number") << bad;
  }
  EXPECT_FALSE(ParseHex("100", 0xFF, &value, &error));
  EXPECT_EQ(error, "above 0xff");
  EXPECT_FALSE(ParseHex("fffffffffffffffff", 0xFFFF, &value, &error));
  EXPECT_EQ(error, "above 0xffff");
}

TEST(ParseDecimal, TakesWholeDecimalNumbersInRange) {
  uint32_t value = 0;
  std::string error;
  EXPECT_TRUE(ParseDecimal("58", 1, 1024, &value, &error));
  EXPECT_EQ(value, 58u);
  EXPECT_FALSE(ParseDecimal("0", 1, 1024, &value, &error));
  EXPECT_EQ(error, "outside 1..1024");
  EXPECT_FALSE(ParseDecimal("1025", 1, 1024, &value, &error));
  EXPECT_FALSE(ParseDecimal("0x10", 1, 1024, &value, &error));
  EXPECT_EQ(error, "not a decimal number");
  EXPECT_FALSE(ParseDecimal("99999999999999999999", 1, 1024, &value, &error));
}

TEST(FormatHex, PadsToTheWidth) {
  EXPECT_EQ(FormatHex(0x5, 2), "0x05");
  EXPECT_EQ(FormatHex(0x1234, 2), "0x1234");
  EXPECT_EQ(FormatHex(0xAB, 4), "0x00ab");
}

Options Parse(std::vector<std::string> arguments) {
  Options options;
  std::string error;
  EXPECT_TRUE(ParseCommandLine(arguments, &options, &error)) << error;
  return options;
}

std::string ParseError(std::vector<std::string> arguments) {
  Options options;
  std::string error;
  EXPECT_FALSE(ParseCommandLine(arguments, &options, &error));
  return error;
}

TEST(ParseCommandLine, ReadWithRegistersAndRanges) {
  const Options options = Parse({"read", "i2c", "0x48", "0", "10-12", "400"});
  EXPECT_EQ(options.action, Action::kRead);
  EXPECT_EQ(options.busType, 2);
  EXPECT_EQ(options.deviceAddress, 0x48);
  EXPECT_EQ(options.registers, (std::vector<uint16_t>{0, 0x10, 0x11, 0x12, 0x400}));
  EXPECT_EQ(options.link, Link::kUsb);
  EXPECT_FALSE(options.json);
}

TEST(ParseCommandLine, OptionsAnywhere) {
  const Options options = Parse({"--json", "write", "--width", "16", "spi", "c8", "3=beef",
                                 "--smbus", "/dev/i2c-4", "--port", "2", "--emulated"});
  EXPECT_EQ(options.action, Action::kWrite);
  EXPECT_EQ(options.busType, 7);
  EXPECT_EQ(options.width, 16);
  EXPECT_EQ(options.values, (std::vector<uint16_t>{0xBEEF}));
  EXPECT_EQ(options.link, Link::kSmbus);
  EXPECT_EQ(options.smbusDevice, "/dev/i2c-4");
  EXPECT_EQ(options.port, 2);
  EXPECT_TRUE(options.emulated);
  EXPECT_TRUE(options.json);
}

TEST(ParseCommandLine, BusNamesAndCodes) {
  EXPECT_EQ(Parse({"dump", "SingleWire", "3"}).busType, 4);
  const Options code = Parse({"read", "ff", "0", "0"});
  EXPECT_EQ(code.busType, 255);
  EXPECT_EQ(code.busName, "qx3test");
  EXPECT_EQ(Parse({"read", "0x9", "0", "0"}).busName, "0x09");
  EXPECT_EQ(Parse({"read", "stream", "30", "100"}).streamCount, 100);
  EXPECT_EQ(Parse({"read", "board", "0", "ffff"}).registers, (std::vector<uint16_t>{0xFFFF}));
}

TEST(ParseCommandLine, UsbBoardOptions) {
  const Options options = Parse({"--vid", "0400", "--pid", "0x1100", "--firmware", "/x/d.bix",
                                 "--force-firmware", "--driver", "other", "open"});
  EXPECT_EQ(options.vendorId, 0x0400);
  EXPECT_EQ(options.productId, 0x1100);
  EXPECT_EQ(options.firmwarePath, "/x/d.bix");
  EXPECT_TRUE(options.forceFirmware);
  EXPECT_EQ(options.usbDriverName, "other");
  EXPECT_EQ(options.action, Action::kOpen);
}

TEST(ParseCommandLine, RefusesMalformedInputWithTheReason) {
  EXPECT_EQ(ParseError({}), "no command given (open, read, write or dump)");
  EXPECT_EQ(ParseError({"peek"}), "unknown command 'peek' (open, read, write or dump)");
  EXPECT_EQ(ParseError({"--verbose", "open"}), "unknown option '--verbose'");
  EXPECT_EQ(ParseError({"open", "--vid"}), "option '--vid' needs a value");
  EXPECT_EQ(ParseError({"--vid", "10000", "open"}), "bad vendor ID '10000': above 0xffff");
  EXPECT_EQ(ParseError({"open", "extra"}), "open takes no arguments");
  EXPECT_EQ(ParseError({"read", "i2c"}), "read needs a bus type and a device address");
  EXPECT_EQ(ParseError({"read", "i2c", "48"}), "read needs at least one register");
  EXPECT_EQ(ParseError({"read", "usb", "48", "0"}).rfind("bad bus type 'usb': not a bus name", 0),
            0u);
  EXPECT_EQ(ParseError({"read", "100", "48", "0"}).rfind("bad bus type '100'", 0), 0u);
  EXPECT_EQ(ParseError({"read", "i2c", "8000", "0"}), "bad device address '8000': above 0x7fff");
  EXPECT_EQ(ParseError({"read", "i2c", "48", "0x"}), "bad register '0x': not a hexadecimal number");
  EXPECT_EQ(ParseError({"read", "i2c", "48", "10000"}), "bad register '10000': above 0xffff");
  EXPECT_EQ(ParseError({"read", "i2c", "48", "5-3"}),
            "bad register range '5-3': last register below the first");
  EXPECT_EQ(ParseError({"read", "i2c", "48", "5-"}),
            "bad register range '5-': not a hexadecimal number");
  EXPECT_EQ(ParseError({"read", "stream", "48"}), "read stream needs one byte count");
  EXPECT_EQ(ParseError({"read", "stream", "48", "0"}), "bad byte count '0': outside 1..1024");
  EXPECT_EQ(ParseError({"write", "i2c", "48", "5"}), "bad write '5': expected REGISTER=VALUE");
  EXPECT_EQ(ParseError({"write", "i2c", "48", "5=100"}), "bad value '100': above 0xff");
  EXPECT_EQ(ParseError({"write", "i2c", "48", "5=1x"}), "bad value '1x': not a hexadecimal number");
  EXPECT_EQ(ParseError({"write", "i2c", "48"}), "write needs at least one REGISTER=VALUE");
  EXPECT_EQ(ParseError({"--width", "12", "dump", "i2c", "48"}), "bad width '12': must be 8 or 16");
  EXPECT_EQ(ParseError({"dump", "i2c", "48", "0"}),
            "dump takes only a bus type and a device address");
  EXPECT_EQ(ParseError({"--driver", "", "open"}), "bad driver name '': empty");
}

TEST(ParseCommandLine, HugeRangeIsRefusedNotTruncated) {
  const std::string error = ParseError({"read", "board", "0", "0-ffff", "0-ffff"});
  EXPECT_EQ(error, "bad register list '0-ffff': more than 32767 registers");
}

TEST(ParseCommandLine, HelpWins) {
  Options options;
  std::string error;
  EXPECT_TRUE(ParseCommandLine({"read", "--help"}, &options, &error));
  EXPECT_EQ(options.action, Action::kHelp);
}

}  // namespace
}  // namespace dravik::cli
