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
}

TEST_F(SchemaTest, SingleAddressReadsAndWritesAtTheSamePlace) {
  On("<bitfield addr=\"2a\" bit=\"3\" />");
  EXPECT_EQ(ReadAddressPair(store).read, "2A");
  EXPECT_EQ(ReadAddressPair(store).write, "2A");
  EXPECT_EQ(ReadBitRange(store, "bit").high, 3);
  EXPECT_EQ(ReadBitRange(store, "bit").low, 3);
}

TEST_F(SchemaTest, BitfieldDefaults) {
  On("<bitfield addr=\"1\" bit=\"0\" value=\"0\" />");
  const BitfieldInfo info = ReadBitfield(store);
  EXPECT_EQ(info.access, Access::kReadWrite);
  EXPECT_EQ(AccessText(info.access), "R/W");
  EXPECT_TRUE(info.visible);
  EXPECT_FALSE(info.textbox);
  EXPECT_FALSE(info.scrollbar);
  EXPECT_EQ(info.regBit.kind, RegBit::Kind::kAbsent);
  EXPECT_FALSE(info.checkValue.has_value());
  EXPECT_FALSE(info.displayDivReg.has_value());
  EXPECT_FALSE(info.displayRegMin.has_value());
  EXPECT_FALSE(info.displayMax.has_value());
  EXPECT_FALSE(info.input.present);
  EXPECT_EQ(info.value, 0);
}

TEST_F(SchemaTest, BitfieldEveryAttribute) {
  On("<bitfield label=\"Temp\" addr=\"0:80\" bit=\"15:4\" regbit=\"11:0\" attr=\"RW\" "
     "value=\"7d0\" "
     "checkvalue=\"1\" visible=\"false\" textbox=\"true\" scrollbar=\"true\" units=\"\xB0"
     "C\" "
     "format=\"0.0000\" input=\"0:4095\" display=\"0:255.9375\" displaydivreg=\"1F\" "
     "displayregmin=\"2\" displaymax=\"125.5\" displayaddr=\"na\" />");
  const BitfieldInfo info = ReadBitfield(store);
  EXPECT_EQ(info.label, "Temp");
  EXPECT_EQ(info.addr.read, "0");
  EXPECT_EQ(info.addr.write, "80");
  EXPECT_EQ(info.bit.high, 15);
  EXPECT_EQ(info.bit.low, 4);
  EXPECT_EQ(info.regBit.kind, RegBit::Kind::kRange);
  EXPECT_EQ(info.regBit.range.high, 11);
  EXPECT_EQ(info.access, Access::kReadWrite);
  EXPECT_EQ(info.value, 0x7D0);
  EXPECT_EQ(info.checkValue, 1);
  EXPECT_FALSE(info.visible);
  EXPECT_TRUE(info.textbox);
  EXPECT_TRUE(info.scrollbar);
  EXPECT_EQ(info.units,
            "\xB0"
            "C");
  EXPECT_EQ(info.format, "0.0000");
  EXPECT_EQ(info.input.second, 4095);
  EXPECT_EQ(info.display.second, 255.9375);
  EXPECT_EQ(info.displayDivReg, 0x1F);
  EXPECT_EQ(info.displayRegMin, 2);
  EXPECT_EQ(info.displayMax, 125.5);
  EXPECT_EQ(info.displayAddr, "na");
}

TEST_F(SchemaTest, AccessAndRegBitNone) {
  On("<bitfield attr=\"R\" regbit=\"none\" visible=\"true\" />");
  BitfieldInfo info = ReadBitfield(store);
  EXPECT_EQ(info.access, Access::kRead);
  EXPECT_EQ(info.regBit.kind, RegBit::Kind::kNone);
  EXPECT_TRUE(info.visible);
  On("<bitfield attr=\"W\" visible=\"False\" />");
  info = ReadBitfield(store);
  EXPECT_EQ(AccessText(info.access), "W");
  EXPECT_TRUE(info.visible);  // only the exact text "false" hides
}

TEST_F(SchemaTest, FlagsAreExactlyTrue) {
  On("<register usb=\"True\" verify=\"true\" log=\"yes\" writeonce=\"true\" />");
  const RegisterInfo info = ReadRegister(store);
  EXPECT_FALSE(info.usb);
  EXPECT_TRUE(info.verify);
  EXPECT_FALSE(info.log);
  EXPECT_TRUE(info.writeOnce);
}

TEST_F(SchemaTest, RegisterEveryAttribute) {
  On("<register grouptabname=\"Limits\" groupaddrmask=\"0F\" usb=\"true\" writeonstartup=\"true\" "
     "readafterwriteonstartup=\"true\" log=\"true\" title=\"T1\" updatereg=\"x\" "
     "writeonce=\"true\" "
     "verify=\"true\" textbox=\"disable\" scrollbar=\"true\" />");
  const RegisterInfo info = ReadRegister(store);
  EXPECT_EQ(info.groupTabName, "Limits");
  EXPECT_EQ(info.groupAddrMask, 0x0F);
  EXPECT_TRUE(info.usb && info.writeOnStartup && info.readAfterWriteOnStartup && info.log);
  EXPECT_EQ(info.title, "T1");
  EXPECT_EQ(info.updateReg, "x");
  EXPECT_TRUE(info.writeOnce && info.verify && info.scrollbar);
  EXPECT_EQ(info.textbox, RegisterTextbox::kDisable);
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

TEST_F(SchemaTest, SmallElements) {
  On("<port addr=\"400\" value=\"3\" />");
  EXPECT_EQ(ReadPortSetting(store).addr, 0x400);
  EXPECT_EQ(ReadPortSetting(store).value, 3);
  On("<interface type=\"i2c\" />");
  EXPECT_EQ(ReadInterface(store).type, "i2c");
  On("<addr value=\"48\" label=\"Address\" />");
  EXPECT_EQ(ReadChipAddress(store).value, 0x48);
  EXPECT_EQ(ReadChipAddress(store).label, "Address");
  On("<part label=\"Sensor\" />");
  EXPECT_EQ(ReadPart(store).label, "Sensor");
  On("<hide addr=\"1:81\" bit=\"1:0\" value=\"2\" not=\"true\" />");
  const ConditionInfo hide = ReadCondition(store);
  EXPECT_EQ(hide.addr.read, "1");
  EXPECT_EQ(hide.value, 2);
  EXPECT_TRUE(hide.negate);
  On("<add type=\"combo\" timerlock=\"true\" />");
  EXPECT_TRUE(ReadComboList(store).timerLock);
  On("<combo label=\"Off\" />");
  EXPECT_EQ(ReadComboChoice(store).label, "Off");
  EXPECT_FALSE(ReadComboChoice(store).value.has_value());
  On("<add type=\"attr\" attr=\"R\" />");
  EXPECT_EQ(ReadAttrRule(store).access, Access::kRead);
  On("<add type=\"display\" display=\"0:10\" />");
  EXPECT_FALSE(ReadDisplayAlternative(store).input.present);
  EXPECT_EQ(ReadDisplayAlternative(store).display.second, 10);
  On("<updatereg addr=\"3\" type=\"ignore\" value=\"ff\" />");
  EXPECT_EQ(ReadUpdateRegRule(store).addr, 3);
  EXPECT_EQ(ReadUpdateRegRule(store).type, "ignore");
  EXPECT_EQ(ReadUpdateRegRule(store).value, 0xFF);
  On("<add type=\"writelast\" always=\"true\" order=\"2\" />");
  const OrderRule rule = ReadOrderRule(store);
  EXPECT_EQ(rule.type, "writelast");
  EXPECT_EQ(rule.valueText, "");
  EXPECT_FALSE(rule.value.has_value());
  EXPECT_TRUE(rule.always);
  EXPECT_EQ(rule.order, "2");
}

TEST_F(SchemaTest, MalformedBitNumbersStayInRange) {
  On("<bitfield bit=\"99999999999:-99999999999\" />");
  const BitRange bit = ReadBitRange(store, "bit");
  EXPECT_EQ(bit.high, 32767);
  EXPECT_EQ(bit.low, -32768);
}

}  // namespace
}  // namespace kestrova::definition
