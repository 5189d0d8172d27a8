#include "definition/numbers.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kestrova::definition {
namespace {

// One to eight hex digits of either case, nothing else; eight wrap into the
// signed 32-bit range.
TEST(Numbers, HexIsOneToEightDigitsAndNothingElse) {
  const std::pair<const char*, std::optional<std::int32_t>> cases[] = {
      {"0", 0},
      {"1f", 0x1F},
      {"FFFF", 0xFFFF},
      {"400", 1024},
      {"7FFFFFFF", 0x7FFFFFFF},
      {"FFFFFFFF", -1},
      {"00000000A", {}},
      {"", {}},
      {" 1", {}},
      {"1 ", {}},
      {"0x1F", {}},
      {"&H1F", {}},
      {"-1", {}},
      {"+1", {}},
      {"1G", {}},
      {"1:2", {}},
      {"1.0", {}},
  };
  for (const auto& [text, value] : cases) {
    EXPECT_EQ(ParseHex(text), value) << text;
    EXPECT_EQ(IsHexText(text), value.has_value()) << text;
    EXPECT_EQ(HexToLong(text), value.value_or(0)) << text;
  }
  const std::pair<std::uint32_t, const char*> texts[] = {
      {0, "0"}, {0x0A, "A"}, {0x1F, "1F"}, {0xFFFFFFFFu, "FFFFFFFF"}};
  for (const auto& [value, text] : texts) {
    EXPECT_EQ(HexText(value), text);
  }
  EXPECT_EQ(Hex2(0), "00");
  EXPECT_EQ(Hex2(10), "0A");
  EXPECT_EQ(Hex2(0x1F), "1F");
  EXPECT_EQ(Hex2(0x100), "100");
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
  }
  EXPECT_TRUE(HasLeadingNumber(" -2x"));
  EXPECT_FALSE(HasLeadingNumber("x2"));
  EXPECT_FALSE(HasLeadingNumber("-."));
  const std::pair<const char*, std::optional<std::int64_t>> integers[] = {
      {"1000", 1000}, {" -1 ", -1}, {"+5", 5},   {"", {}},
      {"-", {}},      {"1.5", {}},  {"12a", {}}, {"99999999999999999999", {}},
  };
  for (const auto& [text, value] : integers) {
    EXPECT_EQ(ParseDecimalInteger(text), value) << text;
  }
  EXPECT_EQ(ParseDecimal("3.5"), 3.5);
  EXPECT_EQ(ParseDecimal(" 3 "), 3);
  EXPECT_EQ(ParseDecimal("3x"), std::nullopt);
  EXPECT_EQ(ParseDecimal(""), std::nullopt);
  EXPECT_EQ(UpperCase("ab:Cd\xE9"), "AB:CD\xE9");
  EXPECT_EQ(LowerCase("USB\xC9"), "usb\xC9");
}

}  // namespace
}  // namespace kestrova::definition
