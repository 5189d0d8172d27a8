#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <locale>
#include <string>
#include <vector>

#include "definition/numbers.hpp"
#include "engine/format_spec.hpp"
#include "engine/number_pattern.hpp"

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
    {0.25, "0.0", "0.3"},
    {-0.04, "0.0", "0.0"},
    {25.0625, "0.0", "25.1"},
    {25.0625, "0.0000", "25.0625"},
    {-55.125, "0.00", "-55.13"},
    {0.15, "0.0", "0.2"},  // 0.15 is stored as 0.1499999...
    {1.005, "0.00", "1.01"},
    {9.995, "0.00", "10.00"},
    {99.96, "0.0", "100.0"},
    {0.5, "#.##", ".5"},
    {5, "#.##", "5"},
    {0, "#.##", "0"},
    {12.345, "#.##", "12.35"},
    {7, "00", "07"},
    {0.5, "0.#", "0.5"},
    {1234567.891, "#,##0.00", "1,234,567.89"},
    {25.5, "0.0 C", "25.5 C"},
    {25.5, "T=0.0", "T=25.5"},
    {25.0625, "", "25.0625"},
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

class CommaDecimal : public std::numpunct<char> {
 protected:
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

// Sets LC_ALL to de_DE.UTF-8, compiling that locale into a temporary folder
// when the system has not generated it.
bool SetGermanCLocale() {
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr) {
    return true;
  }
  // Compiled once per machine; test processes running side by side each
  // compile into a folder of their own and move it into place whole.
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / "kestrova-test-locales";
  const std::filesystem::path locale = dir / "de_DE.UTF-8";
  std::error_code ignored;
  if (!std::filesystem::exists(locale / "LC_NUMERIC")) {
    std::filesystem::create_directories(dir, ignored);
    const std::filesystem::path own = dir / ("building-" + std::to_string(::getpid()));
    const std::string command =
        "localedef -i de_DE -f UTF-8 '" + own.string() + "' >/dev/null 2>&1";
    [[maybe_unused]] const int status = std::system(command.c_str());
    std::filesystem::rename(own, locale, ignored);
    std::filesystem::remove_all(own, ignored);
  }
  setenv("LOCPATH", dir.c_str(), 1);
  return std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

// Runs a test under a German locale (decimal comma) for both the C library and
// the C++ global locale, so number texts that followed the locale would show.
class NumberPatternGerman : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    ASSERT_TRUE(SetGermanCLocale()) << "the de_DE.UTF-8 locale cannot be set up";
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");
  }
  void TearDown() override {
    std::setlocale(LC_ALL, "C");
    std::locale::global(previous_);
  }

 private:
  std::locale previous_;
};

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
