#include "engine/element_formats.hpp"

#include <gtest/gtest.h>

#include "engine/access.hpp"
#include "engine_fixture.hpp"

namespace kestrova::engine {
namespace {

using testing::EngineTest;

TEST_F(EngineTest, AttributesAtTheCursor) {
  Part(
      ">register >>bitfield addr=40:c0 bit=12:9 regbit=none value=0 >>bitfield addr=2a bit=7:4 "
      "regbit=11:8 value=0");
  store.SetXmlFileIndex(BitfieldLine(1));
  EXPECT_EQ(ReadAddress(store), "40");
  EXPECT_EQ(WriteAddress(store), "C0");
  EXPECT_EQ(PlaceField(store, 3, true), 3 << 1);  // bits 4..1 of the byte
  EXPECT_EQ(PlaceField(store, 3, false), 0);      // regbit "none"
  EXPECT_EQ(ExtractField(store, 0xFFFF, false), 0);
  EXPECT_EQ(AddressCaption(store, 0xFF, true), "40/\r\nC0");
  EXPECT_EQ(AddressCaption(store, 0xFF, false), "40");
  store.SetXmlFileIndex(BitfieldLine(2));
  EXPECT_EQ(ReadAddress(store), "2A");
  EXPECT_EQ(WriteAddress(store), "2A");
  EXPECT_EQ(ExtractField(store, 0xA5, true), 0xA);
  EXPECT_EQ(ExtractField(store, 0x0A00, false), 0xA);
  EXPECT_EQ(PlaceField(store, 0xA, false), 0xA00);
  EXPECT_EQ(AddressCaption(store, 0xFF, true), "2A");
}

TEST_F(EngineTest, FormatOfTheElementAtTheCursor) {
  Part(
      ">register >>bitfield addr=1 bit=7:0 value=0 format=hex input=0:1 >>bitfield addr=2 bit=7:0 "
      "value=0 format=0.0 input=-128:127 display=-64:63.5 displaymax=50 >>bitfield addr=3 bit=7:0 "
      "value=0 format=0.00 input=255:1 display=1:255");
  store.SetXmlFileIndex(BitfieldLine(1));
  FormatSpec spec = GetFormat(store, session.images);
  EXPECT_EQ(spec.format, "hex");
  EXPECT_EQ(spec.inMax, 255);  // raw formats ignore input
  EXPECT_EQ(RawToDisplayText(spec, 10), "0Ah");
  store.SetXmlFileIndex(BitfieldLine(2));
  spec = GetFormat(store, session.images);
  EXPECT_EQ(spec.inMin, -128);
  EXPECT_EQ(spec.dispMax, 63.5);
  EXPECT_EQ(spec.limit, 50);
  EXPECT_EQ(RawToDisplayText(spec, 0x7F), "50.0");
  EXPECT_EQ(RawToDisplayText(spec, 0x80), "-64.0");
  EXPECT_EQ(store.XmlFileIndex(), BitfieldLine(2));
  store.SetXmlFileIndex(BitfieldLine(3));
  spec = GetFormat(store, session.images);
  EXPECT_TRUE(spec.inverted);
  EXPECT_EQ(spec.inMin, 1);
  EXPECT_EQ(spec.inMax, 255);
}

TEST_F(EngineTest, DivisorRegisterScalesTheDisplay) {
  Part(
      ">register >>bitfield addr=40 bit=7:0 value=0 format=0.0 input=0:255 display=0:100 "
      "displaydivreg=41 displayregmin=2 displaymax=40 >>bitfield addr=42 bit=7:0 value=0 "
      "format=0.0 input=0:255 display=0:100 displaydivreg=43");
  store.SetXmlFileIndex(BitfieldLine(1));
  session.images.valueImage[0x41] = 1;  // below displayregmin
  FormatSpec spec = GetFormat(store, session.images);
  EXPECT_EQ(spec.dispMax, 50);
  EXPECT_EQ(spec.limit, 40);
  session.images.valueImage[0x41] = 4;
  spec = GetFormat(store, session.images);
  EXPECT_EQ(spec.dispMax, 25);
  EXPECT_EQ(spec.limit, 40);
  store.SetXmlFileIndex(BitfieldLine(2));
  spec = GetFormat(store, session.images);  // divisor byte 0: left undivided
  EXPECT_EQ(spec.dispMax, 100);
}

TEST_F(EngineTest, DisplayAlternativesTheLastThatHoldsWins) {
  Part(
      ">register >>bitfield addr=42 bit=7:0 value=0 format=0 input=0:255 display=0:255 >>add "
      "type=display input=0:127 display=-10:10 >>>display addr=43 bit=0 value=1 >>>display addr=44 "
      "bit=7:4 value=A >>add type=combo >>add type=display display=0:1000 >>>display addr=43 bit=1 "
      "value=1 >register >>add type=display display=0:1");
  const int line = BitfieldLine(1);
  store.SetXmlFileIndex(line);
  FormatSpec spec = GetFormat(store, session.images);
  EXPECT_EQ(spec.inMax, 255);
  EXPECT_EQ(spec.dispMax, 255);
  session.images.valueImage[0x43] = 0x01;
  session.images.valueImage[0x44] = 0xA0;
  spec = GetFormat(store, session.images);
  EXPECT_EQ(spec.inMax, 127);
  EXPECT_EQ(spec.dispMin, -10);
  EXPECT_EQ(spec.limit, 10);
  session.images.valueImage[0x43] = 0x03;
  spec = GetFormat(store, session.images);
  EXPECT_EQ(spec.inMax, 127);  // the later one has no input of its own
  EXPECT_EQ(spec.dispMin, 0);
  EXPECT_EQ(spec.dispMax, 1000);
  session.images.valueImage[0x44] = 0xB0;
  spec = GetFormat(store, session.images);
  EXPECT_EQ(spec.inMax, 255);
  EXPECT_EQ(spec.dispMax, 1000);
  EXPECT_EQ(store.XmlFileIndex(), line);
}

TEST_F(EngineTest, AccessOfBitFields) {
  Part(
      ">register >>bitfield addr=400 bit=7:0 value=0 attr=R >>bitfield addr=401 bit=7:0 value=0 "
      "attr=RW >>bitfield addr=402 bit=7:0 value=0 attr=W >>bitfield addr=10 bit=7:0 value=0 "
      "attr=R >>bitfield addr=403 bit=7:0 value=0 attr=R >>>add type=attr attr=RW >>>>attr addr=5 "
      "bit=0 value=1 >>bitfield addr=404 bit=7:0 value=0");
  auto access = [&](int nth) {
    store.SetXmlFileIndex(BitfieldLine(nth));
    return GetAccess(session);
  };
  EXPECT_TRUE(access(1).readable);
  EXPECT_FALSE(access(1).writable);
  EXPECT_EQ(access(1).text, "R");
  EXPECT_EQ(access(2).text, "R/W");
  EXPECT_FALSE(access(3).readable);
  EXPECT_TRUE(access(3).writable);
  EXPECT_TRUE(access(4).writable);  // chip registers can always be written
  EXPECT_EQ(access(4).text, "R");
  // The conditional rule opens the field; its text follows the condition.
  EXPECT_TRUE(access(5).writable);
  EXPECT_EQ(access(5).text, "R");
  session.images.valueImage[5] = 1;
  EXPECT_EQ(access(5).text, "R/W");
  EXPECT_TRUE(access(6).readable);
  EXPECT_TRUE(access(6).writable);
  EXPECT_EQ(access(6).text, "");
  session.connection.link = kLinkNone;
  EXPECT_TRUE(access(1).writable);
  EXPECT_EQ(store.XmlFileIndex(), BitfieldLine(6));
}

}  // namespace
}  // namespace kestrova::engine
