#include "engine/field_bits.hpp"

#include <gtest/gtest.h>

#include <string>

#include "markup/markup_store.hpp"

namespace kestrova::engine {
namespace {

// A field's bits from `bit` and `regbit` as a definition writes them: in byte
// mode within the byte (regbit ignored), else within the register value.
TEST(FieldBits, ExtractPlaceAndMaskFollowTheWordArithmetic) {
  struct Case {
    const char* bit;
    const char* regbit;
    bool byteMode;
    std::int64_t raw, extracted, value, placed, mask;
  };
  const Case cases[] = {
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
  for (const Case& c : cases) {
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

}  // namespace
}  // namespace kestrova::engine
