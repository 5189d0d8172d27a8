#include "engine/element_formats.hpp"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "engine/access.hpp"
#include "engine_fixture.hpp"

namespace kestrova::engine {
namespace {

using testing::EngineTest;

const char* kScaled =
    ">register >>bitfield addr=1 bit=7:0 value=0 format=hex input=0:1 >>bitfield addr=2 bit=7:0 "
    "value=0 format=0.0 input=-128:127 display=-64:63.5 displaymax=50 >>bitfield addr=3 bit=7:0 "
    "value=0 format=0.00 input=255:1 display=1:255";
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

// The format of the bit field at the cursor, as "format in display limit";
// raw formats ignore input; a divisor byte below displayregmin counts as
// displayregmin, one of 0 leaves the range undivided.
TEST_F(EngineTest, FormatOfTheFieldAtTheCursor) {
  struct Case {
    const char* part;
    int field;
    std::map<int, std::uint8_t> bytes;
    const char* format;
  };
  const Case cases[] = {
      {kScaled, 1, {}, "hex 0:255 0:255 255"},
      {kScaled, 2, {}, "0.0 -128:127 -64:63.5 50"},
      {kScaled, 3, {}, "0.00 1:255 1:255 255 inverted"},
      {kDivided, 1, {{0x41, 1}}, "0.0 0:255 0:50 40"},
      {kDivided, 1, {{0x41, 4}}, "0.0 0:255 0:25 40"},
      {kDivided, 2, {}, "0.0 0:255 0:100 100"},
      {kAlternatives, 1, {}, "0 0:255 0:255 255"},
      {kAlternatives, 1, {{0x43, 1}, {0x44, 0xA0}}, "0 0:127 -10:10 10"},
      {kAlternatives, 1, {{0x43, 3}, {0x44, 0xA0}}, "0 0:127 0:1000 1000"},
      {kAlternatives, 1, {{0x43, 3}, {0x44, 0xB0}}, "0 0:255 0:1000 1000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    Part(c.part);
    for (const auto& [address, byte] : c.bytes) {
      session.images.valueImage[static_cast<std::size_t>(address)] = byte;
    }
    const int line = BitfieldLine(c.field);
    store.SetXmlFileIndex(line);
    const FormatSpec spec = GetFormat(store, session.images);
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
  struct Case {
    int field;
    std::uint8_t byte5;
    std::int16_t link;
    const char* access;  // readable, writable, text
  };
  const Case cases[] = {
      {1, 0, kLinkUsb, "r- R"}, {2, 0, kLinkUsb, "rw R/W"}, {3, 0, kLinkUsb, "-w W"},
      {4, 0, kLinkUsb, "rw R"}, {5, 0, kLinkUsb, "rw R"},   {5, 1, kLinkUsb, "rw R/W"},
      {6, 0, kLinkUsb, "rw "},  {1, 0, kLinkNone, "rw R"},
  };
  for (const Case& c : cases) {
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

}  // namespace
}  // namespace kestrova::engine
