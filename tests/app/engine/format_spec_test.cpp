#include "engine/format_spec.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace kestrova::engine {
namespace {

// A scaled format; the display limit is the display maximum unless given.
FormatSpec Scaled(const char* format, double inMin, double inMax, double dispMin, double dispMax,
                  double limit = 0) {
  FormatSpec spec;
  spec.format = format;
  spec.inMin = inMin;
  spec.inMax = inMax;
  spec.dispMin = dispMin;
  spec.dispMax = dispMax;
  spec.limit = limit != 0 ? limit : dispMax;
  NormaliseRange(spec);
  return spec;
}

// Raw values beyond the range go one span back, then are limited; signed
// ranges wrap unsigned bytes and give 16-bit two's complement back; halves
// round up; an inverted input range (high:low) is reciprocal.
TEST(FormatSpec, ConvertsRawToTextAndTextToRaw) {
  const double huge = std::numeric_limits<double>::infinity();
  const FormatSpec hex = RawFormatSpec("hex");
  const FormatSpec dec = RawFormatSpec("dec");
  const FormatSpec signedByte = Scaled("0", -128, 127, -128, 127);
  const FormatSpec half = Scaled("0.0", 0, 255, 0, 127.5);
  const FormatSpec halfTo100 = Scaled("0.0", 0, 255, 0, 127.5, 100);
  const FormatSpec quarter = Scaled("0.00", -512, 511, -128, 127.75);
  const FormatSpec inverted = Scaled("0.0", 200, 10, 5, 100);
  struct Case {
    FormatSpec spec;
    bool toText;
    double raw;
    const char* text;
  };
  const Case cases[] = {
      {hex, true, 255, "FFh"},
      {hex, true, 300, "2Ch"},
      {hex, true, 600, "FFh"},
      {dec, true, 200, "200"},
      {dec, false, 200, "200"},
      {dec, false, 255, "999"},
      {signedByte, true, 0x80, "-128"},
      {signedByte, true, 0xFF, "-1"},
      {signedByte, false, 65535, "-1"},
      {signedByte, false, 65536 - 128, "-128"},
      {half, true, 1, "0.5"},
      {half, false, 255, "1000"},
      {half, false, 0, "-5"},
      {half, false, 1, "0.25"},
      {half, false, 0, "0.24"},
      {halfTo100, true, 255, "100.0"},
      {halfTo100, false, 200, "127.5"},
      {quarter, false, 0, "-0.125"},  // -0.5 raw rounds up to 0, not 65536
      {quarter, false, 65535, "-0.25"},
      {quarter, false, 65535, "-0.375"},
      {quarter, true, 1023, "-0.25"},
      {inverted, true, 10, "100.0"},
      {inverted, true, 200, "5.0"},
      {inverted, false, 20, "50"},
      {inverted, false, 200, "1"},
      // Degenerate ranges divide by nothing; infinite ends give the lowest raw value.
      {Scaled("0.0", 5, 5, 0, 10), true, 5, "0.0"},
      {Scaled("0.0", 0, 255, 3, 3), false, 0, "3"},
      {Scaled("0.0", 10, 0, 1, 100), true, 0, "100.0"},
      {Scaled("0.0", 3, 255, -huge, huge), false, 3, "5"},
      {Scaled("0.0", -huge, huge, -huge, huge), false, 0, "5"},
      {Scaled("0.0", 0, 255, 0, huge), false, 0, "5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.spec.format) + " " + std::to_string(c.raw) + " " + c.text);
    if (c.toText) {
      EXPECT_EQ(RawToDisplayText(c.spec, c.raw), c.text);
    } else {
      EXPECT_EQ(DisplayTextToRaw(c.spec, c.text), static_cast<std::int32_t>(c.raw));
    }
  }
  EXPECT_TRUE(inverted.inverted);
  EXPECT_EQ(inverted.inMin, 10);
  EXPECT_TRUE(IsRawFormat("hex"));
  EXPECT_FALSE(IsRawFormat("HEX"));
  EXPECT_DOUBLE_EQ(ClampRaw(signedByte, 200), -56);
  const FormatSpec narrow = Scaled("0", 10, 20, 0, 100);
  EXPECT_DOUBLE_EQ(ClampRaw(narrow, 5), 10);
  EXPECT_DOUBLE_EQ(ClampRaw(narrow, 15), 15);
  EXPECT_DOUBLE_EQ(ClampRaw(narrow, 25), 14);  // one span back
  EXPECT_DOUBLE_EQ(ClampRaw(narrow, 40), 20);
}

}  // namespace
}  // namespace kestrova::engine
