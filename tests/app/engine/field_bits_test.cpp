#include "engine/field_bits.hpp"

#include <gtest/gtest.h>

#include <string>

#include "markup/markup_store.hpp"

namespace kestrova::engine {
namespace {

// Bits from attribute texts as a definition writes them.
FieldBits Bits(const std::string& bit, const std::string& regbit, bool byteMode) {
  markup::MarkupStore store;
  std::string line = "<bitfield bit=\"" + bit + "\"";
  if (!regbit.empty()) {
    line += " regbit=\"" + regbit + "\"";
  }
  line += "/>";
  EXPECT_TRUE(store.LoadMarkupText(line));
  store.SetXmlFileIndex(1);
  return FieldBitsAt(store, byteMode);
}

TEST(FieldBits, UpperNibble) {
  const FieldBits bits = Bits("7:4", "", true);
  EXPECT_EQ(bits.hi, 7);
  EXPECT_EQ(bits.lo, 4);
  EXPECT_EQ(ExtractField(0xA5, bits), 0xA);
  EXPECT_EQ(PlaceField(3, bits), 0x30);
  EXPECT_EQ(FieldMask(bits), 0xF0);
}

TEST(FieldBits, SingleNumberIsOneBit) {
  const FieldBits bits = Bits("3", "", true);
  EXPECT_EQ(bits.hi, 3);
  EXPECT_EQ(bits.lo, 3);
  EXPECT_EQ(ExtractField(0x08, bits), 1);
  EXPECT_EQ(ExtractField(0xF7, bits), 0);
  EXPECT_EQ(PlaceField(1, bits), 0x08);
}

TEST(FieldBits, ByteModeTakesBitNumbersModuloEight) {
  const FieldBits bits = Bits("12:8", "", true);
  EXPECT_EQ(bits.hi, 4);
  EXPECT_EQ(bits.lo, 0);
  EXPECT_EQ(ExtractField(0xFF, bits), 0x1F);
  EXPECT_EQ(PlaceField(0x1F, bits), 0x1F);
}

TEST(FieldBits, RegisterModeUsesRegbitAndWholeRegisterNumbers) {
  const FieldBits byBit = Bits("12:8", "", false);
  EXPECT_EQ(byBit.hi, 12);
  EXPECT_EQ(byBit.lo, 8);
  EXPECT_EQ(ExtractField(0x1F00, byBit), 0x1F);
  const FieldBits byRegbit = Bits("7:0", "15:4", false);
  EXPECT_EQ(byRegbit.hi, 15);
  EXPECT_EQ(byRegbit.lo, 4);
  EXPECT_EQ(ExtractField(0xABCD, byRegbit), 0xABC);
  EXPECT_EQ(PlaceField(0xABC, byRegbit), 0xABC0);
  // In byte mode regbit is ignored.
  const FieldBits byteMode = Bits("7:0", "15:4", true);
  EXPECT_EQ(byteMode.hi, 7);
  EXPECT_EQ(byteMode.lo, 0);
}

TEST(FieldBits, RegbitNoneTakesNoPartInTheRegister) {
  const FieldBits bits = Bits("3:2", "none", false);
  EXPECT_TRUE(bits.none);
  EXPECT_EQ(ExtractField(0xFFFF, bits), 0);
  EXPECT_EQ(PlaceField(3, bits), 0);
  EXPECT_EQ(FieldMask(bits), 0);
  const FieldBits inByte = Bits("3:2", "none", true);
  EXPECT_FALSE(inByte.none);
  EXPECT_EQ(ExtractField(0x0C, inByte), 3);
}

TEST(FieldBits, ExtractFollowsTheWordArithmetic) {
  const FieldBits whole = Bits("15:0", "", false);
  EXPECT_EQ(ExtractField(0xFFFF, whole), 0xFFFF);
  EXPECT_EQ(ExtractField(0x12345, whole), 0x2345);  // only 16 bits take part
  const FieldBits top = Bits("15", "", false);
  EXPECT_EQ(ExtractField(0x8000, top), 1);
  EXPECT_EQ(FieldMask(top), 0x8000);
}

TEST(FieldBits, OutOfRangeBitNumbersStayDefined) {
  const FieldBits wide = Bits("99:-3", "", false);
  EXPECT_EQ(wide.hi, 31);
  EXPECT_EQ(wide.lo, 0);
  EXPECT_EQ(ExtractField(0x12345678, wide), 0x12345678);
  const FieldBits reversed = Bits("2:5", "", true);
  EXPECT_EQ(FieldMask(reversed), 0);
  EXPECT_EQ(ExtractField(0xFF, reversed), 0);
}

}  // namespace
}  // namespace kestrova::engine
