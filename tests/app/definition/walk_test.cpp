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

  WalkOptions Hiding() {
    WalkOptions options;
    options.applyHiding = true;
    options.values = &values;
    return options;
  }
  static WalkOptions OtherLink() {
    WalkOptions options;
    options.usbLink = false;
    return options;
  }
  static WalkOptions Groups(std::function<void(std::string_view)> hook) {
    WalkOptions options;
    options.onGroup = std::move(hook);
    return options;
  }

  MarkupStore store;
  std::map<std::int32_t, std::uint8_t> image;
  ByteImageConditionValues values{[this](std::int32_t address) { return image[address]; }};
  std::vector<std::int32_t> masks;
};

// Without hiding every register and field is visited; with it, conditions
// follow the current field value (only the field's bits count); USB-only
// registers are skipped on other links.
TEST_F(WalkTest, RegistersAndFieldsFollowConditionsAndLink) {
  const std::string all =
      "|mode;hidden by mode;shown only in mode 2;|board;|hidden register;|second;";
  const struct {
    std::uint8_t mode;
    WalkOptions options;
    std::string seen;
  } cases[] = {
      {0x00, {}, all},
      {0x00, Hiding(), "|mode;hidden by mode;|board;|hidden register;|second;"},
      {0xFE, Hiding(), "|mode;shown only in mode 2;|board;|hidden register;|second;"},
      {0x03, Hiding(), "|mode;hidden by mode;|board;|second;"},
      {0x00, OtherLink(), "|mode;hidden by mode;shown only in mode 2;|hidden register;|second;"},
      // A group hook may move the cursor.
      {0x00, Groups([this](std::string_view) { store.SetXmlFileIndex(1); }), all},
  };
  for (const auto& c : cases) {
    image[1] = c.mode;
    EXPECT_EQ(Walk(c.options), c.seen) << int{c.mode};
  }
}

TEST_F(WalkTest, GroupHookRunsPerNamedGroupAndMaskFallsBackToFF) {
  std::vector<std::string> groups;
  Walk(Groups([&groups](std::string_view name) { groups.emplace_back(name); }));
  EXPECT_EQ(groups, (std::vector<std::string>{"Main", "Second"}));
  // 7F from the first group, kept by registers without a group name; FF for a non-hex mask.
  EXPECT_EQ(masks, (std::vector<std::int32_t>{0x7F, 0x7F, 0x7F, 0xFF}));
}

TEST_F(WalkTest, DefinitionWithoutPartHasNoRegisters) {
  ASSERT_TRUE(store.LoadMarkupText("<definition>\n <register />\n</definition>\n"));
  EXPECT_EQ(Walk({}), "no part");
}

TEST_F(WalkTest, HiddenTestLeavesCursorOnOwner) {
  image[1] = 2;
  store.SetXmlFileIndex(8);  // "hidden by mode"
  EXPECT_TRUE(DefinitionWalk::IsHidden(store, 4, values));
  EXPECT_EQ(store.XmlFileIndex(), 8);
  store.SetXmlFileIndex(7);  // "mode" has no hide
  EXPECT_FALSE(DefinitionWalk::IsHidden(store, 4, values));
  EXPECT_EQ(store.XmlFileIndex(), 7);
}

TEST_F(WalkTest, ConditionWithMalformedBitsReadsZero) {
  ASSERT_TRUE(
      store.LoadMarkupText("<definition>\n<hide addr=\"1\" bit=\"-3:-9\" value=\"0\" />\n"));
  image[1] = 0xFF;
  store.SetXmlFileIndex(2);
  EXPECT_EQ(values.FieldValue(store), 0);
  EXPECT_TRUE(ConditionHolds(store, values));
}

// --- Generated bit fields --------------------------------------------------------

std::vector<std::string> Generated(std::uint8_t mask, bool byteNumbering) {
  MarkupStore store;
  store.LoadMarkupText("<definition>\n <part>\n  <register>\n   <bitfield />\n  </register>\n");
  store.SetXmlFileIndex(4);
  const int count = InsertUnusedBitfields(store, mask, 0x123, 0x1A3, byteNumbering, 1);
  std::vector<std::string> lines;
  for (int i = 5; i < 5 + count; ++i) {
    lines.emplace_back(store.Line(i));
  }
  return lines;
}

std::string Field(std::string_view addr, std::string_view bits) {
  return "   <bitfield label=\"unused\" addr=\"" + std::string(addr) + "\" bit=\"" +
         std::string(bits) + "\" regbit=\"none\" attr=\"R\" value=\"0\" visible=\"false\" />";
}

// One run of uncovered bits gives one field; numbered 15 to 8 without byte
// numbering; a run still open at bit 0 is closed there.
TEST(UnusedBitfields, EachRunOfUncoveredBitsGivesOneField) {
  const std::tuple<std::uint8_t, bool, std::string> cases[] = {
      {0xF3, true, "3:2"}, {0xF3, false, "11:10"}, {0x00, false, "15:8"}, {0xF0, true, "3:0"},
      {0x00, true, "7:0"}, {0xFE, true, "0:0"},    {0xFF, true, ""},
  };
  for (const auto& [mask, byteNumbering, bits] : cases) {
    const std::vector<std::string> expected = {Field("23:A3", bits)};
    EXPECT_EQ(Generated(mask, byteNumbering), bits.empty() ? std::vector<std::string>{} : expected)
        << int{mask};
  }
}

TEST(UnusedBitfields, SeveralRunsAreGeneratedMostSignificantFirst) {
  // Position 0 keeps generation order before the current line.
  MarkupStore store;
  store.LoadMarkupText("<definition>\n <part>\n  <register>\n   <bitfield />\n  </register>\n");
  store.SetXmlFileIndex(4);
  EXPECT_EQ(InsertUnusedBitfields(store, 0x5A, 0x10, 0x10, true, 0), 4);  // 0101 1010
  EXPECT_EQ(store.Line(4), Field("10:10", "7:7"));
  EXPECT_EQ(store.Line(5), Field("10:10", "5:5"));
  EXPECT_EQ(store.Line(6), Field("10:10", "2:2"));
  EXPECT_EQ(store.Line(7), Field("10:10", "0:0"));
  EXPECT_EQ(store.Line(8), "   <bitfield />");
  EXPECT_EQ(store.XmlFileIndex(), 8);
}

TEST(UnusedBitfields, FullStoreIsReported) {
  MarkupStore store;
  for (int i = 0; i < MarkupStore::kMaxLines; ++i) {
    ASSERT_TRUE(store.AddLine(1, "<a />", -1));
  }
  EXPECT_EQ(InsertUnusedBitfields(store, 0x0F, 0x100, 0x100, true, -1), -1);
}

}  // namespace
}  // namespace kestrova::definition
