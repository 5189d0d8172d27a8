// The value formats: a field's bits within its byte or register value, the
// conversions between raw values and display texts, address captions, the
// format and access of the bit field at the cursor, and number patterns (also
// under a German locale).
#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <locale>
#include <map>
#include <sstream>
#include <string>

#include "engine/access.hpp"
#include "engine/address_caption.hpp"
#include "engine/element_formats.hpp"
#include "engine/field_bits.hpp"
#include "engine/format_spec.hpp"
#include "engine/number_pattern.hpp"
#include "engine_fixture.hpp"
#include "markup/markup_store.hpp"

namespace kestrova::engine {
namespace {

using testing::EngineTest;

// A field's bits from `bit` and `regbit` as a definition writes them: in byte
// mode within the byte (regbit ignored), else within the register value.
TEST(FieldBits, ExtractPlaceAndMaskFollowTheWordArithmetic) {
  const struct {
    const char* bit;
    const char* regbit;
    bool byteMode;
    std::int64_t raw, extracted, value, placed, mask;
  } cases[] = {
      {"7:4", "", true, 0xA5, 0xA, 3, 0x30, 0xF0},
      {"3", "", true, 0x08, 1, 1, 0x08, 0x08},
      {"3", "", true, 0xF7, 0, 1, 0x08, 0x08},
      {"12:8", "", true, 0xFF, 0x1F, 0x1F, 0x1F, 0x1F},  // bit numbers modulo eight
      {"12:8", "", false, 0x1F00, 0x1F, 1, 0x100, 0x1F00},
      {"7:0", "15:4", false, 0xABCD, 0xABC, 0xABC, 0xABC0, 0xFFF0},
      {"7:0", "15:4", true, 0xABCD, 0xCD, 1, 1, 0xFF},
      {"3:2", "none", false, 0xFFFF, 0, 3, 0, 0},
      {"3:2", "none", true, 0x0C, 3, 3, 0x0C, 0x0C},
      {"15:0", "", false, 0xFFFF, 0xFFFF, 1, 1, 0xFFFF},
      {"15:0", "", false, 0x12345, 0x2345, 1, 1, 0xFFFF},  // only 16 bits take part
      {"15", "", false, 0x8000, 1, 1, 0x8000, 0x8000},
      {"99:-3", "", false, 0x92345678, 0x92345678, 1, 1, 0xFFFFFFFF},  // kept within 31:0
      {"2:5", "", true, 0xFF, 0, 1, 0x20, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.bit) + " " + c.regbit + (c.byteMode ? " byte" : " register"));
    markup::MarkupStore store;
    ASSERT_TRUE(store.LoadMarkupText(std::string("<bitfield bit=\"") + c.bit + "\" regbit=\"" +
                                     c.regbit + "\"/>"));
    store.SetXmlFileIndex(1);
    const FieldBits bits = FieldBitsAt(store, c.byteMode);
    EXPECT_EQ(ExtractField(c.raw, bits), c.extracted);
    EXPECT_EQ(PlaceField(c.value, bits), c.placed);
    EXPECT_EQ(FieldMask(bits), c.mask);
  }
}

// A scaled format; the display limit is the display maximum unless given.
FormatSpec Scaled(const char* format, double inMin, double inMax, double dispMin, double dispMax,
                  double limit = 0) {
  FormatSpec spec{format, inMin, inMax, dispMin, dispMax, limit != 0 ? limit : dispMax};
  NormaliseRange(spec);
  return spec;
}

// Raw values beyond a signed range go one span back (unsigned bytes wrap),
// then are limited, and give 16-bit two's complement back; above an unsigned
// range they show as its top; halves round up; an inverted input range
// (high:low) is reciprocal.
TEST(FormatSpec, ConvertsRawToTextAndTextToRaw) {
  const double huge = std::numeric_limits<double>::infinity();
  const FormatSpec hex = RawFormatSpec("hex");
  const FormatSpec dec = RawFormatSpec("dec");
  const FormatSpec signedByte = Scaled("0", -128, 127, -128, 127);
  const FormatSpec half = Scaled("0.0", 0, 255, 0, 127.5);
  const FormatSpec halfTo100 = Scaled("0.0", 0, 255, 0, 127.5, 100);
  const FormatSpec quarter = Scaled("0.00", -512, 511, -128, 127.75);
  const FormatSpec inverted = Scaled("0.0", 200, 10, 5, 100);
  const FormatSpec narrow = Scaled("0", 10, 20, 0, 100);
  const FormatSpec falling = Scaled("0.0", 0, 255, 100, 0, 100);
  const struct {
    FormatSpec spec;
    bool toText;
    double raw;
    const char* text;
  } cases[] = {
      {hex, true, 255, "FFh"},
      {hex, true, 300, "FFh"},
      {hex, true, 600, "FFh"},
      {dec, true, 200, "200"},
      {dec, false, 200, "200"},
      {dec, false, 255, "999"},
      {signedByte, true, 0x80, "-128"},
      {signedByte, true, 0xFF, "-1"},
      {signedByte, true, 200, "-56"},
      {narrow, true, 5, "0"},
      {narrow, true, 15, "50"},
      {narrow, true, 25, "100"},  // above an unsigned range, not one span back
      {narrow, true, 40, "100"},
      {signedByte, false, 65535, "-1"},
      {signedByte, false, 65536 - 128, "-128"},
      {half, true, 1, "0.5"},
      {half, false, 255, "1000"},
      {half, false, 0, "-5"},
      {half, false, 1, "0.25"},
      {half, false, 0, "0.24"},
      {halfTo100, true, 255, "127.5"},  // shown as held; only entries stop at 100
      {halfTo100, false, 200, "127.5"},
      {quarter, false, 0, "-0.125"},  // -0.5 raw rounds up to 0, not 65536
      {quarter, false, 65535, "-0.25"},
      {quarter, false, 65535, "-0.375"},
      {quarter, true, 1023, "-0.25"},
      {inverted, true, 10, "100.0"},
      {inverted, true, 200, "5.0"},
      {inverted, false, 20, "50"},
      {inverted, false, 200, "1"},
      {falling, true, 51, "80.0"},
      {falling, false, 191, "25"},  // entries run from the range's lower end, 0
      {falling, false, 0, "150"},
      {Scaled("0", 0, 4294967295.0, 0, 4294967295.0), false, 3e9, "3000000000"},  // 32 bits
      // Degenerate ranges divide by nothing; infinite ends give the lowest raw value.
      {Scaled("0.0", 5, 5, 0, 10), true, 5, "0.0"},
      {Scaled("0.0", 0, 255, 3, 3), false, 0, "3"},
      {Scaled("0.0", 10, 0, 1, 100), true, 0, "100.0"},
      {Scaled("0.0", 3, 255, -huge, huge), false, 3, "5"},
      {Scaled("0.0", -huge, huge, -huge, huge), false, 0, "5"},
      {Scaled("0.0", 0, 255, 0, huge), false, 0, "5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.spec.format) + " " + std::to_string(c.raw) + " " + c.text);
    if (c.toText) {
      EXPECT_EQ(RawToDisplayText(c.spec, c.raw), c.text);
    } else {
      EXPECT_EQ(DisplayTextToRaw(c.spec, c.text), static_cast<std::int64_t>(c.raw));
    }
  }
  EXPECT_TRUE(IsRawFormat("hex"));
  EXPECT_FALSE(IsRawFormat("HEX"));
}

// The read address masked by the group's mask; both addresses when they
// differ and asked for; "na" for board registers; a displayaddr wins.
TEST(AddressCaption, FollowsTheAddressesTheMaskAndTheDisplayAddress) {
  const struct {
    const char* displayAddr;
    definition::AddressPair addr;
    int mask;
    bool both;
    const char* caption;
  } cases[] = {
      {"", {"2A", "2A"}, 0xFF, true, "2A"},        {"", {"85", "85"}, 0x7F, false, "05"},
      {"", {"5", "5"}, 0xFF, false, "05"},         {"", {"40", "C0"}, 0xFF, true, "40/\r\nC0"},
      {"", {"40", "C0"}, 0xFF, false, "40"},       {"", {"40", "40"}, 0xFF, true, "40"},
      {"", {"40", "C0"}, 0x7F, true, "40/\r\n40"}, {"", {"400", "400"}, 0xFF, true, "na"},
      {"", {"7FF", "7FF"}, 0xFF, true, "na"},      {"", {"3FF", "3FF"}, 0xFF, true, "FF"},
      {"1F3", {"400", "400"}, 0xFF, true, "F3"},   {"7", {"10", "10"}, 0xFF, true, "07"},
      {"CFG", {"10", "10"}, 0xFF, true, "CFG"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AddressCaptionText(c.displayAddr, c.addr, c.mask, c.both), c.caption)
        << c.addr.read << ":" << c.addr.write << " mask " << c.mask;
  }
}

const char* kScaled =
    ">register >>bitfield addr=1 bit=7:0 value=0 format=hex input=0:1 >>bitfield addr=2 bit=7:0 "
    "value=0 format=0.0 input=-128:127 display=-64:63.5 displaymax=50 >>bitfield addr=3 bit=7:0 "
    "value=0 format=0.00 input=255:1 display=1:255 >>bitfield addr=4 bit=7:0 value=0 format=0.0 "
    "input=0:255 display=100:0";
const char* kDivided =
    ">register >>bitfield addr=40 bit=7:0 value=0 format=0.0 input=0:255 display=0:100 "
    "displaydivreg=41 displayregmin=2 displaymax=40 >>bitfield addr=42 bit=7:0 value=0 "
    "format=0.0 input=0:255 display=0:100 displaydivreg=43";
// Of the register's display alternatives the last that holds wins.
const char* kAlternatives =
    ">register >>bitfield addr=42 bit=7:0 value=0 format=0 input=0:255 display=0:255 >>add "
    "type=display input=0:127 display=-10:10 >>>display addr=43 bit=0 value=1 >>>display addr=44 "
    "bit=7:4 value=A >>add type=combo >>add type=display display=0:1000 >>>display addr=43 bit=1 "
    "value=1 >register >>add type=display display=0:1";
// Raw formats of whole registers: 16 bits, 13 register bits, one byte's 4 bits.
const char* kWhole =
    ">register format=hex >>bitfield addr=5 bit=15:8 value=0 >>bitfield addr=105 bit=7:0 value=0 "
    ">register format=dec >>bitfield addr=6 bit=12:8 regbit=12:8 value=0 >>bitfield addr=6 bit=15 "
    "regbit=none value=0 >register format=dec >>bitfield addr=7 bit=3:0 value=0";

// The format of the bit field (or, for a negative number, of the register) at
// the cursor, as "format in display limit"; raw formats ignore input and span
// a register's bits; a divisor byte below displayregmin counts as
// displayregmin, one of 0 leaves the range undivided.
TEST_F(EngineTest, FormatOfTheFieldAtTheCursor) {
  const struct {
    const char* part;
    int field;
    std::map<int, std::uint8_t> bytes;
    const char* format;
  } cases[] = {
      {kScaled, 1, {}, "hex 0:255 0:255 255"},
      {kScaled, 2, {}, "0.0 -128:127 -64:63.5 50"},
      {kScaled, 3, {}, "0.00 1:255 1:255 255 inverted"},
      {kScaled, 4, {}, "0.0 0:255 100:0 100"},  // a falling range may take 0 to 100
      {kDivided, 1, {{0x41, 1}}, "0.0 0:255 0:50 40"},
      {kDivided, 1, {{0x41, 4}}, "0.0 0:255 0:25 25"},  // nothing above 25 can be written
      {kDivided, 2, {}, "0.0 0:255 0:100 100"},
      {kAlternatives, 1, {}, "0 0:255 0:255 255"},
      {kAlternatives, 1, {{0x43, 1}, {0x44, 0xA0}}, "0 0:127 -10:10 10"},
      {kAlternatives, 1, {{0x43, 3}, {0x44, 0xA0}}, "0 0:127 0:1000 1000"},
      {kAlternatives, 1, {{0x43, 3}, {0x44, 0xB0}}, "0 0:255 0:1000 1000"},
      {kWhole, -1, {}, "hex 0:65535 0:65535 65535"},
      {kWhole, -2, {}, "dec 0:8191 0:8191 8191"},
      {kWhole, -3, {}, "dec 0:255 0:255 255"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    Part(c.part);
    for (const auto& [address, byte] : c.bytes) {
      session.images.valueImage[static_cast<std::size_t>(address)] = byte;
    }
    const int line = c.field > 0 ? BitfieldLine(c.field) : RegisterLine(-c.field);
    store.SetXmlFileIndex(line);
    const FormatSpec spec =
        c.field > 0 ? GetFormat(store, session.images) : GetRegisterFormat(store, session.images);
    std::ostringstream text;
    text << spec.format << " " << spec.inMin << ":" << spec.inMax << " " << spec.dispMin << ":"
         << spec.dispMax << " " << spec.limit << (spec.inverted ? " inverted" : "");
    EXPECT_EQ(text.str(), c.format);
    EXPECT_EQ(store.XmlFileIndex(), line);
  }
}

// Board registers follow `attr`, chip registers can always be written, and
// a conditional rule opens the field while its text follows the condition.
TEST_F(EngineTest, AccessOfBitFields) {
  Part(
      ">register >>bitfield addr=400 bit=7:0 value=0 attr=R >>bitfield addr=401 bit=7:0 value=0 "
      "attr=RW >>bitfield addr=402 bit=7:0 value=0 attr=W >>bitfield addr=10 bit=7:0 value=0 "
      "attr=R >>bitfield addr=403 bit=7:0 value=0 attr=R >>>add type=attr attr=RW >>>>attr addr=5 "
      "bit=0 value=1 >>bitfield addr=404 bit=7:0 value=0");
  const struct {
    int field;
    std::uint8_t byte5;
    std::int16_t link;
    const char* access;  // readable, writable, text
  } cases[] = {
      {1, 0, kLinkUsb, "r- R"}, {2, 0, kLinkUsb, "rw R/W"}, {3, 0, kLinkUsb, "-w W"},
      {4, 0, kLinkUsb, "rw R"}, {5, 0, kLinkUsb, "rw R"},   {5, 1, kLinkUsb, "rw R/W"},
      {6, 0, kLinkUsb, "rw "},  {1, 0, kLinkNone, "rw R"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field);
    session.images.valueImage[5] = c.byte5;
    session.connection.link = c.link;
    store.SetXmlFileIndex(BitfieldLine(c.field));
    const Access access = GetAccess(session);
    EXPECT_EQ(std::string(access.readable ? "r" : "-") + (access.writable ? "w" : "-") + " " +
                  access.text,
              c.access);
  }
}

// The C++ side's German separators. A named std::locale goes through
// newlocale(), whose search of LOCPATH leaks in this glibc (the sanitizer
// build reports it).
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
TEST_F(NumberPatternGerman, FormatsTheTableOfCasesAndNeverUsesTheLocaleSeparator) {
  // Halves go away from zero; "#" shows a digit only when needed.
  const struct {
    double value;
    const char* pattern;
    const char* expected;
  } cases[] = {
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
      // The general form is read back as a decimal number: never an exponent.
      {1.5e30, "", "1500000000000000000000000000000"},
      {1.5e-30, "", "0.0000000000000000000000000000015"},
      {-1.0 / 3 * 1e-30, "General Number", "-0.000000000000000000000000000000333333333333333"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatNumber(c.value, c.pattern), c.expected)
        << "value " << c.value << " pattern \"" << c.pattern << "\"";
  }
  const FormatSpec half = Scaled("0.0", 0, 255, 0, 127.5);
  EXPECT_EQ(RawToDisplayText(half, 1), "0.5");
  EXPECT_EQ(DisplayTextToRaw(half, "127.5"), 255);
  EXPECT_EQ(definition::LeadingNumber("127.5"), 127.5);
  EXPECT_EQ(definition::LeadingNumber("0,5"), 0);
  EXPECT_EQ(definition::ParseDecimal("2.25"), 2.25);
  EXPECT_EQ(PlainNumber(1.5e30), "1499999999999999889089448902656");
  EXPECT_EQ(PlainNumber(-1.0 / 3 * 1e-30), "-0.00000000000000000000000000000033333333333333333");
}

}  // namespace
}  // namespace kestrova::engine
