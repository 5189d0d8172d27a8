#include "engine/format_spec.hpp"

#include <gtest/gtest.h>

#include <limits>

#include "german_locale.hpp"

namespace kestrova::engine {
namespace {

FormatSpec Scaled(const char* format, double inMin, double inMax, double dispMin, double dispMax) {
  FormatSpec spec;
  spec.format = format;
  spec.inMin = inMin;
  spec.inMax = inMax;
  spec.dispMin = dispMin;
  spec.dispMax = dispMax;
  spec.limit = dispMax;
  NormaliseRange(spec);
  return spec;
}

TEST(FormatSpec, RawFormatsShowTheRawByte) {
  const FormatSpec hex = RawFormatSpec("hex");
  EXPECT_EQ(RawToDisplayText(hex, 5), "05h");
  EXPECT_EQ(RawToDisplayText(hex, 10), "0Ah");
  EXPECT_EQ(RawToDisplayText(hex, 255), "FFh");
  EXPECT_EQ(RawToDisplayText(hex, 300), "2Ch");  // one span back, as for signed ranges
  EXPECT_EQ(RawToDisplayText(hex, 600), "FFh");  // then limited
  const FormatSpec dec = RawFormatSpec("dec");
  EXPECT_EQ(RawToDisplayText(dec, 200), "200");
  EXPECT_EQ(DisplayTextToRaw(dec, "200"), 200);
  EXPECT_EQ(DisplayTextToRaw(dec, "999"), 255);
  EXPECT_TRUE(IsRawFormat("hex"));
  EXPECT_FALSE(IsRawFormat("HEX"));
}

TEST(FormatSpec, SignedRangeWrapsUnsignedBytes) {
  const FormatSpec spec = Scaled("0", -128, 127, -128, 127);
  EXPECT_EQ(RawToDisplayText(spec, 0x80), "-128");
  EXPECT_EQ(RawToDisplayText(spec, 0x7F), "127");
  EXPECT_EQ(RawToDisplayText(spec, 0xFF), "-1");
  EXPECT_DOUBLE_EQ(ClampRaw(spec, 200), -56);
  EXPECT_EQ(DisplayTextToRaw(spec, "-1"), 65535);  // 16-bit two's complement
  EXPECT_EQ(DisplayTextToRaw(spec, "-128"), 65536 - 128);
  EXPECT_EQ(DisplayTextToRaw(spec, "127"), 127);
}

TEST(FormatSpec, ClampRawLimitsToTheRange) {
  const FormatSpec spec = Scaled("0", 10, 20, 0, 100);
  EXPECT_DOUBLE_EQ(ClampRaw(spec, 5), 10);
  EXPECT_DOUBLE_EQ(ClampRaw(spec, 15), 15);
  EXPECT_DOUBLE_EQ(ClampRaw(spec, 25), 14);  // one span back
  EXPECT_DOUBLE_EQ(ClampRaw(spec, 40), 20);
}

TEST(FormatSpec, HalfDegreeScale) {
  const FormatSpec spec = Scaled("0.0", 0, 255, 0, 127.5);
  EXPECT_EQ(RawToDisplayText(spec, 1), "0.5");
  EXPECT_EQ(RawToDisplayText(spec, 255), "127.5");
  EXPECT_EQ(DisplayTextToRaw(spec, "0.5"), 1);
  EXPECT_EQ(DisplayTextToRaw(spec, "1000"), 255);
  EXPECT_EQ(DisplayTextToRaw(spec, "-5"), 0);
  EXPECT_EQ(DisplayTextToRaw(spec, "0.25"), 1);  // 0.5 raw: halves up
  EXPECT_EQ(DisplayTextToRaw(spec, "0.24"), 0);
}

TEST(FormatSpec, DisplayMaxLimitsTheShownValue) {
  FormatSpec spec = Scaled("0.0", 0, 255, 0, 127.5);
  spec.limit = 100;
  EXPECT_EQ(RawToDisplayText(spec, 255), "100.0");
  EXPECT_EQ(RawToDisplayText(spec, 100), "50.0");
  EXPECT_EQ(DisplayTextToRaw(spec, "127.5"), 200);
}

TEST(FormatSpec, NegativeRawRoundsBeforeWrapping) {
  const FormatSpec spec = Scaled("0.00", -512, 511, -128, 127.75);
  EXPECT_EQ(DisplayTextToRaw(spec, "-0.125"), 0);  // -0.5 raw rounds up to 0, not 65536
  EXPECT_EQ(DisplayTextToRaw(spec, "-0.25"), 65535);
  EXPECT_EQ(DisplayTextToRaw(spec, "-0.375"), 65535);  // -1.5 raw rounds up to -1
  EXPECT_EQ(DisplayTextToRaw(spec, "-128"), 65536 - 512);
  EXPECT_EQ(RawToDisplayText(spec, 1024 - 1), "-0.25");
}

TEST(FormatSpec, InvertedRangeIsReciprocal) {
  // input written high:low; v = dispMax * inMin / r
  const FormatSpec spec = Scaled("0.0", 200, 10, 5, 100);
  EXPECT_TRUE(spec.inverted);
  EXPECT_DOUBLE_EQ(spec.inMin, 10);
  EXPECT_DOUBLE_EQ(spec.inMax, 200);
  EXPECT_EQ(RawToDisplayText(spec, 10), "100.0");
  EXPECT_EQ(RawToDisplayText(spec, 20), "50.0");
  EXPECT_EQ(RawToDisplayText(spec, 200), "5.0");  // r = inMax shows dispMin
  EXPECT_EQ(DisplayTextToRaw(spec, "50"), 20);
  EXPECT_EQ(DisplayTextToRaw(spec, "5"), 200);
  EXPECT_EQ(DisplayTextToRaw(spec, "1"), 200);  // limited to dispMin first
}

TEST(FormatSpec, DegenerateRangesDoNotDivideByZero) {
  const FormatSpec flatInput = Scaled("0.0", 5, 5, 0, 10);
  EXPECT_EQ(RawToDisplayText(flatInput, 5), "0.0");
  const FormatSpec flatDisplay = Scaled("0.0", 0, 255, 3, 3);
  EXPECT_EQ(DisplayTextToRaw(flatDisplay, "3"), 0);
  const FormatSpec zeroInverted = Scaled("0.0", 10, 0, 1, 100);
  EXPECT_EQ(RawToDisplayText(zeroInverted, 0), "100.0");
}

TEST(FormatSpec, RangesBeyondWhatANumberHoldsGiveTheLowestRawValue) {
  // A definition may write a range end of hundreds of digits: it reads as
  // infinite, and infinity over infinity leaves no number.
  const double huge = std::numeric_limits<double>::infinity();
  EXPECT_EQ(DisplayTextToRaw(Scaled("0.0", 3, 255, -huge, huge), "5"), 3);
  EXPECT_EQ(DisplayTextToRaw(Scaled("0.0", -huge, huge, -huge, huge), "5"), 0);
  EXPECT_EQ(DisplayTextToRaw(Scaled("0.0", 0, 255, 0, huge), "5"), 0);
}

using FormatSpecGerman = testing::GermanLocaleTest;

TEST_F(FormatSpecGerman, ConversionsIgnoreTheLocale) {
  const FormatSpec spec = Scaled("0.0", 0, 255, 0, 127.5);
  EXPECT_EQ(RawToDisplayText(spec, 1), "0.5");
  EXPECT_EQ(DisplayTextToRaw(spec, "0.5"), 1);
  EXPECT_EQ(DisplayTextToRaw(spec, "127.5"), 255);
}

}  // namespace
}  // namespace kestrova::engine
