#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "definition/numbers.hpp"
#include "engine/format_spec.hpp"
#include "engine/number_pattern.hpp"
#include "german_locale.hpp"

namespace kestrova::engine {
namespace {

struct PatternCase {
  double value;
  const char* pattern;
  const char* expected;
};

// Halves go away from zero; "#" shows a digit only when needed.
const std::vector<PatternCase> kPatternCases = {
    {0.5, "0", "1"},
    {2.5, "0", "3"},
    {-2.5, "0", "-3"},
    {0.49, "0", "0"},
    {-0.4, "0", "0"},  // no sign on a value that rounds to zero
    {-128, "0", "-128"},
    {0.25, "0.0", "0.3"},
    {-0.25, "0.0", "-0.3"},
    {-0.04, "0.0", "0.0"},
    {25.0625, "0.0", "25.1"},
    {25.0625, "0.000", "25.063"},
    {25.0625, "0.0000", "25.0625"},
    {-55.125, "0.00", "-55.13"},
    {2.0 / 3.0, "0.0000", "0.6667"},
    {0.15, "0.0", "0.2"},  // 0.15 is stored as 0.1499999...
    {1.005, "0.00", "1.01"},
    {9.995, "0.00", "10.00"},
    {99.96, "0.0", "100.0"},
    {0.5, "#.##", ".5"},
    {1.5, "#.##", "1.5"},
    {5, "#.##", "5"},
    {0, "#.##", "0"},
    {12.345, "#.##", "12.35"},
    {7, "00", "07"},
    {123, "00", "123"},
    {0.5, "0.#", "0.5"},
    {3, "0.#", "3"},
    {1234567.891, "#,##0.00", "1,234,567.89"},
    {999, "#,##0", "999"},
    {25.5, "0.0 C", "25.5 C"},
    {25.5, "T=0.0", "T=25.5"},
    {25.0625, "", "25.0625"},
    {-3, "", "-3"},
    {1.0 / 3.0, "", "0.333333333333333"},
    {2.5, "Fixed", "2.50"},
    {1234.5, "Standard", "1,234.50"},
    {0.125, "Percent", "12.50%"},
};

void ExpectAllPatternCases() {
  for (const PatternCase& c : kPatternCases) {
    EXPECT_EQ(FormatNumber(c.value, c.pattern), c.expected)
        << "value " << c.value << " pattern \"" << c.pattern << "\"";
  }
}

TEST(NumberPattern, FormatsTheTableOfCases) {
  ExpectAllPatternCases();
}

// The general form is read back as a decimal number: never an exponent.
TEST(NumberPattern, GeneralFormHasNoExponentAtAnyMagnitude) {
  for (int exponent = -30; exponent <= 30; ++exponent) {
    for (const double value :
         {1.5 * std::pow(10.0, exponent), -1.0 / 3 * std::pow(10.0, exponent)}) {
      for (const char* pattern : {"", "General Number"}) {
        const std::string text = FormatNumber(value, pattern);
        SCOPED_TRACE(text);
        EXPECT_EQ(text.find_first_of("eE"), std::string::npos);
        EXPECT_NEAR(definition::ParseDecimal(text).value_or(0), value, std::fabs(value) * 1e-14);
      }
      const std::string plain = PlainNumber(value);
      EXPECT_EQ(plain.find_first_of("eE"), std::string::npos) << plain;
      EXPECT_EQ(definition::ParseDecimal(plain).value_or(0), value) << plain;
    }
  }
}

using NumberPatternGerman = testing::GermanLocaleTest;

// Patterns, conversions and the numbers they read never follow the locale.
TEST_F(NumberPatternGerman, NeverUsesTheLocaleSeparator) {
  ExpectAllPatternCases();
  FormatSpec half;
  half.format = "0.0";
  half.inMax = 255;
  half.dispMax = half.limit = 127.5;
  NormaliseRange(half);
  EXPECT_EQ(RawToDisplayText(half, 1), "0.5");
  EXPECT_EQ(DisplayTextToRaw(half, "127.5"), 255);
  EXPECT_EQ(definition::LeadingNumber("127.5"), 127.5);
  EXPECT_EQ(definition::LeadingNumber("0,5"), 0);
  EXPECT_EQ(definition::ParseDecimal("2.25"), 2.25);
}

}  // namespace
}  // namespace kestrova::engine
