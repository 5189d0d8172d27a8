#include <gtest/gtest.h>

#include "engine_fixture.hpp"

namespace kestrova::engine {
namespace {

using testing::EngineTest;
using Addrs = std::vector<std::int16_t>;
using Bytes = std::vector<std::uint8_t>;

const char* kWordRegister =
    "  <register label=\"Temp\" verify=\"true\">\r\n"
    "   <bitfield label=\"low\" addr=\"1\" bit=\"7:0\" value=\"0\"/>\r\n"
    "   <bitfield label=\"high\" addr=\"0\" bit=\"15:8\" value=\"0\"/>\r\n"
    "  </register>\r\n";

class WordRegister : public EngineTest {
 protected:
  void SetUp() override { Load(kWordRegister); }

  // Reads the register with the given successive readings of addresses 0 and 1.
  TransferList ReadWith(const Bytes& high, const Bytes& low) {
    library.readings[0] = high;
    library.readings[1] = low;
    TransferList list = Build(Direction::Read, Scope::All);
    std::int16_t count = list.count;
    EXPECT_TRUE(session.Bridge().ReadBoard(7, 0, 2, 0x48, list.address, list.data, count, false));
    bool ok = false;
    EXPECT_TRUE(ApplyTransferResult(session, Direction::Read, list, true, ok));
    EXPECT_TRUE(ok);
    return list;
  }
};

TEST_F(WordRegister, VerifiedPairIsReadFourTimesInAddressOrder) {
  const TransferList list = Build(Direction::Read, Scope::All);
  EXPECT_EQ(Addresses(list), (Addrs{0, 1, 0, 1, 0, 1, 0, 1}));
  EXPECT_EQ(list.line[0], RegisterLine(1));
  const TransferList write = Build(Direction::Write, Scope::All);
  EXPECT_EQ(Addresses(write), (Addrs{0, 1}));  // writes are never repeated
}

TEST_F(WordRegister, WithoutVerifyThePairIsReadOnce) {
  Load(
      "  <register label=\"Temp\">\r\n"
      "   <bitfield label=\"low\" addr=\"1\" bit=\"7:0\" value=\"0\"/>\r\n"
      "   <bitfield label=\"high\" addr=\"0\" bit=\"15:8\" value=\"0\"/>\r\n"
      "  </register>\r\n");
  EXPECT_EQ(Addresses(Build(Direction::Read, Scope::All)), (Addrs{0, 1}));
}

TEST_F(WordRegister, FirstTwoAgreeingReadingsWin) {
  const TransferList list = ReadWith({0x12, 0x12, 0x99, 0x98}, {0x34, 0x34, 0x77, 0x76});
  EXPECT_EQ(Addresses(list), (Addrs{0, 1}));
  EXPECT_EQ(Data(list), (Bytes{0x12, 0x34}));
  EXPECT_EQ(session.images.valueImage[0], 0x12);
  EXPECT_EQ(session.images.valueImage[1], 0x34);
  EXPECT_EQ(session.images.deviceImage[0], 0x12);
  EXPECT_EQ(Bitfield(1), "34");
  EXPECT_EQ(Bitfield(2), "12");
}

TEST_F(WordRegister, LaterAgreementWins) {
  const TransferList list = ReadWith({0x01, 0x02, 0x02, 0x03}, {0x05, 0x06, 0x06, 0x07});
  EXPECT_EQ(Data(list), (Bytes{0x02, 0x06}));
  EXPECT_EQ(Bitfield(2), "2");
}

TEST_F(WordRegister, WhenNoneAgreeTheFourthReadingStays) {
  const TransferList list = ReadWith({0x01, 0x02, 0x03, 0x04}, {0x05, 0x06, 0x07, 0x08});
  EXPECT_EQ(Addresses(list), (Addrs{0, 1}));
  EXPECT_EQ(Data(list), (Bytes{0x04, 0x08}));
  EXPECT_EQ(Bitfield(1), "8");
  EXPECT_EQ(Bitfield(2), "4");
}

TEST_F(WordRegister, AHalfThatChangesSpoilsThePair) {
  // The high byte agrees at once, the low byte only from the third reading.
  const TransferList list = ReadWith({0x10, 0x10, 0x10, 0x10}, {0x01, 0x02, 0x03, 0x03});
  EXPECT_EQ(Data(list), (Bytes{0x10, 0x03}));
}

TEST_F(EngineTest, RegistersSharingAByteMakeOneEntry) {
  Load(
      "  <register label=\"A\">\r\n"
      "   <bitfield addr=\"5\" bit=\"7:4\" value=\"3\"/>\r\n"
      "  </register>\r\n"
      "  <register label=\"B\">\r\n"
      "   <bitfield addr=\"5\" bit=\"3:0\" value=\"a\"/>\r\n"
      "  </register>\r\n");
  const TransferList list = Build(Direction::Read, Scope::All);
  EXPECT_EQ(Addresses(list), (Addrs{5}));
  EXPECT_EQ(Data(list), (Bytes{0x3A}));
  EXPECT_EQ(list.line[0], RegisterLine(2));
  const TransferList write = Build(Direction::Write, Scope::All);
  EXPECT_EQ(Data(write), (Bytes{0x3A}));
}

TEST_F(EngineTest, SharedByteWithEntriesBetweenIsReadTwiceAndTheLaterApplies) {
  Load(
      "  <register label=\"A\">\r\n"
      "   <bitfield addr=\"5\" bit=\"7:4\" value=\"3\"/>\r\n"
      "   <bitfield addr=\"6\" bit=\"7:0\" value=\"1\"/>\r\n"
      "  </register>\r\n"
      "  <register label=\"B\">\r\n"
      "   <bitfield addr=\"5\" bit=\"3:0\" value=\"A\"/>\r\n"
      "  </register>\r\n");
  TransferList list = Build(Direction::Read, Scope::All);
  EXPECT_EQ(Addresses(list), (Addrs{5, 6, 5}));
  EXPECT_EQ(Data(list), (Bytes{0x30, 0x01, 0x0A}));
  list.data = {};
  list.data[0] = 0x11;
  list.data[1] = 0x44;
  list.data[2] = 0x22;
  bool ok = false;
  EXPECT_TRUE(ApplyTransferResult(session, Direction::Read, list, false, ok));
  EXPECT_EQ(Addresses(list), (Addrs{6, 5}));
  EXPECT_EQ(session.images.valueImage[5], 0x22);
  EXPECT_EQ(session.images.deviceImage[5], 0x00);  // updateDevice off
  EXPECT_EQ(Bitfield(1), "2");
  EXPECT_EQ(Bitfield(3), "2");
}

TEST_F(EngineTest, ChangedScopeWritesOnlyModifiedRegisters) {
  Load(
      "  <register label=\"A\">\r\n"
      "   <bitfield addr=\"5\" bit=\"7:0\" value=\"1\"/>\r\n"
      "  </register>\r\n"
      "  <register label=\"B\">\r\n"
      "   <bitfield addr=\"6\" bit=\"7:0\" value=\"2\"/>\r\n"
      "  </register>\r\n");
  EXPECT_EQ(Build(Direction::Write, Scope::Changed).count, 0);
  session.images.MarkModified(6, RegisterLine(2), true);
  const TransferList list = Build(Direction::Write, Scope::Changed);
  EXPECT_EQ(Addresses(list), (Addrs{6}));
  EXPECT_EQ(Data(list), (Bytes{2}));
  EXPECT_EQ(Build(Direction::Write, Scope::All).count, 2);
}

const char* kWriteFirst =
    "  <register label=\"C\">\r\n"
    "   <bitfield addr=\"10\" bit=\"0\" value=\"0\">\r\n"
    "    <add type=\"writefirst\" order=\"1\" always=\"true\" value=\"1\"/>\r\n"
    "   </bitfield>\r\n"
    "   <bitfield addr=\"10\" bit=\"7:1\" value=\"5\"/>\r\n"
    "  </register>\r\n"
    "  <register label=\"D\">\r\n"
    "   <bitfield addr=\"11\" bit=\"7:0\" value=\"22\"/>\r\n"
    "  </register>\r\n";

TEST_F(EngineTest, WriteFirstAlwaysCarriesItsValueFirst) {
  Load(kWriteFirst);
  const TransferList list = Build(Direction::Write, Scope::All);
  EXPECT_EQ(Addresses(list), (Addrs{0x10, 0x11}));
  EXPECT_EQ(Data(list), (Bytes{0x0B, 0x22}));
  // Reads are not reordered by write rules.
  EXPECT_EQ(Addresses(Build(Direction::Read, Scope::All)), (Addrs{0x10, 0x11}));
}

TEST_F(EngineTest, WriteLastSendsTheRealValueAtTheEnd) {
  Load(
      "  <register label=\"C\">\r\n"
      "   <bitfield addr=\"10\" bit=\"0\" value=\"0\">\r\n"
      "    <add type=\"writefirst\" order=\"1\" always=\"true\" value=\"1\"/>\r\n"
      "    <add type=\"writelast\" order=\"1\"/>\r\n"
      "   </bitfield>\r\n"
      "   <bitfield addr=\"10\" bit=\"7:1\" value=\"5\"/>\r\n"
      "  </register>\r\n"
      "  <register label=\"D\">\r\n"
      "   <bitfield addr=\"11\" bit=\"7:0\" value=\"22\"/>\r\n"
      "  </register>\r\n");
  TransferList list = Build(Direction::Write, Scope::All);
  EXPECT_EQ(Addresses(list), (Addrs{0x10, 0x11, 0x10}));
  EXPECT_EQ(Data(list), (Bytes{0x0B, 0x22, 0x0A}));
  bool ok = false;
  EXPECT_TRUE(ApplyTransferResult(session, Direction::Write, list, true, ok));
  EXPECT_EQ(session.images.valueImage[0x10], 0x0A);
  EXPECT_EQ(session.images.deviceImage[0x10], 0x0A);
}

TEST_F(EngineTest, WriteRulesMatchTheFieldValue) {
  Load(
      "  <register label=\"C\">\r\n"
      "   <bitfield addr=\"10\" bit=\"1:0\" value=\"2\">\r\n"
      "    <add type=\"writefirst\" order=\"2\" value=\"2\"/>\r\n"
      "    <add type=\"writelast\" order=\"1\" value=\"3\"/>\r\n"
      "   </bitfield>\r\n"
      "  </register>\r\n"
      "  <register label=\"D\">\r\n"
      "   <bitfield addr=\"11\" bit=\"7:0\" value=\"1\">\r\n"
      "    <add type=\"writefirst\" order=\"1\" value=\"0\"/>\r\n"
      "    <add type=\"writelast\" order=\"2\" value=\"1\"/>\r\n"
      "   </bitfield>\r\n"
      "  </register>\r\n"
      "  <register label=\"E\">\r\n"
      "   <bitfield addr=\"12\" bit=\"7:0\" value=\"0\"/>\r\n"
      "  </register>\r\n");
  // 10 matches its writefirst (value 2), 11 only its writelast (value 1).
  const TransferList list = Build(Direction::Write, Scope::All);
  EXPECT_EQ(Addresses(list), (Addrs{0x10, 0x12, 0x11}));
  EXPECT_EQ(Data(list), (Bytes{0x02, 0x00, 0x01}));
}

TEST_F(EngineTest, ReadLastOrdersRunBackwardsToTheEnd) {
  Load(
      "  <register label=\"E\">\r\n"
      "   <bitfield addr=\"20\" bit=\"7:0\" value=\"0\">\r\n"
      "    <add type=\"readlast\" order=\"1\"/>\r\n"
      "   </bitfield>\r\n"
      "  </register>\r\n"
      "  <register label=\"F\">\r\n"
      "   <bitfield addr=\"21\" bit=\"7:0\" value=\"0\">\r\n"
      "    <add type=\"readlast\" order=\"2\"/>\r\n"
      "   </bitfield>\r\n"
      "  </register>\r\n"
      "  <register label=\"G\">\r\n"
      "   <bitfield addr=\"22\" bit=\"7:0\" value=\"0\">\r\n"
      "    <add type=\"readfirst\" order=\"2\"/>\r\n"
      "   </bitfield>\r\n"
      "  </register>\r\n"
      "  <register label=\"H\">\r\n"
      "   <bitfield addr=\"23\" bit=\"7:0\" value=\"0\">\r\n"
      "    <add type=\"readfirst\" order=\"1\"/>\r\n"
      "   </bitfield>\r\n"
      "  </register>\r\n"
      "  <register label=\"I\">\r\n"
      "   <bitfield addr=\"24\" bit=\"7:0\" value=\"0\"/>\r\n"
      "  </register>\r\n");
  EXPECT_EQ(Addresses(Build(Direction::Read, Scope::All)), (Addrs{0x23, 0x22, 0x24, 0x21, 0x20}));
  // Writes ignore read rules.
  EXPECT_EQ(Addresses(Build(Direction::Write, Scope::All)), (Addrs{0x20, 0x21, 0x22, 0x23, 0x24}));
}

TEST_F(EngineTest, LowerAddressesOfARegisterComeFirst) {
  Load(
      "  <register label=\"A\">\r\n"
      "   <bitfield addr=\"5:6\" bit=\"7:4\" value=\"1\"/>\r\n"
      "   <bitfield addr=\"6:5\" bit=\"3:0\" value=\"2\"/>\r\n"
      "  </register>\r\n"
      "  <register label=\"B\">\r\n"
      "   <bitfield addr=\"400\" bit=\"7:0\" value=\"3\"/>\r\n"
      "   <bitfield addr=\"400\" bit=\"7:0\" value=\"0\" attr=\"W\"/>\r\n"
      "  </register>\r\n");
  // The write-only field makes the board byte unreadable.
  EXPECT_EQ(Addresses(Build(Direction::Read, Scope::All)), (Addrs{5, 6}));
  const TransferList write = Build(Direction::Write, Scope::All);
  EXPECT_EQ(Addresses(write), (Addrs{5, 6, 0x400}));
  EXPECT_EQ(Data(write), (Bytes{0x02, 0x10, 0x03}));
}

TEST_F(EngineTest, EqualChipAddressesInARowKeepTheLast) {
  Load(
      "  <register label=\"A\">\r\n"
      "   <bitfield addr=\"5\" bit=\"7:4\" value=\"1\"/>\r\n"
      "   <bitfield addr=\"400\" bit=\"7:0\" value=\"3\"/>\r\n"
      "   <bitfield addr=\"5\" bit=\"3:0\" value=\"2\"/>\r\n"
      "  </register>\r\n"
      "  <register label=\"B\">\r\n"
      "   <bitfield addr=\"21\" bit=\"7:0\" value=\"1\"/>\r\n"
      "   <bitfield addr=\"20\" bit=\"7:0\" value=\"2\"/>\r\n"
      "   <bitfield addr=\"21\" bit=\"7:0\" value=\"3\"/>\r\n"
      "  </register>\r\n");
  // A board entry between two 5s does not keep them apart; 20 changes places
  // with the 21 before it, which then meets the next 21.
  const TransferList list = Build(Direction::Read, Scope::All);
  EXPECT_EQ(Addresses(list), (Addrs{0x400, 5, 0x20, 0x21}));
  EXPECT_EQ(Data(list), (Bytes{0x03, 0x02, 0x02, 0x03}));
}

TEST_F(EngineTest, HiddenAndUsbOnlyRegistersTakeNoPart) {
  Load(
      "  <register label=\"A\">\r\n"
      "   <hide addr=\"9\" bit=\"0\" value=\"1\"/>\r\n"
      "   <bitfield addr=\"5\" bit=\"7:0\" value=\"1\"/>\r\n"
      "  </register>\r\n"
      "  <register label=\"B\" usb=\"true\">\r\n"
      "   <bitfield addr=\"6\" bit=\"7:0\" value=\"2\"/>\r\n"
      "  </register>\r\n"
      "  <register label=\"C\">\r\n"
      "   <bitfield addr=\"7\" bit=\"7:0\" value=\"3\">\r\n"
      "    <hide addr=\"9\" bit=\"1\" value=\"1\" not=\"true\"/>\r\n"
      "   </bitfield>\r\n"
      "   <bitfield addr=\"8\" bit=\"7:0\" value=\"4\"/>\r\n"
      "  </register>\r\n");
  EXPECT_EQ(Addresses(Build(Direction::Read, Scope::All)), (Addrs{5, 6, 8}));
  session.images.valueImage[9] = 0x03;
  EXPECT_EQ(Addresses(Build(Direction::Read, Scope::All)), (Addrs{6, 7, 8}));
  session.connection.link = kLinkSmbus;
  EXPECT_EQ(Addresses(Build(Direction::Read, Scope::All)), (Addrs{7, 8}));
}

TEST_F(EngineTest, UnchangedScopeSkipsPendingWritableBytes) {
  Load(
      "  <register label=\"A\">\r\n"
      "   <bitfield addr=\"5\" bit=\"7:0\" value=\"1\"/>\r\n"
      "  </register>\r\n"
      "  <register label=\"B\">\r\n"
      "   <bitfield addr=\"401\" bit=\"7:0\" value=\"2\" attr=\"R\"/>\r\n"
      "  </register>\r\n"
      "  <register label=\"C\">\r\n"
      "   <bitfield addr=\"402\" bit=\"7:0\" value=\"3\" attr=\"W\"/>\r\n"
      "  </register>\r\n");
  session.images.MarkModified(5, RegisterLine(1), true);
  session.images.MarkModified(0x401, RegisterLine(2), true);
  // 5 is pending and writable; the read-only board byte is read all the
  // same; the write-only one never.
  EXPECT_EQ(Addresses(Build(Direction::Read, Scope::Unchanged)), (Addrs{0x401}));
  EXPECT_EQ(Addresses(Build(Direction::Read, Scope::All)), (Addrs{5, 0x401}));
  EXPECT_EQ(Addresses(Build(Direction::Write, Scope::All)), (Addrs{5, 0x402}));
}

TEST_F(EngineTest, LogListIsBuiltOnceUntilAnotherPartOpens) {
  Load(
      "  <register label=\"A\" log=\"true\">\r\n"
      "   <bitfield addr=\"5\" bit=\"7:0\" value=\"1\"/>\r\n"
      "  </register>\r\n"
      "  <register label=\"B\">\r\n"
      "   <bitfield addr=\"6\" bit=\"7:0\" value=\"2\"/>\r\n"
      "  </register>\r\n");
  TransferList first = Build(Direction::Read, Scope::Log);
  EXPECT_EQ(Addresses(first), (Addrs{5}));
  EXPECT_EQ(Data(first), (Bytes{1}));
  EXPECT_TRUE(session.logListCache.valid);
  SetBitfield(1, "9");
  TransferList second = Build(Direction::Read, Scope::Log);
  EXPECT_EQ(Data(second), (Bytes{1}));  // the cached list, not a new walk
  EXPECT_EQ(Data(Build(Direction::Read, Scope::All)), (Bytes{9, 2}));

  Load(
      "  <register label=\"B\" log=\"true\">\r\n"
      "   <bitfield addr=\"6\" bit=\"7:0\" value=\"2\"/>\r\n"
      "  </register>\r\n");
  EXPECT_FALSE(session.logListCache.valid);
  EXPECT_EQ(Addresses(Build(Direction::Read, Scope::Log)), (Addrs{6}));
}

TEST_F(EngineTest, UpdateRegScopeTakesRegistersWithDependants) {
  Load(
      "  <register label=\"A\" updatereg=\"6\">\r\n"
      "   <bitfield addr=\"5\" bit=\"7:0\" value=\"1\"/>\r\n"
      "  </register>\r\n"
      "  <register label=\"B\">\r\n"
      "   <bitfield addr=\"6\" bit=\"7:0\" value=\"2\"/>\r\n"
      "  </register>\r\n");
  EXPECT_EQ(Addresses(Build(Direction::Write, Scope::UpdateReg)), (Addrs{5}));
}

TEST_F(EngineTest, NoPartGivesAnEmptyList) {
  ASSERT_TRUE(store.LoadMarkupText("<definition>\r\n <driver/>\r\n</definition>\r\n"));
  session.OnPartOpened();
  EXPECT_EQ(Build(Direction::Read, Scope::All).count, 0);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(EngineTest, CheckValueMismatchTurnsOkFalseUnlessSwitchedOff) {
  Load(
      "  <register label=\"ID\">\r\n"
      "   <bitfield addr=\"0\" bit=\"0\" value=\"0\" checkvalue=\"00\"/>\r\n"
      "   <bitfield addr=\"0\" bit=\"7:1\" value=\"0\" checkvalue=\"2A\"/>\r\n"
      "  </register>\r\n");
  TransferList list = Build(Direction::Read, Scope::All);
  list.data[0] = 0x55;  // bit 0 = 1, bits 7:1 = 2A
  bool ok = true;
  EXPECT_TRUE(ApplyTransferResult(session, Direction::Read, list, true, ok));
  EXPECT_FALSE(ok);
  EXPECT_EQ(Bitfield(1), "1");  // applied all the same
  EXPECT_EQ(Bitfield(2), "2A");

  session.connection.testFlags = kTestSkipCheckValue;
  list = Build(Direction::Read, Scope::All);
  list.data[0] = 0x55;
  EXPECT_TRUE(ApplyTransferResult(session, Direction::Read, list, true, ok));
  EXPECT_TRUE(ok);
  list.data[0] = 0x54;
  list.count = 1;
  session.connection.testFlags = 0;
  EXPECT_TRUE(ApplyTransferResult(session, Direction::Read, list, true, ok));
  EXPECT_TRUE(ok);
}

TEST_F(EngineTest, ApplyWritesValuesWithoutMarkingTheDefinitionChanged) {
  Load(
      "  <register label=\"A\">\r\n"
      "   <bitfield addr=\"5:85\" bit=\"7:4\" value=\"0\"/>\r\n"
      "   <bitfield addr=\"5:85\" bit=\"3:0\" value=\"0\"/>\r\n"
      "  </register>\r\n");
  EXPECT_FALSE(store.IsModified());
  TransferList list;
  list.Append(5, 0xC3, 0);
  bool ok = false;
  EXPECT_TRUE(ApplyTransferResult(session, Direction::Read, list, true, ok));
  EXPECT_EQ(session.images.valueImage[5], 0xC3);
  EXPECT_EQ(session.images.valueImage[0x85], 0xC3);  // both addresses of the field
  EXPECT_EQ(session.images.deviceImage[0x85], 0xC3);
  EXPECT_EQ(Bitfield(1), "C");
  EXPECT_EQ(Bitfield(2), "3");
  EXPECT_FALSE(store.IsModified());
  // A write result goes by the write address.
  list = TransferList{};
  list.Append(0x85, 0x0F, 0);
  EXPECT_TRUE(ApplyTransferResult(session, Direction::Write, list, false, ok));
  EXPECT_EQ(Bitfield(1), "0");
  EXPECT_EQ(Bitfield(2), "F");
  EXPECT_EQ(session.images.deviceImage[5], 0xC3);
}

}  // namespace
}  // namespace kestrova::engine
