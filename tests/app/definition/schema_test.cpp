// The numbers of definition files and the attributes built from them.
#include "definition/schema.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "definition/numbers.hpp"

namespace kestrova::definition {
namespace {

// One to eight hex digits of either case, nothing else; eight wrap into the
// signed 32-bit range. Written back in upper case, Hex2 with two digits at least.
TEST(Numbers, HexIsOneToEightDigitsAndNothingElse) {
  const std::pair<const char*, std::optional<std::int32_t>> hex[] = {
      {"0", 0},         {"1f", 0x1F}, {"400", 1024}, {"7FFFFFFF", 0x7FFFFFFF},
      {"FFFFFFFF", -1}, {"", {}},     {" 1", {}},    {"1 ", {}},
      {"0x1F", {}},     {"&H1F", {}}, {"-1", {}},    {"+1", {}},
      {"1G", {}},       {"1:2", {}},  {"1.0", {}},   {"00000000A", {}},
  };
  for (const auto& [text, value] : hex) {
    EXPECT_EQ(ParseHex(text), value) << text;
    EXPECT_EQ(IsHexText(text), value.has_value()) << text;
    EXPECT_EQ(HexToLong(text), value.value_or(0)) << text;
  }
  EXPECT_EQ(HexText(0) + " " + HexText(0x1F) + " " + HexText(0xFFFFFFFFu), "0 1F FFFFFFFF");
  EXPECT_EQ(Hex2(0) + " " + Hex2(10) + " " + Hex2(0x1F) + " " + Hex2(0x100), "00 0A 1F 100");
}

// Leading numbers read spaces, sign, digits and fraction and ignore the
// rest, exactly as written; whole numbers must be the whole text.
TEST(Numbers, LeadingAndWholeNumbers) {
  const std::pair<const char*, double> leading[] = {
      {"7", 7},       {"  15abc", 15}, {"-128", -128}, {"+3", 3},    {"127.5", 127.5},
      {"-.5x", -0.5}, {"5.", 5},       {"1e3", 1},     {"0.3", 0.3}, {"1,5", 1},
      {"", 0},        {"abc", 0},      {"-", 0},       {".", 0},
  };
  for (const auto& [text, value] : leading) {
    EXPECT_EQ(LeadingNumber(text), value) << text;
    EXPECT_EQ(HasLeadingNumber(text), value != 0 || *text == '0') << text;
  }
  EXPECT_FALSE(HasLeadingNumber("-."));
  const std::pair<const char*, std::optional<std::int64_t>> integers[] = {
      {"1000", 1000}, {" -1 ", -1}, {"+5", 5},   {"", {}},
      {"-", {}},      {"1.5", {}},  {"12a", {}}, {"99999999999999999999", {}},
  };
  for (const auto& [text, value] : integers) {
    EXPECT_EQ(ParseDecimalInteger(text), value) << text;
  }
  EXPECT_EQ(ParseDecimal(" 3.5 "), 3.5);
  EXPECT_EQ(ParseDecimal("3x"), std::nullopt);
  EXPECT_EQ(ParseDecimal(""), std::nullopt);
  EXPECT_EQ(UpperCase("ab:Cd\xE9") + LowerCase("USB\xC9"), "AB:CD\xE9usb\xC9");
}

// A store whose line 2 is `tag`, with the cursor on it.
class SchemaTest : public ::testing::Test {
 protected:
  void On(const std::string& tag) {
    ASSERT_TRUE(store.LoadMarkupText("<definition>\n" + tag + "\n</definition>\n"));
    store.SetXmlFileIndex(2);
  }
  markup::MarkupStore store;
};

// Pairs split at the first colon after upper-casing; bit numbers out of
// range of the readers stay in range.
TEST_F(SchemaTest, PairsSplitAtTheFirstColonAfterUpperCasing) {
  On("<bitfield addr=\"10:9a\" bit=\"7:4\" input=\"-128:127.5\" display=\"3\" other=\"a:b:c\" "
     "wide=\"99999999999:-99999999999\" />");
  const AddressPair addr = ReadAddressPair(store);
  EXPECT_EQ(addr.read + " " + addr.write, "10 9A");
  const BitRange bit = ReadBitRange(store, "bit");
  const BitRange wide = ReadBitRange(store, "wide");
  EXPECT_EQ(std::to_string(bit.high) + ":" + std::to_string(bit.low) + " " +
                std::to_string(wide.high) + ":" + std::to_string(wide.low),
            "7:4 32767:-32768");
  const RealRange input = ReadRealRange(store, "input");
  const RealRange display = ReadRealRange(store, "display");
  EXPECT_TRUE(input.present);
  EXPECT_EQ(std::vector<double>({input.first, input.second, display.first, display.second}),
            std::vector<double>({-128, 127.5, 3, 3}));
  EXPECT_FALSE(ReadRealRange(store, "missing").present);
  const TextPair other = SplitPair(store, "other");
  EXPECT_EQ(other.first + " " + other.second, "A B:C");
  On("<bitfield addr=\"2a\" />");
  EXPECT_EQ(ReadAddressPair(store).write, "2A");  // one address reads and writes
}

// What the readers make of one element: a bit field's access, visibility and
// regbit kind (absent 0, none 1, a range 2); a register's usb, verify, log
// and writeonce flags, group mask and text box; a driver entry's type,
// driver, vid, pid and port ("-" when absent).
std::string Read(markup::MarkupStore& store, std::string_view tag) {
  const auto number = [](std::optional<std::int32_t> n) { return n ? std::to_string(*n) : "-"; };
  if (tag.starts_with("<bitfield")) {
    const BitfieldInfo info = ReadBitfield(store);
    EXPECT_FALSE(info.checkValue.has_value());
    return std::string(AccessText(info.access)) + " " + std::to_string(info.visible) + " " +
           std::to_string(static_cast<int>(info.regBit.kind));
  }
  if (tag.starts_with("<register")) {
    const RegisterInfo info = ReadRegister(store);
    return std::to_string(info.usb) + std::to_string(info.verify) + std::to_string(info.log) +
           std::to_string(info.writeOnce) + " " + std::to_string(info.groupAddrMask) + " " +
           std::to_string(info.textbox == RegisterTextbox::kTrue);
  }
  const DriverEntry e = ReadDriverEntry(store);
  return e.type + " " + e.driver + " " + number(e.vid) + " " + number(e.pid) + " " + number(e.port);
}

// Access is read/write unless `attr` says otherwise; only the exact text
// "false" hides; regbit is absent, "none" or a range. Register flags are
// exactly "true"; the group mask needs a group name and hex text. The driver
// defaults by type; the port only when numeric.
TEST_F(SchemaTest, ElementsReadWithTheirDefaults) {
  const std::pair<const char*, const char*> cases[] = {
      {"<bitfield addr=\"1\" bit=\"0\" value=\"0\" />", "R/W 1 0"},
      {"<bitfield attr=\"R\" regbit=\"none\" visible=\"true\" />", "R 1 1"},
      {"<bitfield attr=\"W\" visible=\"False\" regbit=\"3:0\" />", "W 1 2"},
      {"<bitfield visible=\"false\" />", "R/W 0 0"},
      {"<register usb=\"True\" verify=\"true\" log=\"yes\" writeonce=\"true\" "
       "groupaddrmask=\"0F\" />",
       "0101 255 0"},
      {"<register grouptabname=\"G\" groupaddrmask=\"0x0F\" textbox=\"true\" />", "0000 255 1"},
      {"<add type=\"USB\" label=\"Board\" vid=\"0400\" pid=\"c35a\" />", "usb dravik 1024 50010 -"},
      {"<add type=\"ich\" label=\"SMBus\" Part=\"3\" />", "ich dravik_i2c - - 3"},
      {"<add type=\"ich\" driver=\"/dev/i2c-7\" Part=\"x\" />", "ich /dev/i2c-7 - - -"},
      {"<add type=\"no\" />", "no  - - -"},
  };
  for (const auto& [tag, read] : cases) {
    On(tag);
    EXPECT_EQ(Read(store, tag), read) << tag;
  }
}

}  // namespace
}  // namespace kestrova::definition
