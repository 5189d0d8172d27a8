// Transfer lists from definitions: which bytes, in which order, with which
// data; verified pairs, shared bytes, order rules, scopes; how a result comes
// back into the bit fields; and the limits of a list, which the definition
// checker reports too.
#include <gtest/gtest.h>

#include <string>

#include "definition/checker.hpp"
#include "definition/numbers.hpp"
#include "engine/register_operations.hpp"
#include "engine_fixture.hpp"

namespace kestrova::engine {
namespace {

using testing::EngineTest;

constexpr const char* kWord =
    ">register verify=true >>bitfield addr=1 bit=7:0 value=0 >>bitfield addr=0 bit=15:8 value=0";

TEST_F(EngineTest, ListsHoldTheBytesOfTheDefinitionInTheirOrder) {
  const struct {
    const char* part;
    const char* read;   // entries "address=data" of a read of every register
    const char* write;  // and of a write
  } cases[] = {
      // A verified pair is read four times, written once.
      {kWord, "0=00 1=00 0=00 1=00 0=00 1=00 0=00 1=00", "0=00 1=00"},
      {">register >>bitfield addr=1 bit=7:0 value=0 >>bitfield addr=0 bit=15:8 value=0",
       "0=00 1=00", "0=00 1=00"},
      // Registers sharing a byte make one entry; with entries between them
      // every entry carries the whole byte, and a write sends it once, last.
      {">register >>bitfield addr=5 bit=7:4 value=3 >register >>bitfield addr=5 bit=3:0 value=a",
       "5=3A", "5=3A"},
      {">register >>bitfield addr=5 bit=7:4 value=3 >>bitfield addr=6 bit=7:0 value=1 >register "
       ">>bitfield addr=5 bit=3:0 value=A",
       "5=3A 6=01 5=3A", "6=01 5=3A"},
      // writefirst always carries its value first; writelast the real one at the end.
      {">register >>bitfield addr=10 bit=0 value=0 >>>add type=writefirst order=1 always=true "
       "value=1 >>bitfield addr=10 bit=7:1 value=5 >register >>bitfield addr=11 bit=7:0 value=22",
       "10=0A 11=22", "10=0B 11=22"},
      {">register >>bitfield addr=10 bit=0 value=0 >>>add type=writefirst order=1 always=true "
       "value=1 >>>add type=writelast order=1 >>bitfield addr=10 bit=7:1 value=5 >register "
       ">>bitfield addr=11 bit=7:0 value=22",
       "10=0A 11=22", "10=0B 11=22 10=0A"},
      // Without always, a rule holds when the field has its value (hexadecimal, as every value).
      {">register >>bitfield addr=10 bit=1:0 value=2 >>>add type=writefirst order=2 value=2 "
       ">>>add type=writelast order=1 value=3 >register >>bitfield addr=11 bit=7:0 value=1 >>>add "
       "type=writefirst order=1 value=0 >>>add type=writelast order=2 value=1 >register >>bitfield "
       "addr=12 bit=7:0 value=0",
       "10=02 11=01 12=00", "10=02 12=00 11=01"},
      {">register >>bitfield addr=10 bit=7:0 value=1 >register >>bitfield addr=11 bit=7:0 value=1F "
       ">>>add type=writefirst order=1 value=1F",
       "10=01 11=1F", "11=1F 10=01"},
      // readfirst in ascending order first, readlast descending at the end.
      {">register >>bitfield addr=20 value=0 bit=7:0 >>>add type=readlast order=1 >register "
       ">>bitfield addr=21 value=0 bit=7:0 >>>add type=readlast order=2 >register >>bitfield "
       "addr=22 value=0 bit=7:0 >>>add type=readfirst order=2 >register >>bitfield addr=23 value=0 "
       "bit=7:0 >>>add type=readfirst order=1 >register >>bitfield addr=24 bit=7:0 value=0",
       "23=00 22=00 24=00 21=00 20=00", "20=00 21=00 22=00 23=00 24=00"},
      // A register's lower addresses first; a write-only field makes its byte unreadable.
      {">register >>bitfield addr=5:6 bit=7:4 value=1 >>bitfield addr=6:5 bit=3:0 value=2 "
       ">register "
       ">>bitfield addr=400 bit=7:0 value=3 >>bitfield addr=400 bit=7:0 value=0 attr=W",
       "5=10 6=02", "5=02 6=10 400=03"},
      // Equal chip addresses in a row keep the last; board entries do not part them.
      {">register >>bitfield addr=5 bit=7:4 value=1 >>bitfield addr=400 bit=7:0 value=3 >>bitfield "
       "addr=5 bit=3:0 value=2 >register >>bitfield addr=21 bit=3:0 value=1 >>bitfield addr=20 "
       "bit=7:0 value=2 >>bitfield addr=21 bit=7:4 value=3",
       "400=03 5=12 20=02 21=31", "400=03 5=12 20=02 21=31"},
      // 3FF is the last chip register: folded, and always writable.
      {">register >>bitfield addr=3FF bit=7:4 value=1 >>bitfield addr=400 bit=7:0 value=3 "
       ">>bitfield addr=3FF bit=3:0 value=2 attr=R",
       "400=03 3FF=12", "400=03 3FF=12"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.part);
    Part(c.part);
    EXPECT_EQ(Entries(Build(Direction::Read, Scope::All)), c.read);
    EXPECT_EQ(Entries(Build(Direction::Write, Scope::All)), c.write);
  }
}

TEST_F(EngineTest, ScopesTakeTheirRegistersOnly) {
  Part(
      ">register log=true updatereg=6 >>bitfield addr=5 bit=7:0 value=1 >register >>bitfield "
      "addr=401 bit=7:0 value=2 attr=R >register >>hide addr=9 bit=0 value=1 >>bitfield addr=402 "
      "bit=7:0 value=3 attr=W >register usb=true >>bitfield addr=6 bit=7:0 value=4 >>>hide addr=9 "
      "bit=1 value=1 not=true");
  EXPECT_EQ(Entries(Build(Direction::Read, Scope::Log)), "5=01");
  EXPECT_EQ(Entries(Build(Direction::Write, Scope::UpdateReg)), "5=01");
  EXPECT_EQ(Entries(Build(Direction::Write, Scope::Changed)), "");
  // A pending writable byte is not read back; the read-only one is, the write-only one never.
  session.images.MarkModified(5, RegisterLine(1), true);
  session.images.MarkModified(0x401, RegisterLine(2), true);
  EXPECT_EQ(Entries(Build(Direction::Read, Scope::Unchanged)), "401=02");
  EXPECT_EQ(Entries(Build(Direction::Write, Scope::Changed)), "5=01");
  EXPECT_EQ(Entries(Build(Direction::Read, Scope::All)), "5=01 401=02");
  EXPECT_EQ(Entries(Build(Direction::Write, Scope::All)), "5=01 402=03");
  // Hidden and USB-only registers and fields take no part.
  session.images.valueImage[9] = 0x03;
  EXPECT_EQ(Entries(Build(Direction::Write, Scope::All)), "5=01 6=04");
  session.connection.link = kLinkSmbus;
  EXPECT_EQ(Entries(Build(Direction::Write, Scope::All)), "5=01");
  // The log list carries the values shown now (what a read without a chip returns).
  SetBitfield(1, "9");
  EXPECT_EQ(Entries(Build(Direction::Read, Scope::Log)), "5=09");
  Part(">register log=true >>bitfield addr=7 bit=7:0 value=2");
  EXPECT_EQ(Entries(Build(Direction::Read, Scope::Log)), "7=02");
  ASSERT_TRUE(store.LoadMarkupText("<definition>\r\n <driver/>\r\n</definition>\r\n"));
  session.OnPartOpened();
  EXPECT_EQ(Build(Direction::Read, Scope::All).count, 0);
  EXPECT_EQ(messages.Prompts(), "");
}

TEST_F(EngineTest, AVerifiedPairTakesTheFirstTwoReadingsThatAgree) {
  const struct {
    std::vector<std::uint8_t> high, low;
    const char* read;  // high and low byte, as the bit fields and images hold them
  } cases[] = {
      {{0x12, 0x12, 0x99, 0x98}, {0x34, 0x34, 0x77, 0x76}, "12 34"},
      {{0x01, 0x02, 0x02, 0x03}, {0x05, 0x06, 0x06, 0x07}, "2 6"},
      {{0x01, 0x02, 0x03, 0x04}, {0x05, 0x06, 0x07, 0x08}, "4 8"},   // none: the fourth
      {{0x10, 0x10, 0x10, 0x10}, {0x01, 0x02, 0x03, 0x03}, "10 3"},  // both halves must
  };
  Part(kWord);
  for (const auto& c : cases) {
    library.readings[0] = c.high;
    library.readings[1] = c.low;
    ASSERT_TRUE(ReadUnmodified(session));
    EXPECT_EQ(Bitfield(2) + " " + Bitfield(1), c.read);
    const RegisterImages& images = session.images;
    EXPECT_EQ(definition::HexText(images.deviceImage[0]) + " " +
                  definition::HexText(images.valueImage[1]),
              c.read);
  }
}

// A read result (a write result goes by the write address: Open Reg's test).
TEST_F(EngineTest, AResultComesBackIntoTheBitFieldsWithoutChangingTheDefinition) {
  Part(
      ">register >>bitfield addr=5:85 bit=7:4 value=0 >>bitfield addr=5:85 bit=3:0 value=0 "
      ">register >>bitfield addr=6 bit=7:0 value=1 >register >>bitfield addr=5 bit=3:0 value=A");
  TransferList list = Build(Direction::Read, Scope::All);
  ASSERT_EQ(Entries(list), "5=0A 6=01 5=0A");
  list.data[0] = 0x11;
  list.data[1] = 0x44;
  list.data[2] = 0xC3;
  bool ok = false;
  EXPECT_TRUE(ApplyTransferResult(session, Direction::Read, list, false, ok));
  EXPECT_EQ(Entries(list), "6=44 5=C3") << "the later reading of a byte applies";
  EXPECT_EQ(session.images.valueImage[5], 0xC3);
  EXPECT_EQ(session.images.valueImage[0x85], 0xC3) << "both addresses of the field";
  EXPECT_EQ(session.images.deviceImage[5], 0x00) << "updateDevice off";
  EXPECT_EQ(Bitfield(1), "C");
  EXPECT_EQ(Bitfield(2), "3");
  EXPECT_EQ(Bitfield(4), "3");
  EXPECT_FALSE(store.IsModified());
}

// `count` one-byte registers from address 0, or verified two-byte ones.
std::string Registers(int count, bool verifiedPairs = false) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    const std::string addr =
        definition::HexText(static_cast<std::uint32_t>(verifiedPairs ? 2 * i : i));
    text += verifiedPairs ? ">register verify=true >>bitfield addr=" + addr +
                                " bit=15:8 value=0 >>bitfield addr=" +
                                definition::HexText(static_cast<std::uint32_t>(2 * i + 1)) +
                                " bit=7:0 value=0 "
                          : ">register >>bitfield addr=" + addr + " bit=7:0 value=1 ";
  }
  return text;
}

// A list holds 2049 entries; a verified pair takes eight of them on a read
// and two on a write.
TEST_F(EngineTest, ListOf2049EntriesIsTheMost) {
  Part(Registers(2049));
  EXPECT_EQ(Build(Direction::Read, Scope::All).count, 2049);
  Part(Registers(2050));
  TransferList list;
  EXPECT_FALSE(BuildTransferList(session, Direction::Read, Scope::All, list));
  EXPECT_EQ(list.count, 0);
  // Register 2050 starts on line 3 + 3 * 2049; its bit field follows.
  EXPECT_EQ(messages.Prompts(),
            "Registers cannot be transferred: more than 2049 entries in one transfer "
            "(line 6151 of the part definition)");
  EXPECT_FALSE(ReadUnmodified(session));
  EXPECT_TRUE(library.calls.empty());
  EXPECT_EQ(definition::CheckDefinition(store, "demo"),
            std::vector<std::string>{
                "demo:6151: the registers need more than 2049 entries in one transfer"});
  Part(Registers(257, true));
  EXPECT_FALSE(BuildTransferList(session, Direction::Read, Scope::All, list));
  EXPECT_EQ(Build(Direction::Write, Scope::All).count, 514);
}

// What a transfer cannot carry is refused before anything is sent, named
// with its line (line 4 unless given), and `check` reports it with file and
// line; `check` also reports every limit the value conversions rely on, where
// transfers go ahead.
TEST_F(EngineTest, TransfersRefuseAndCheckReportsWhatTheyCannotCarry) {
  const std::string field = "The bit field's ";
  const std::string notAddress = "\" is not a hexadecimal register address (0..7FFF)";
  const std::string at4 = "demo:4: bitfield attribute ";
  const std::string bf = ">register >>bitfield ";
  const std::string f5 = bf + "addr=5 bit=7:0 value=0 ";
  const std::string number = f5 + "textbox=true format=0.0 ";
  const std::string order = bf + "addr=1 bit=7:0 value=1 >>>add type=";
  const std::string outside = " lies outside 1..255 (line 5 of the part definition)";
  const std::string notWhole = " is not a whole number from 1 to 255";
  const std::string cannot = "Registers cannot be transferred: ";
  const struct {
    std::string part;
    std::string problem;  // of `check`, if any
    std::string refusal;  // of a transfer, if any
  } cases[] = {
      {bf + "addr=8000 bit=0 value=0", at4 + "addr \"8000\" is not a register address (0 to 7FFF)",
       field + "addr \"8000" + notAddress},
      {bf + "addr=5:8000 bit=0 value=0",
       at4 + "addr \"5:8000\" is not a register address (0 to 7FFF)",
       field + "addr \"5:8000" + notAddress},
      {bf + "addr='' bit=0 value=0", at4 + "addr is missing", field + "addr \"" + notAddress},
      {bf + "addr=1:G bit=0 value=0", at4 + "addr \"1:G\" is not hexadecimal",
       field + "addr \"1:G" + notAddress},
      {bf + "addr=1 bit=0", at4 + "value is missing", field + "value \"\" is not hexadecimal"},
      {bf + "addr=1 bit=0 value=0 checkvalue=x", at4 + "checkvalue \"x\" is not hexadecimal",
       field + "checkvalue \"x\" is not hexadecimal"},
      {">register >>hide addr=zz bit=0 value=1 >>bitfield addr=1 bit=0 value=0",
       "demo:4: hide attribute addr \"zz\" is not hexadecimal",
       "The condition's addr \"zz" + notAddress},
      {order + "readlast order=256", "demo:5: add attribute order \"256\"" + notWhole,
       "The transfer order \"256\"" + outside},
      {order + "writefirst order=0", "demo:5: add attribute order \"0\"" + notWhole,
       "The transfer order \"0\"" + outside},
      {order + "writefirst order=1.5", "demo:5: add attribute order \"1.5\"" + notWhole,
       "The transfer order \"1.5\"" + outside},
      {order + "readlast order=255 >>>add type=combo", "", ""},
      {f5 + ">>>add type=readlast order=1 >>bitfield addr=6 bit=0 value=0 >>>add type=readlast "
            "order=1",
       "demo:8: add attribute order \"1\" is also the readlast place of line 5",
       cannot + "addresses 05 and 06 both take transfer order 1 (line 7 of the part definition)"},
      {bf + "addr=5 bit=3:0 value=FFF", at4 + "value \"FFF\" does not fit 4 bits",
       cannot + "the bit-field values of address 05 add up to 4095, more than one byte holds"},
      // Named at the last field of the byte, wherever the fields stand.
      {bf + "addr=5 bit=3:0 value=0 >register >>bitfield addr=6 bit=0 value=0 "
            ">register >>bitfield addr=5 bit=7:4 value=1F",
       "demo:10: bitfield attribute value \"1F\" does not fit 4 bits",
       cannot + "the bit-field values of address 05 add up to 496, more than one byte holds (line "
                "10 of the part definition)"},
      {f5 + ">>>add type=writefirst order=1 always=true value=300",
       "demo:5: add attribute value \"300\" does not fit 8 bits",
       cannot + "the first write to address 05 would carry 768, more than one byte holds"},
      {order + "writefirst order=1 value=x", "demo:5: add attribute value \"x\" is not hexadecimal",
       "The transfer order rule's value \"x\" is not hexadecimal (line 5 of the part definition)"},
      {f5 + ">>bitfield addr=5 bit=7:0 value=0",
       "demo:5: bitfield attribute bit \"7:0\" overlaps another field of the same byte", ""},
      {f5 + ">>bitfield addr=6 bit=0 value=0 >>bitfield addr=5 bit=7:0 value=0",
       "demo:6: bitfield attribute bit \"7:0\" overlaps another field of the same byte", ""},
      {bf + "addr=5 bit=12:5 value=0", at4 + "bit \"12:5\" crosses a byte boundary", ""},
      {f5 + "checkvalue=1 >>bitfield addr=6 bit=0 value=0 checkvalue=2",
       "demo:5: bitfield attribute checkvalue \"2\" does not fit 1 bit", ""},
      {f5 + ">>>hide addr=6 bit=0 value=3", "demo:5: hide attribute value \"3\" does not fit 1 bit",
       ""},
      {number + "display=0:1", at4 + "input is missing (a number format maps input onto display)",
       ""},
      {number + "input=5:5 display=0:1",
       at4 + "input \"5:5\" spans no values (both ends are equal)", ""},
      {number + "input=0:255 display=x",
       at4 + "display \"x\" is not a number or a range of numbers", ""},
      {number + "input=0:255 display=0:1.5e2",
       at4 + "display \"0:1.5e2\" is not a number or a range of numbers", ""},
      {number + "input=255:0 display=1:10",
       at4 + "input \"255:0\" is inverted: its low end and the first display value must be "
             "above 0",
       ""},
      {number + "input=0:255 display=0:10 displaydivreg=6",
       at4 + "displaydivreg needs displayregmin above 0 (a divider byte of 0 leaves no range)", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.part);
    Part(c.part);
    EXPECT_EQ(definition::CheckDefinition(store, "demo"),
              c.problem.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.problem});
    TransferList list;
    EXPECT_EQ(BuildTransferList(session, Direction::Read, Scope::All, list) &&
                  BuildTransferList(session, Direction::Write, Scope::All, list),
              c.refusal.empty());
    const bool lineGiven = c.refusal.empty() || c.refusal.find("(line") != std::string::npos;
    EXPECT_EQ(messages.Prompts(),
              c.refusal + (lineGiven ? "" : " (line 4 of the part definition)"));
  }
}

// Indexes stay inside the images and the list whatever a result holds, and
// a definition loaded anew is planned anew.
TEST_F(EngineTest, ResultsStayInsideTheImagesAndTheList) {
  Part(">register >>bitfield addr=7FFF bit=7:0 value=12");
  TransferList list = Build(Direction::Read, Scope::All);
  bool ok = false;
  EXPECT_TRUE(ApplyTransferResult(session, Direction::Read, list, true, ok));
  EXPECT_EQ(session.images.valueImage[0x7FFF], 0x12);
  Part(Registers(3));
  list = Build(Direction::Read, Scope::All);
  list.count = 30000;
  EXPECT_TRUE(ApplyTransferResult(session, Direction::Read, list, true, ok));
  EXPECT_LE(list.count, kTransferListSize);
  list.count = -5;
  EXPECT_TRUE(ApplyTransferResult(session, Direction::Read, list, true, ok));
  EXPECT_EQ(list.count, 0);
  ASSERT_TRUE(store.LoadMarkupText(kestrova::testing::PartText(Registers(5))));
  EXPECT_EQ(Build(Direction::Read, Scope::All).count, 5);
}

}  // namespace
}  // namespace kestrova::engine
