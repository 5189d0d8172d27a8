#include "engine/decimal_text.hpp"

#include <gtest/gtest.h>

#include "engine/attribute_pair.hpp"

namespace kestrova::engine {
namespace {

TEST(LeadingNumber, ReadsSignDigitsAndFractionIgnoringTheRest) {
  EXPECT_DOUBLE_EQ(LeadingNumber("15"), 15);
  EXPECT_DOUBLE_EQ(LeadingNumber("-128"), -128);
  EXPECT_DOUBLE_EQ(LeadingNumber("+7"), 7);
  EXPECT_DOUBLE_EQ(LeadingNumber("127.5"), 127.5);
  EXPECT_DOUBLE_EQ(LeadingNumber(".5"), 0.5);
  EXPECT_DOUBLE_EQ(LeadingNumber("-.25"), -0.25);
  EXPECT_DOUBLE_EQ(LeadingNumber("5."), 5);
  EXPECT_DOUBLE_EQ(LeadingNumber("  12abc"), 12);
  EXPECT_DOUBLE_EQ(LeadingNumber("7 bits"), 7);
  EXPECT_DOUBLE_EQ(LeadingNumber("1.2.3"), 1.2);
  EXPECT_DOUBLE_EQ(LeadingNumber("1,5"), 1);  // never the locale's separator
  EXPECT_DOUBLE_EQ(LeadingNumber(""), 0);
  EXPECT_DOUBLE_EQ(LeadingNumber("-"), 0);
  EXPECT_DOUBLE_EQ(LeadingNumber("."), 0);
  EXPECT_DOUBLE_EQ(LeadingNumber("abc"), 0);
  EXPECT_DOUBLE_EQ(LeadingNumber("NONE"), 0);
}

TEST(DecimalText, WholeTextMustBeOneNumber) {
  EXPECT_TRUE(IsDecimalText("12"));
  EXPECT_TRUE(IsDecimalText("-0.5"));
  EXPECT_TRUE(IsDecimalText(".5"));
  EXPECT_TRUE(IsDecimalText(" 3 "));
  EXPECT_FALSE(IsDecimalText(""));
  EXPECT_FALSE(IsDecimalText("-"));
  EXPECT_FALSE(IsDecimalText("."));
  EXPECT_FALSE(IsDecimalText("1,5"));
  EXPECT_FALSE(IsDecimalText("1e3"));
  EXPECT_FALSE(IsDecimalText("12abc"));
}

TEST(AttributePair, SplitsAtTheFirstColonAfterUpperCasing) {
  const TextPair addr = SplitPairText("10:9a");
  EXPECT_EQ(addr.first, "10");
  EXPECT_EQ(addr.second, "9A");
  const TextPair single = SplitPairText("2a");
  EXPECT_EQ(single.first, "2A");
  EXPECT_EQ(single.second, "2A");
  const TextPair two = SplitPairText("1:2:3");
  EXPECT_EQ(two.first, "1");
  EXPECT_EQ(two.second, "2:3");
  const TextPair empty = SplitPairText("");
  EXPECT_EQ(empty.first, "");
  EXPECT_EQ(empty.second, "");
}

TEST(AttributePair, NumericHalvesUseTheLeadingNumber) {
  const NumberPair range = SplitNumberPair("-128:127");
  EXPECT_DOUBLE_EQ(range.first, -128);
  EXPECT_DOUBLE_EQ(range.second, 127);
  const NumberPair single = SplitNumberPair("5");
  EXPECT_DOUBLE_EQ(single.first, 5);
  EXPECT_DOUBLE_EQ(single.second, 5);
  const NumberPair lenient = SplitNumberPair("7x:4y");
  EXPECT_DOUBLE_EQ(lenient.first, 7);
  EXPECT_DOUBLE_EQ(lenient.second, 4);
  const NumberPair fraction = SplitNumberPair("0:127.5");
  EXPECT_DOUBLE_EQ(fraction.second, 127.5);
}

}  // namespace
}  // namespace kestrova::engine
