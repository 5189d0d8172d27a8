#include "definition/numbers.hpp"

#include <gtest/gtest.h>

#include <clocale>

namespace kestrova::definition {
namespace {

TEST(Hex, AcceptsOneToEightDigitsOfEitherCase) {
  EXPECT_EQ(ParseHex("0"), 0);
  EXPECT_EQ(ParseHex("1F"), 0x1F);
  EXPECT_EQ(ParseHex("1f"), 0x1F);
  EXPECT_EQ(ParseHex("FFFF"), 0xFFFF);
  EXPECT_EQ(ParseHex("7FFFFFFF"), 0x7FFFFFFF);
  EXPECT_EQ(ParseHex("FFFFFFFF"), -1);
  EXPECT_EQ(ParseHex("00000000A"), std::nullopt);  // nine digits
}

TEST(Hex, RefusesEverythingElse) {
  for (const char* text : {"", " 1", "1 ", "0x1F", "&H1F", "-1", "+1", "1G", "1:2", "1.0"}) {
    EXPECT_FALSE(IsHexText(text)) << text;
    EXPECT_EQ(HexToLong(text), 0) << text;
  }
  EXPECT_TRUE(IsHexText("ab"));
  EXPECT_EQ(HexToLong("400"), 1024);
}

TEST(Hex, TextIsUpperCaseWithoutOrWithTwoDigitPadding) {
  EXPECT_EQ(HexText(0), "0");
  EXPECT_EQ(HexText(0x0A), "A");
  EXPECT_EQ(HexText(0x1F), "1F");
  EXPECT_EQ(HexText(0xFFFF), "FFFF");
  EXPECT_EQ(HexText(0xFFFFFFFFu), "FFFFFFFF");
  EXPECT_EQ(Hex2(0), "00");
  EXPECT_EQ(Hex2(10), "0A");
  EXPECT_EQ(Hex2(0x1F), "1F");
  EXPECT_EQ(Hex2(0x100), "100");
}

TEST(LeadingNumbers, ReadSignDigitsAndFractionAndIgnoreTheRest) {
  EXPECT_EQ(LeadingNumber("7"), 7);
  EXPECT_EQ(LeadingNumber("  15abc"), 15);
  EXPECT_EQ(LeadingNumber("-128"), -128);
  EXPECT_EQ(LeadingNumber("+3"), 3);
  EXPECT_EQ(LeadingNumber("127.5"), 127.5);
  EXPECT_EQ(LeadingNumber("0.0625"), 0.0625);
  EXPECT_EQ(LeadingNumber("-.5x"), -0.5);
  EXPECT_EQ(LeadingNumber("5."), 5);
  EXPECT_EQ(LeadingNumber("1e3"), 1);
  EXPECT_EQ(LeadingNumber("0.3"), 0.3);  // exactly as written, not accumulated
  EXPECT_EQ(LeadingNumber(""), 0);
  EXPECT_EQ(LeadingNumber("abc"), 0);
  EXPECT_EQ(LeadingNumber("-"), 0);
  EXPECT_EQ(LeadingNumber("."), 0);
  EXPECT_TRUE(HasLeadingNumber(" -2x"));
  EXPECT_FALSE(HasLeadingNumber("x2"));
  EXPECT_FALSE(HasLeadingNumber("-."));
}

TEST(LeadingNumbers, IgnoreTheLocaleDecimalSeparator) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous != nullptr ? previous : "C";
  // A comma-decimal locale when the machine has one; the result must not change.
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  EXPECT_EQ(LeadingNumber("1.5"), 1.5);
  EXPECT_EQ(LeadingNumber("1,5"), 1);
  EXPECT_EQ(ParseDecimal("2.25"), 2.25);
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(WholeNumbers, DecimalIntegerMustBeTheWholeText) {
  EXPECT_EQ(ParseDecimalInteger("1000"), 1000);
  EXPECT_EQ(ParseDecimalInteger(" -1 "), -1);
  EXPECT_EQ(ParseDecimalInteger("+5"), 5);
  EXPECT_EQ(ParseDecimalInteger(""), std::nullopt);
  EXPECT_EQ(ParseDecimalInteger("-"), std::nullopt);
  EXPECT_EQ(ParseDecimalInteger("1.5"), std::nullopt);
  EXPECT_EQ(ParseDecimalInteger("12a"), std::nullopt);
  EXPECT_EQ(ParseDecimalInteger("99999999999999999999"), std::nullopt);
  EXPECT_EQ(ParseDecimal("3.5"), 3.5);
  EXPECT_EQ(ParseDecimal(" 3 "), 3);
  EXPECT_EQ(ParseDecimal("3x"), std::nullopt);
  EXPECT_EQ(ParseDecimal(""), std::nullopt);
}

TEST(Case, OnlyAsciiLettersChange) {
  EXPECT_EQ(UpperCase("ab:Cd\xE9"), "AB:CD\xE9");
  EXPECT_EQ(LowerCase("USB\xC9"), "usb\xC9");
}

}  // namespace
}  // namespace kestrova::definition
