#include "definition/schema.hpp"

#include <gtest/gtest.h>

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

TEST_F(SchemaTest, PairsSplitAtTheFirstColonAfterUpperCasing) {
  On("<bitfield addr=\"10:9a\" bit=\"7:4\" input=\"-128:127.5\" display=\"3\" other=\"a:b:c\" />");
  const AddressPair addr = ReadAddressPair(store);
  EXPECT_EQ(addr.read, "10");
  EXPECT_EQ(addr.write, "9A");
  const BitRange bit = ReadBitRange(store, "bit");
  EXPECT_EQ(bit.high, 7);
  EXPECT_EQ(bit.low, 4);
  const RealRange input = ReadRealRange(store, "input");
  EXPECT_TRUE(input.present);
  EXPECT_EQ(input.first, -128);
  EXPECT_EQ(input.second, 127.5);
  const RealRange display = ReadRealRange(store, "display");
  EXPECT_EQ(display.first, 3);
  EXPECT_EQ(display.second, 3);
  EXPECT_FALSE(ReadRealRange(store, "missing").present);
  const TextPair other = SplitPair(store, "other");
  EXPECT_EQ(other.first, "A");
  EXPECT_EQ(other.second, "B:C");
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

TEST_F(SchemaTest, FlagsAreExactlyTrue) {
  On("<register usb=\"True\" verify=\"true\" log=\"yes\" writeonce=\"true\" />");
  const RegisterInfo info = ReadRegister(store);
  EXPECT_FALSE(info.usb);
  EXPECT_TRUE(info.verify);
  EXPECT_FALSE(info.log);
  EXPECT_TRUE(info.writeOnce);
}

TEST_F(SchemaTest, GroupMaskNeedsGroupNameAndHexText) {
  On("<register groupaddrmask=\"0F\" />");
  EXPECT_EQ(ReadRegister(store).groupAddrMask, 0xFF);
  On("<register grouptabname=\"G\" groupaddrmask=\"0x0F\" />");
  EXPECT_EQ(ReadRegister(store).groupAddrMask, 0xFF);
  On("<register grouptabname=\"G\" textbox=\"true\" />");
  EXPECT_EQ(ReadRegister(store).textbox, RegisterTextbox::kTrue);
}

TEST_F(SchemaTest, DriverEntryDefaultsByType) {
  On("<add type=\"USB\" label=\"Board\" vid=\"0400\" pid=\"c35a\" />");
  DriverEntry entry = ReadDriverEntry(store);
  EXPECT_EQ(entry.type, "usb");
  EXPECT_EQ(entry.driver, "dravik");
  EXPECT_EQ(entry.vid, 0x400);
  EXPECT_EQ(entry.pid, 0xC35A);
  EXPECT_FALSE(entry.port.has_value());
  On("<add type=\"ich\" label=\"SMBus\" Part=\"3\" />");
  entry = ReadDriverEntry(store);
  EXPECT_EQ(entry.driver, "dravik_i2c");
  EXPECT_EQ(entry.port, 3);
  On("<add type=\"ich\" driver=\"/dev/i2c-7\" Part=\"x\" />");
  entry = ReadDriverEntry(store);
  EXPECT_EQ(entry.driver, "/dev/i2c-7");
  EXPECT_FALSE(entry.port.has_value());
  On("<add type=\"no\" />");
  EXPECT_EQ(ReadDriverEntry(store).driver, "");
}

TEST_F(SchemaTest, MalformedBitNumbersStayInRange) {
  On("<bitfield bit=\"99999999999:-99999999999\" />");
  const BitRange bit = ReadBitRange(store, "bit");
  EXPECT_EQ(bit.high, 32767);
  EXPECT_EQ(bit.low, -32768);
}

}  // namespace
}  // namespace kestrova::definition
