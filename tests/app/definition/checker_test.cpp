#include "definition/checker.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../markup/temp_folder.hpp"
#include "support/message_box_recorder.hpp"

namespace kestrova::definition {
namespace {

using markup::MarkupStore;
using markup::MessageBoxRecorder;
using Problems = std::vector<std::string>;

Problems Check(std::string_view text) {
  MarkupStore store;
  EXPECT_TRUE(store.LoadMarkupText(text));
  store.SetXmlFileIndex(1);
  Problems problems = CheckDefinition(store, "demo");
  EXPECT_EQ(store.XmlFileIndex(), 1);  // the check leaves the cursor where it was
  return problems;
}

constexpr std::string_view kClean =
    "<definition>\n"
    " <part label=\"Clean\">\n"
    "  <driver>\n"
    "   <add type=\"usb\" label=\"Board\" vid=\"400\" pid=\"C35A\">\n"
    "    <port addr=\"400\" value=\"1\" />\n"
    "   </add>\n"
    "   <add type=\"ich\" label=\"SMBus\" />\n"
    "  </driver>\n"
    "  <interface type=\"i2c\">\n"
    "   <addr value=\"48\" label=\"Address\">\n"
    "    <add type=\"combo\">\n"
    "     <combo label=\"48\" />\n"
    "     <combo label=\"4F\" />\n"
    "    </add>\n"
    "   </addr>\n"
    "  </interface>\n"
    "  <register grouptabname=\"G\" groupaddrmask=\"7F\">\n"
    "   <hide addr=\"1\" bit=\"0\" value=\"1\" />\n"
    "   <add type=\"updatereg\">\n"
    "    <updatereg addr=\"2\" type=\"ignore\" value=\"0\" />\n"
    "   </add>\n"
    "   <bitfield label=\"a\" addr=\"0:80\" bit=\"7:4\" regbit=\"none\" value=\"A\" "
    "checkvalue=\"\">\n"
    "    <hide addr=\"1\" regbit=\"3:0\" value=\"F\" not=\"true\" />\n"
    "    <add type=\"combo\">\n"
    "     <combo label=\"x\" value=\"1\" />\n"
    "     <combo label=\"y\" />\n"
    "    </add>\n"
    "    <add type=\"attr\" attr=\"R\">\n"
    "     <attr addr=\"1\" bit=\"1\" value=\"1\" />\n"
    "    </add>\n"
    "    <add type=\"writelast\" value=\"\" always=\"true\" />\n"
    "   </bitfield>\n"
    "   <add type=\"display\" display=\"0:10\">\n"
    "    <display addr=\"1\" bit=\"2:2\" value=\"0\" />\n"
    "   </add>\n"
    "  </register>\n"
    " </part>\n"
    "</definition>\n";

TEST(Checker, CleanDefinitionHasNoProblems) {
  EXPECT_EQ(Check(kClean), Problems{});
}

TEST(Checker, MissingAndMalformedBitfieldAttributesNameFileLineAndAttribute) {
  const Problems problems = Check(
      "<?xml version=\"1.0\"?>\n"
      "<definition>\n"
      " <part>\n"
      "\n"
      "  <register>\n"
      "   <bitfield label=\"no addr\" bit=\"7:0\" value=\"0\" />\n"
      "   <bitfield label=\"bad addr\" addr=\"1G\" bit=\"7:0\" value=\"0\" />\n"
      "   <bitfield label=\"bad write addr\" addr=\"10:\" bit=\"7:0\" value=\"0\" />\n"
      "   <bitfield label=\"no value\" addr=\"1\" bit=\"7:0\" />\n"
      "   <bitfield label=\"bad value\" addr=\"1\" bit=\"7:0\" value=\"0x1\" />\n"
      "   <bitfield label=\"no bit\" addr=\"1\" value=\"0\" />\n"
      "   <bitfield label=\"bit order\" addr=\"1\" bit=\"0:7\" value=\"0\" />\n"
      "   <bitfield label=\"bit range\" addr=\"1\" bit=\"16:0\" value=\"0\" />\n"
      "   <bitfield label=\"regbit\" addr=\"1\" bit=\"7:0\" regbit=\"all\" value=\"0\" />\n"
      "   <bitfield label=\"check\" addr=\"1\" bit=\"7:0\" value=\"0\" checkvalue=\"Q\" "
      "displaydivreg=\"-1\" />\n"
      "  </register>\n"
      " </part>\n"
      "</definition>\n");
  const Problems expected = {
      "demo:6: bitfield attribute addr is missing",
      "demo:7: bitfield attribute addr \"1G\" is not hexadecimal",
      "demo:8: bitfield attribute addr \"10:\" is not hexadecimal",
      "demo:9: bitfield attribute value is missing",
      "demo:10: bitfield attribute value \"0x1\" is not hexadecimal",
      "demo:10: bitfield attribute bit \"7:0\" overlaps another field of the same byte",
      "demo:11: bitfield attribute bit is missing",
      "demo:12: bitfield attribute bit \"0:7\" is not a bit range (high:low, 15 to 0)",
      "demo:13: bitfield attribute bit \"16:0\" is not a bit range (high:low, 15 to 0)",
      "demo:14: bitfield attribute regbit \"all\" is not a bit range (high:low, 15 to 0) or none",
      "demo:14: bitfield attribute bit \"7:0\" overlaps another field of the same byte",
      "demo:15: bitfield attribute checkvalue \"Q\" is not hexadecimal",
      "demo:15: bitfield attribute displaydivreg \"-1\" is not hexadecimal",
      "demo:15: bitfield attribute bit \"7:0\" overlaps another field of the same byte",
  };
  EXPECT_EQ(problems, expected);
}

TEST(Checker, ConditionsRulesDriversAndChipAddress) {
  const Problems problems = Check(
      "<definition>\n"                                    // 1
      " <part>\n"                                         // 2
      "  <driver>\n"                                      // 3
      "   <add type=\"USB\" vid=\"400\">\n"               // 4
      "    <port addr=\"x\" />\n"                         // 5
      "   </add>\n"                                       // 6
      "   <add type=\"ich\" />\n"                         // 7: no vid/pid needed
      "  </driver>\n"                                     // 8
      "  <interface type=\"i2c\">\n"                      // 9
      "   <addr label=\"A\">\n"                           // 10
      "    <add type=\"combo\">\n"                        // 11
      "     <combo label=\"0x48\" />\n"                   // 12
      "    </add>\n"                                      // 13
      "   </addr>\n"                                      // 14
      "  </interface>\n"                                  // 15
      "  <register groupaddrmask=\"G\">\n"                // 16
      "   <hide bit=\"0\" value=\"1\" />\n"               // 17
      "   <hide addr=\"zz\" />\n"                         // 18: only the first counts
      "   <add type=\"updatereg\">\n"                     // 19
      "    <updatereg type=\"ignore\" value=\"g\" />\n"   // 20
      "   </add>\n"                                       // 21
      "   <bitfield addr=\"1\" bit=\"0\" value=\"0\">\n"  // 22
      "    <hide addr=\"1\" value=\"1\" />\n"             // 23
      "    <add type=\"attr\">\n"                         // 24
      "     <attr addr=\"1\" bit=\"0\" value=\"\" />\n"   // 25
      "    </add>\n"                                      // 26
      "    <add type=\"combo\">\n"                        // 27
      "     <combo label=\"a\" value=\"one\" />\n"        // 28
      "    </add>\n"                                      // 29
      "    <add type=\"readfirst\" value=\"-\" />\n"      // 30
      "   </bitfield>\n"                                  // 31
      "   <add type=\"display\">\n"                       // 32
      "    <display addr=\"1\" bit=\"0\" />\n"            // 33
      "   </add>\n"                                       // 34
      "  </register>\n"                                   // 35
      " </part>\n"                                        // 36
      "</definition>\n");
  const Problems expected = {
      "demo:4: add attribute pid is missing",
      "demo:5: port attribute addr \"x\" is not hexadecimal",
      "demo:5: port attribute value is missing",
      "demo:10: addr attribute value is missing",
      "demo:12: combo attribute label \"0x48\" is not hexadecimal",
      "demo:16: register attribute groupaddrmask \"G\" is not hexadecimal",
      "demo:17: hide attribute addr is missing",
      "demo:20: updatereg attribute addr is missing",
      "demo:20: updatereg attribute value \"g\" is not hexadecimal",
      "demo:33: display attribute value is missing",
      "demo:23: hide attribute bit is missing",
      "demo:25: attr attribute value is missing",
      "demo:28: combo attribute value \"one\" is not hexadecimal",
      "demo:30: add attribute value \"-\" is not hexadecimal",
  };
  EXPECT_EQ(problems, expected);
}

TEST(Checker, MissingRootOrPart) {
  EXPECT_EQ(Check("<other>\n</other>\n"),
            Problems{"demo:0: the file has no root element definition"});
  EXPECT_EQ(Check("\n<definition>\n <register />\n</definition>\n"),
            Problems{"demo:2: definition has no part element; no registers are shown"});
}

TEST(Checker, GeneratedLinesAreNotMistakenForFileLines) {
  MarkupStore store;
  ASSERT_TRUE(store.LoadMarkupText(kClean));
  store.SetXmlFileIndex(22);
  ASSERT_TRUE(store.AddLine(3, "<bitfield label=\"bad\" />", 0));
  const Problems problems = CheckDefinition(store, "demo");
  ASSERT_EQ(problems.size(), 3u);
  EXPECT_EQ(problems[0], "demo:0: bitfield attribute addr is missing");
}

TEST(Checker, MessageListsProblemsAndCountsTheRest) {
  const Problems problems = {"demo:1: a", "demo:2: b", "demo:3: c"};
  EXPECT_EQ(DefinitionProblemsMessage("demo", problems, 2),
            "The definition demo has 3 problems; registers that use these values may be read or "
            "written wrongly:\r\ndemo:1: a\r\ndemo:2: b\r\n... and 1 more");
  EXPECT_EQ(DefinitionProblemsMessage("demo", {"demo:1: a"}),
            "The definition demo has 1 problem; registers that use these values may be read or "
            "written wrongly:\r\ndemo:1: a");
}

TEST(Checker, LoadDefinitionShowsProblemsOnceAndKeepsTheDefinitionLoaded) {
  kestrova::testing::TempFolder folder;
  const std::string path = folder / "sensor";
  kestrova::testing::WriteBytes(
      path,
      "<definition>\r\n <part>\r\n  <register>\r\n   <bitfield addr=\"1\" bit=\"0\" />\r\n"
      "  </register>\r\n </part>\r\n</definition>\r\n");
  MarkupStore store;
  MessageBoxRecorder messages;
  const DefinitionLoad load = LoadDefinition(store, path, messages);
  EXPECT_TRUE(load.loaded);
  EXPECT_EQ(load.problems, Problems{"sensor:4: bitfield attribute value is missing"});
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].prompt,
            "The definition sensor has 1 problem; registers that use these values may be read or "
            "written wrongly:\r\nsensor:4: bitfield attribute value is missing");
  EXPECT_EQ(store.LineCount(), 7);
}

TEST(Checker, LoadDefinitionOfMissingFileShowsTheFileError) {
  kestrova::testing::TempFolder folder;
  MarkupStore store;
  store.SetRetryWait([](std::chrono::milliseconds) {});
  MessageBoxRecorder messages;
  const DefinitionLoad load = LoadDefinition(store, folder / "none", messages);
  EXPECT_FALSE(load.loaded);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].prompt, "File read/write error for " + (folder / "none"));
}

}  // namespace
}  // namespace kestrova::definition
