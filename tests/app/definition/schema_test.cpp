#include "definition/schema.hpp"

#include <gtest/gtest.h>

#include <string>

namespace kestrova::definition {
namespace {

using markup::MarkupStore;

// A store whose line 2 is `tag`, with the cursor on it.
class SchemaTest : public ::testing::Test {
 protected:
  void On(const std::string& tag) {
    ASSERT_TRUE(store.LoadMarkupText("<definition>\n" + tag + "\n</definition>\n"));
    store.SetXmlFileIndex(2);
  }
  MarkupStore store;
};

// Bit numbers out of range of the readers stay in range.
TEST_F(SchemaTest, PairsSplitAtTheFirstColonAfterUpperCasing) {
  On("<bitfield addr=\"10:9a\" bit=\"7:4\" input=\"-128:127.5\" display=\"3\" other=\"a:b:c\" "
     "wide=\"99999999999:-99999999999\" />");
  const AddressPair addr = ReadAddressPair(store);
  EXPECT_EQ(addr.read + " " + addr.write, "10 9A");
  const BitRange bit = ReadBitRange(store, "bit");
  EXPECT_EQ(std::to_string(bit.high) + ":" + std::to_string(bit.low), "7:4");
  const BitRange wide = ReadBitRange(store, "wide");
  EXPECT_EQ(std::to_string(wide.high) + ":" + std::to_string(wide.low), "32767:-32768");
  const RealRange input = ReadRealRange(store, "input");
  EXPECT_TRUE(input.present);
  EXPECT_EQ(input.first, -128);
  EXPECT_EQ(input.second, 127.5);
  const RealRange display = ReadRealRange(store, "display");
  EXPECT_EQ(display.first, 3);
  EXPECT_EQ(display.second, 3);
  EXPECT_FALSE(ReadRealRange(store, "missing").present);
  const TextPair other = SplitPair(store, "other");
  EXPECT_EQ(other.first + " " + other.second, "A B:C");
  On("<bitfield addr=\"2a\" />");
  EXPECT_EQ(ReadAddressPair(store).write, "2A");  // one address reads and writes
}

// Access is read/write unless `attr` says otherwise; only the exact text
// "false" hides; regbit is absent, "none" or a range.
TEST_F(SchemaTest, BitfieldAccessVisibilityAndRegBit) {
  const struct {
    const char* tag;
    const char* access;
    bool visible;
    RegBit::Kind regBit;
  } cases[] = {
      {"<bitfield addr=\"1\" bit=\"0\" value=\"0\" />", "R/W", true, RegBit::Kind::kAbsent},
      {"<bitfield attr=\"R\" regbit=\"none\" visible=\"true\" />", "R", true, RegBit::Kind::kNone},
      {"<bitfield attr=\"W\" visible=\"False\" regbit=\"3:0\" />", "W", true, RegBit::Kind::kRange},
      {"<bitfield visible=\"false\" />", "R/W", false, RegBit::Kind::kAbsent},
  };
  for (const auto& c : cases) {
    On(c.tag);
    const BitfieldInfo info = ReadBitfield(store);
    EXPECT_EQ(AccessText(info.access), c.access) << c.tag;
    EXPECT_EQ(info.visible, c.visible) << c.tag;
    EXPECT_EQ(info.regBit.kind, c.regBit) << c.tag;
    EXPECT_FALSE(info.checkValue.has_value());
  }
}

// Flags are exactly "true"; the group mask needs a group name and hex text.
TEST_F(SchemaTest, RegisterFlagsAndGroupMask) {
  On("<register usb=\"True\" verify=\"true\" log=\"yes\" writeonce=\"true\" groupaddrmask=\"0F\" "
     "/>");
  RegisterInfo info = ReadRegister(store);
  EXPECT_EQ(std::to_string(info.usb) + std::to_string(info.verify) + std::to_string(info.log) +
                std::to_string(info.writeOnce),
            "0101");
  EXPECT_EQ(info.groupAddrMask, 0xFF);
  On("<register grouptabname=\"G\" groupaddrmask=\"0x0F\" textbox=\"true\" />");
  info = ReadRegister(store);
  EXPECT_EQ(info.groupAddrMask, 0xFF);
  EXPECT_EQ(info.textbox, RegisterTextbox::kTrue);
}

// The driver defaults by type; the port only when numeric.
TEST_F(SchemaTest, DriverEntryDefaultsByType) {
  const std::pair<const char*, const char*> cases[] = {
      {"<add type=\"USB\" label=\"Board\" vid=\"0400\" pid=\"c35a\" />", "usb dravik 1024 50010 -"},
      {"<add type=\"ich\" label=\"SMBus\" Part=\"3\" />", "ich dravik_i2c - - 3"},
      {"<add type=\"ich\" driver=\"/dev/i2c-7\" Part=\"x\" />", "ich /dev/i2c-7 - - -"},
      {"<add type=\"no\" />", "no  - - -"},
  };
  const auto text = [](std::optional<std::int32_t> n) { return n ? std::to_string(*n) : "-"; };
  for (const auto& [tag, expected] : cases) {
    On(tag);
    const DriverEntry e = ReadDriverEntry(store);
    EXPECT_EQ(e.type + " " + e.driver + " " + text(e.vid) + " " + text(e.pid) + " " + text(e.port),
              expected);
  }
}

}  // namespace
}  // namespace kestrova::definition
