#include "definition/walk.hpp"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "definition/unused_bitfields.hpp"
#include "support/part_text.hpp"

namespace kestrova::definition {
namespace {

using markup::MarkupStore;

// "hidden by mode" hides in mode 2, "shown only in mode 2" in every other
// mode, the third register in mode 3; "board" is USB-only.
const std::string kPart = kestrova::testing::PartText(
    ">driver >>add type=usb vid=400 pid=1 >register grouptabname=Main groupaddrmask=7F "
    ">>bitfield label=mode addr=1 bit=1:0 value=0 >>bitfield label='hidden by mode' addr=1 "
    "bit=7:2 value=0 >>>hide addr=1 bit=1:0 value=2 >>bitfield label='shown only in mode 2' "
    "addr=1 bit=7:2 value=0 >>>hide addr=1 bit=1:0 value=2 not=true >register usb=true "
    ">>bitfield label=board addr=400 bit=7:0 value=0 >register >>hide addr=1 bit=1:0 value=3 "
    ">>bitfield label='hidden register' addr=2 bit=7:0 value=0 >register grouptabname=Second "
    "groupaddrmask=zz >>bitfield label=second addr=85 bit=7:0 value=0",
    "label=Walk");

class WalkTest : public ::testing::Test {
 protected:
  WalkTest() { EXPECT_TRUE(store.LoadMarkupText(kPart)); }

  // The labels of every register's bit fields, in walk order, "|" between registers.
  std::string Walk(WalkOptions options) {
    std::string seen;
    DefinitionWalk walk(store, std::move(options));
    if (!walk.PositionOnPart()) {
      return "no part";
    }
    while (walk.FindNextRegister()) {
      const int reg = store.XmlFileIndex();
      masks.push_back(walk.GroupAddrMask());
      seen += "|";
      while (walk.FindNextBitfield()) {
        seen += store.GetAttribute("label") + ";";
      }
      store.SetXmlFileIndex(reg);
    }
    return seen;
  }

  MarkupStore store;
  std::map<std::int32_t, std::uint8_t> image;
  ByteImageConditionValues values{[this](std::int32_t address) { return image[address]; }};
  std::vector<std::int32_t> masks;
};

// Without hiding every register and field is visited; with it, conditions
// follow the current field value (only the field's bits count); USB-only
// registers are skipped on other links. The group hook runs per named group
// and may move the cursor; a register without a group name keeps the mask of
// the group before it, a non-hex mask is FF.
TEST_F(WalkTest, RegistersAndFieldsFollowConditionsLinkAndGroups) {
  const std::string all =
      "|mode;hidden by mode;shown only in mode 2;|board;|hidden register;|second;";
  std::vector<std::string> groups;
  const auto group = [&](std::string_view name) {
    groups.emplace_back(name);
    store.SetXmlFileIndex(1);
  };
  const WalkOptions hiding{.applyHiding = true, .values = &values, .onGroup = {}};
  const struct {
    std::uint8_t mode;
    WalkOptions options;
    std::string seen;
  } cases[] = {
      {0x00, {}, all},
      {0x00, hiding, "|mode;hidden by mode;|board;|hidden register;|second;"},
      {0xFE, hiding, "|mode;shown only in mode 2;|board;|hidden register;|second;"},
      {0x03, hiding, "|mode;hidden by mode;|board;|second;"},
      {0x00,
       {.usbLink = false, .onGroup = {}},
       "|mode;hidden by mode;shown only in mode 2;|hidden register;|second;"},
      {0x00, {.onGroup = group}, all},
  };
  for (const auto& c : cases) {
    image[1] = c.mode;
    masks.clear();
    EXPECT_EQ(Walk(c.options), c.seen) << int{c.mode};
  }
  EXPECT_EQ(groups, (std::vector<std::string>{"Main", "Second"}));
  EXPECT_EQ(masks, (std::vector<std::int32_t>{0x7F, 0x7F, 0x7F, 0xFF}));
}

// The hidden test leaves the cursor on the field it tests; a condition
// whose bits are malformed reads zero; a definition without a part has no
// registers.
TEST_F(WalkTest, HiddenTestMalformedConditionAndNoPart) {
  image[1] = 2;
  store.SetXmlFileIndex(8);  // "hidden by mode"
  EXPECT_TRUE(DefinitionWalk::IsHidden(store, 4, values));
  EXPECT_EQ(store.XmlFileIndex(), 8);
  store.SetXmlFileIndex(7);  // "mode" has no hide
  EXPECT_FALSE(DefinitionWalk::IsHidden(store, 4, values));
  EXPECT_EQ(store.XmlFileIndex(), 7);
  ASSERT_TRUE(
      store.LoadMarkupText("<definition>\n<hide addr=\"1\" bit=\"-3:-9\" value=\"0\" />\n"));
  image[1] = 0xFF;
  store.SetXmlFileIndex(2);
  EXPECT_EQ(values.FieldValue(store), 0);
  EXPECT_TRUE(ConditionHolds(store, values));
  ASSERT_TRUE(store.LoadMarkupText("<definition>\n <register />\n</definition>\n"));
  EXPECT_EQ(Walk({}), "no part");
}

// --- Generated bit fields --------------------------------------------------------

// The bit ranges of the fields generated after a register's one field, each
// checked whole.
std::string Generated(std::uint8_t mask, bool byteNumbering) {
  MarkupStore store;
  store.LoadMarkupText("<definition>\n <part>\n  <register>\n   <bitfield />\n  </register>\n");
  store.SetXmlFileIndex(4);
  const int count = InsertUnusedBitfields(store, mask, 0x123, 0x1A3, byteNumbering, 1);
  std::string bits;
  for (int i = 5; i < 5 + count; ++i) {
    const std::string line(store.Line(i));
    const std::size_t at = line.find("bit=\"") + 5;
    const std::string range = line.substr(at, line.find('"', at) - at);
    EXPECT_EQ(line, "   <bitfield label=\"unused\" addr=\"23:A3\" bit=\"" + range +
                        "\" regbit=\"none\" attr=\"R\" value=\"0\" visible=\"false\" />");
    bits += (bits.empty() ? "" : " ") + range;
  }
  EXPECT_EQ(store.Line(5 + count), "  </register>");
  return bits;
}

// One run of uncovered bits gives one field, most significant run first
// (inserted after the cursor, the first generated ends last); numbered 15 to
// 8 without byte numbering; a run still open at bit 0 is closed there.
TEST(UnusedBitfields, EachRunOfUncoveredBitsGivesOneField) {
  const std::tuple<std::uint8_t, bool, std::string> cases[] = {
      {0xF3, true, "3:2"},   {0xF3, false, "11:10"},
      {0x00, false, "15:8"}, {0xF0, true, "3:0"},
      {0x00, true, "7:0"},   {0xFE, true, "0:0"},
      {0xFF, true, ""},      {0x5A, true, "0:0 2:2 5:5 7:7"},
  };
  for (const auto& [mask, byteNumbering, bits] : cases) {
    EXPECT_EQ(Generated(mask, byteNumbering), bits) << int{mask};
  }
  MarkupStore full;
  for (int i = 0; i < MarkupStore::kMaxLines; ++i) {
    ASSERT_TRUE(full.AddLine(1, "<a />", -1));
  }
  EXPECT_EQ(InsertUnusedBitfields(full, 0x0F, 0x100, 0x100, true, -1), -1);
}

}  // namespace
}  // namespace kestrova::definition
