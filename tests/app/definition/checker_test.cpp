#include "definition/checker.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/part_text.hpp"

namespace kestrova::definition {
namespace {

using markup::MarkupStore;
using Problems = std::vector<std::string>;

Problems Check(std::string_view text) {
  MarkupStore store;
  EXPECT_TRUE(store.LoadMarkupText(text));
  store.SetXmlFileIndex(1);
  Problems problems = CheckDefinition(store, "demo");
  EXPECT_EQ(store.XmlFileIndex(), 1);  // the check leaves the cursor where it was
  return problems;
}

// A part in the short form, after a declaration line the store does not keep:
// problems name the file's lines, one more than the store's.
std::string Part(std::string_view elements) {
  return "<?xml version=\"1.0\"?>\r\n" + kestrova::testing::PartText(elements);
}

const std::string kClean = Part(
    ">driver >>add type=usb label=Board vid=400 pid=C35A >>>port addr=400 value=1 >>add type=ich "
    "label=SMBus >interface type=i2c >>addr value=48 label=Address >>>add type=combo >>>>combo "
    "label=48 >>>>combo label=4F >register grouptabname=G groupaddrmask=7F >>hide addr=1 bit=0 "
    "value=1 >>add type=updatereg >>>updatereg addr=2 type=ignore value=0 >>bitfield label=a "
    "addr=0:80 bit=7:4 regbit=none value=A checkvalue='' >>>hide addr=1 regbit=3:0 value=F "
    "not=true >>>add type=combo >>>>combo label=x value=1 >>>>combo label=y >>>add type=attr "
    "attr=R >>>>attr addr=1 bit=1 value=1 >>>add type=writelast value='' always=true >>add "
    "type=display display=0:10 >>>display addr=1 bit=2:2 value=0");

// A clean definition has no problems; one without its root or a part has one.
TEST(Checker, CleanDefinitionHasNoProblemsAndAMissingRootOrPartOne) {
  EXPECT_EQ(Check(kClean), Problems{});
  EXPECT_EQ(Check("<other>\n</other>\n"),
            Problems{"demo:0: the file has no root element definition"});
  EXPECT_EQ(Check("\n<definition>\n <register />\n</definition>\n"),
            Problems{"demo:2: definition has no part element; no registers are shown"});
}

TEST(Checker, MissingAndMalformedBitfieldAttributesNameFileLineAndAttribute) {
  const Problems problems = Check(Part(
      ">register >>bitfield label='no addr' bit=7:0 value=0 >>bitfield label='bad addr' addr=1G "
      "bit=7:0 value=0 >>bitfield label='bad write addr' addr=10: bit=7:0 value=0 >>bitfield "
      "label='no value' addr=1 bit=7:0 >>bitfield label='bad value' addr=1 bit=7:0 value=0x1 "
      ">>bitfield label='no bit' addr=1 value=0 >>bitfield label='bit order' addr=1 bit=0:7 "
      "value=0 >>bitfield label='bit range' addr=1 bit=32:0 value=0 >>bitfield label=regbit "
      "addr=1 bit=7:0 regbit=all value=0 >>bitfield label=check addr=1 bit=7:0 regbit=31:24 "
      "value=0 checkvalue=Q displaydivreg=-1"));
  const Problems expected = {
      "demo:5: bitfield attribute addr is missing",
      "demo:6: bitfield attribute addr \"1G\" is not hexadecimal",
      "demo:7: bitfield attribute addr \"10:\" is not hexadecimal",
      "demo:8: bitfield attribute value is missing",
      "demo:9: bitfield attribute value \"0x1\" is not hexadecimal",
      "demo:9: bitfield attribute bit \"7:0\" overlaps another field of the same byte",
      "demo:10: bitfield attribute bit is missing",
      "demo:11: bitfield attribute bit \"0:7\" is not a bit range (high:low, 31 to 0)",
      "demo:12: bitfield attribute bit \"32:0\" is not a bit range (high:low, 31 to 0)",
      "demo:13: bitfield attribute regbit \"all\" is not a bit range (high:low, 31 to 0) or none",
      "demo:13: bitfield attribute bit \"7:0\" overlaps another field of the same byte",
      "demo:14: bitfield attribute checkvalue \"Q\" is not hexadecimal",
      "demo:14: bitfield attribute displaydivreg \"-1\" is not hexadecimal",
      "demo:14: bitfield attribute bit \"7:0\" overlaps another field of the same byte",
  };
  EXPECT_EQ(problems, expected);
}

// Conditions, rules, hardware entries and the chip address; of several
// conditions of one element only the first counts; an "ich" entry needs no
// vid or pid.
TEST(Checker, ConditionsRulesDriversAndChipAddress) {
  const Problems problems = Check(Part(
      ">driver >>add type=USB vid=400 >>>port addr=x >>add type=ich >interface type=i2c >>addr "
      "label=A >>>add type=combo >>>>combo label=0x48 >register groupaddrmask=G >>hide bit=0 "
      "value=1 >>hide addr=zz >>add type=updatereg >>>updatereg type=ignore value=g >>bitfield "
      "addr=1 bit=0 value=0 >>>hide addr=1 value=1 >>>add type=attr >>>>attr addr=1 bit=0 "
      "value='' >>>add type=combo >>>>combo label=a value=one >>>add type=readfirst value=- >>add "
      "type=display >>>display addr=1 bit=0"));
  const Problems expected = {
      "demo:5: add attribute pid is missing",
      "demo:6: port attribute addr \"x\" is not hexadecimal",
      "demo:6: port attribute value is missing",
      "demo:11: addr attribute value is missing",
      "demo:13: combo attribute label \"0x48\" is not hexadecimal",
      "demo:17: register attribute groupaddrmask \"G\" is not hexadecimal",
      "demo:18: hide attribute addr is missing",
      "demo:21: updatereg attribute addr is missing",
      "demo:21: updatereg attribute value \"g\" is not hexadecimal",
      "demo:34: display attribute value is missing",
      "demo:24: hide attribute bit is missing",
      "demo:26: attr attribute value is missing",
      "demo:29: combo attribute value \"one\" is not hexadecimal",
      "demo:31: add attribute value \"-\" is not hexadecimal",
  };
  EXPECT_EQ(problems, expected);
}

}  // namespace
}  // namespace kestrova::definition
