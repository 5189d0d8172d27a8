#include <gtest/gtest.h>

#include <string>

#include "definition/checker.hpp"
#include "engine/register_operations.hpp"
#include "engine_fixture.hpp"

namespace kestrova::engine {
namespace {

using testing::EngineTest;

std::string OneByteRegisters(int count, const char* extra = "") {
  std::string text;
  for (int i = 0; i < count; ++i) {
    char line[160];
    std::snprintf(line, sizeof line,
                  "  <register label=\"R%d\"%s>\r\n"
                  "   <bitfield addr=\"%X\" bit=\"7:0\" value=\"1\"/>\r\n"
                  "  </register>\r\n",
                  i, extra, i);
    text += line;
  }
  return text;
}

TEST_F(EngineTest, ListOf2049EntriesIsTheMost) {
  Load(OneByteRegisters(2049));
  EXPECT_EQ(Build(Direction::Read, Scope::All).count, 2049);
  Load(OneByteRegisters(2050));
  TransferList list;
  EXPECT_FALSE(BuildTransferList(session, Direction::Read, Scope::All, list));
  EXPECT_EQ(list.count, 0);
  ASSERT_EQ(messages.shown.size(), 1u);
  // Register 2050 starts on line 3 + 3 * 2049; its bit field follows.
  EXPECT_EQ(messages.shown[0].prompt,
            "Registers cannot be transferred: more than 2049 entries in one transfer "
            "(line 6151 of the part definition)");
  EXPECT_FALSE(ReadUnmodified(session));
  EXPECT_TRUE(library.calls.empty());
}

TEST_F(EngineTest, VerifiedPairsCountEightEntries) {
  std::string text;
  for (int i = 0; i < 257; ++i) {
    char line[200];
    std::snprintf(line, sizeof line,
                  "  <register verify=\"true\">\r\n"
                  "   <bitfield addr=\"%X\" bit=\"15:8\" value=\"0\"/>\r\n"
                  "   <bitfield addr=\"%X\" bit=\"7:0\" value=\"0\"/>\r\n"
                  "  </register>\r\n",
                  2 * i, 2 * i + 1);
    text += line;
  }
  Load(text);
  TransferList list;
  EXPECT_FALSE(BuildTransferList(session, Direction::Read, Scope::All, list));
  EXPECT_NE(messages.shown.at(0).prompt.find("more than 2049 entries"), std::string::npos);
  EXPECT_EQ(Build(Direction::Write, Scope::All).count, 514);  // writes are not repeated
}

TEST_F(EngineTest, OrderOutsideTheRangeIsRefused) {
  Part(">register >>bitfield addr=1 bit=7:0 value=1 >>>add type=readlast order=256");
  EXPECT_FALSE(ReadUnmodified(session));
  EXPECT_FALSE(WriteModified(session, true));
  EXPECT_TRUE(library.calls.empty());
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[0].prompt,
            "The transfer order \"256\" lies outside 1..255 (line 5 of the part definition)");
  for (const char* order : {"0", "-1", "1.5"}) {
    Load(std::string("  <register>\r\n   <bitfield addr=\"1\" bit=\"7:0\" value=\"1\">\r\n"
                     "    <add type=\"writefirst\" order=\"") +
         order + "\"/>\r\n   </bitfield>\r\n  </register>\r\n");
    TransferList list;
    EXPECT_FALSE(BuildTransferList(session, Direction::Write, Scope::All, list)) << order;
  }
  Part(
      ">register >>bitfield addr=1 bit=7:0 value=1 >>>add type=readlast order=255 >>>add "
      "type=combo");
  EXPECT_EQ(Build(Direction::Read, Scope::All).count, 1);
}

TEST_F(EngineTest, PlacedValuesBeyondAByteAreRefused) {
  // Named at the last field of the byte, wherever the fields stand.
  Part(
      ">register >>bitfield addr=5 bit=3:0 value=0 >register >>bitfield addr=6 bit=0 value=0 "
      ">register >>bitfield addr=5 bit=7:4 value=1F");
  TransferList list;
  EXPECT_FALSE(BuildTransferList(session, Direction::Write, Scope::All, list));
  EXPECT_EQ(messages.shown.at(0).prompt,
            "Registers cannot be transferred: the bit-field values of address 05 add up to "
            "496, more than one byte holds (line 10 of the part definition)");
  Part(
      ">register >>bitfield addr=5 bit=7:0 value=0 >>>add type=writefirst order=1 always=true "
      "value=300");
  EXPECT_FALSE(BuildTransferList(session, Direction::Write, Scope::All, list));
  EXPECT_EQ(messages.shown.at(1).prompt,
            "Registers cannot be transferred: the first write to address 05 would carry 300, "
            "more than one byte holds (line 4 of the part definition)");
}

TEST_F(EngineTest, MalformedAttributesAreReportedWithTheirLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"addr=\"8000\" bit=\"0\" value=\"0\"",
       "The bit field's addr \"8000\" is not a hexadecimal register address (0..7FFF)"},
      {"addr=\"\" bit=\"0\" value=\"0\"",
       "The bit field's addr \"\" is not a hexadecimal register address (0..7FFF)"},
      {"bit=\"0\" value=\"0\"",
       "The bit field's addr \"\" is not a hexadecimal register address (0..7FFF)"},
      {"addr=\"1:G\" bit=\"0\" value=\"0\"",
       "The bit field's addr \"1:G\" is not a hexadecimal register address (0..7FFF)"},
      {"addr=\"1\" bit=\"0\"", "The bit field's value \"\" is not hexadecimal"},
      {"addr=\"1\" bit=\"0\" value=\"0\" checkvalue=\"x\"",
       "The bit field's checkvalue \"x\" is not hexadecimal"},
  };
  for (const auto& [attributes, problem] : cases) {
    messages.shown.clear();
    Load("  <register>\r\n   <bitfield " + attributes + "/>\r\n  </register>\r\n");
    TransferList list;
    EXPECT_FALSE(BuildTransferList(session, Direction::Read, Scope::All, list)) << attributes;
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].prompt, problem + " (line 4 of the part definition)");
    bool ok = true;
    EXPECT_FALSE(ApplyTransferResult(session, Direction::Read, list, true, ok));
  }
  messages.shown.clear();
  Part(">register >>hide addr=zz bit=0 value=1 >>bitfield addr=1 bit=0 value=0");
  TransferList list;
  EXPECT_FALSE(BuildTransferList(session, Direction::Read, Scope::All, list));
  EXPECT_EQ(messages.shown.at(0).prompt,
            "The condition's addr \"zz\" is not a hexadecimal register address (0..7FFF) "
            "(line 4 of the part definition)");
}

// `check` reports, with file and line, every limit a read or write refuses
// and every limit the value conversions rely on.
TEST_F(EngineTest, CheckReportsEveryLimitOfTransfersAndConversions) {
  struct Case {
    std::string bitfields;  // inside one register, from line 4
    std::string problem;
    bool transfersRefused;
  };
  const std::string field = "   <bitfield addr=\"5\" bit=\"7:0\" value=\"0\" ";
  const std::string number = field + "textbox=\"true\" format=\"0.0\" ";
  const Case cases[] = {
      {"   <bitfield addr=\"5\" bit=\"3:0\" value=\"FFF\"/>\r\n",
       "demo:4: bitfield attribute value \"FFF\" does not fit 4 bits", true},
      {"   <bitfield addr=\"5\" bit=\"7:4\" value=\"1F\"/>\r\n",
       "demo:4: bitfield attribute value \"1F\" does not fit 4 bits", true},
      {field + "/>\r\n" + field + "/>\r\n",
       "demo:5: bitfield attribute bit \"7:0\" overlaps another field of the same byte", false},
      {field + "/>\r\n   <bitfield addr=\"6\" bit=\"0\" value=\"0\"/>\r\n" + field + "/>\r\n",
       "demo:6: bitfield attribute bit \"7:0\" overlaps another field of the same byte", false},
      {"   <bitfield addr=\"5\" bit=\"12:5\" value=\"0\"/>\r\n",
       "demo:4: bitfield attribute bit \"12:5\" crosses a byte boundary", false},
      {"   <bitfield addr=\"5:8000\" bit=\"0\" value=\"0\"/>\r\n",
       "demo:4: bitfield attribute addr \"5:8000\" is not a register address (0 to 7FFF)", true},
      {field + "checkvalue=\"1\"/>\r\n" +
           "   <bitfield addr=\"6\" bit=\"0\" value=\"0\" checkvalue=\"2\"/>\r\n",
       "demo:5: bitfield attribute checkvalue \"2\" does not fit 1 bit", false},
      {field + ">\r\n    <hide addr=\"6\" bit=\"0\" value=\"3\"/>\r\n   </bitfield>\r\n",
       "demo:5: hide attribute value \"3\" does not fit 1 bit", false},
      {field + ">\r\n    <add type=\"readlast\" order=\"256\"/>\r\n   </bitfield>\r\n",
       "demo:5: add attribute order \"256\" is not a whole number from 1 to 255", true},
      {field + ">\r\n    <add type=\"readlast\" order=\"1\"/>\r\n   </bitfield>\r\n" +
           "   <bitfield addr=\"6\" bit=\"0\" value=\"0\">\r\n    <add type=\"readlast\" "
           "order=\"1\"/>\r\n   </bitfield>\r\n",
       "demo:8: add attribute order \"1\" is also the readlast place of line 5", true},
      {number + "display=\"0:1\"/>\r\n",
       "demo:4: bitfield attribute input is missing (a number format maps input onto display)",
       false},
      {number + "input=\"5:5\" display=\"0:1\"/>\r\n",
       "demo:4: bitfield attribute input \"5:5\" spans no values (both ends are equal)", false},
      {number + "input=\"0:255\" display=\"x\"/>\r\n",
       "demo:4: bitfield attribute display \"x\" is not a number or a range of numbers", false},
      {number + "input=\"255:0\" display=\"1:10\"/>\r\n",
       "demo:4: bitfield attribute input \"255:0\" is inverted: its low end and the first "
       "display value must be above 0",
       false},
      {number + "input=\"0:255\" display=\"0:10\" displaydivreg=\"6\"/>\r\n",
       "demo:4: bitfield attribute displaydivreg needs displayregmin above 0 (a divider byte of 0 "
       "leaves no range)",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bitfields);
    Load("  <register>\r\n" + c.bitfields + "  </register>\r\n");
    EXPECT_EQ(definition::CheckDefinition(store, "demo"), std::vector<std::string>{c.problem});
    TransferList list;
    const bool refused = session.Layout() == nullptr ||
                         !BuildTransferList(session, Direction::Read, Scope::All, list) ||
                         !BuildTransferList(session, Direction::Write, Scope::All, list);
    EXPECT_EQ(refused, c.transfersRefused);
  }
  Load(OneByteRegisters(2050));
  EXPECT_EQ(definition::CheckDefinition(store, "demo"),
            std::vector<std::string>{
                "demo:6151: the registers need more than 2049 entries in one transfer"});
}

TEST_F(EngineTest, HighestAddressStaysInsideTheImages) {
  Part(">register >>bitfield addr=7FFF bit=7:0 value=12");
  TransferList list = Build(Direction::Read, Scope::All);
  bool ok = false;
  EXPECT_TRUE(ApplyTransferResult(session, Direction::Read, list, true, ok));
  EXPECT_EQ(session.images.valueImage[0x7FFF], 0x12);
}

TEST_F(EngineTest, ApplyKeepsAnOversizedCountInsideTheList) {
  Load(OneByteRegisters(3));
  TransferList list = Build(Direction::Read, Scope::All);
  list.count = 30000;
  bool ok = false;
  EXPECT_TRUE(ApplyTransferResult(session, Direction::Read, list, true, ok));
  EXPECT_LE(list.count, kTransferListSize);
  list.count = -5;
  EXPECT_TRUE(ApplyTransferResult(session, Direction::Read, list, true, ok));
  EXPECT_EQ(list.count, 0);
}

TEST_F(EngineTest, ANewDefinitionIsReadAfreshEvenWithoutNotice) {
  Load(OneByteRegisters(2));
  EXPECT_EQ(Build(Direction::Read, Scope::All).count, 2);
  ASSERT_TRUE(store.LoadMarkupText("<definition>\r\n <part>\r\n" + OneByteRegisters(5) +
                                   " </part>\r\n</definition>\r\n"));
  EXPECT_EQ(Build(Direction::Read, Scope::All).count, 5);
}

}  // namespace
}  // namespace kestrova::engine
