#include "markup/markup_store.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrova::markup {
namespace {

// Lines 1..count as a vector, for whole-table comparisons.
std::vector<std::string> Lines(const MarkupStore& store) {
  std::vector<std::string> lines;
  for (int i = 1; i <= store.LineCount(); ++i) {
    lines.emplace_back(store.Line(i));
  }
  return lines;
}

MarkupStore Loaded(std::string_view text) {
  MarkupStore store;
  EXPECT_TRUE(store.LoadMarkupText(text));
  return store;
}

TEST(MarkupLoad, DeclarationCommentAndTabsAreDroppedAndIndentationRebuilt) {
  const MarkupStore store = Loaded(
      "<?xml version=\"1.0\"?>\r\n"
      "<!-- a comment -->\r\n"
      "<definition>\r\n"
      "\t<part label=\"Demo\">\r\n"
      "\t\t<register\taddr=\"1\">\r\n"
      "\r\n"
      "  plain text\r\n"
      "\t\t\t<bitfield label=\"a\" />\r\n"
      "\t\t</register>\r\n"
      "\t</part>\r\n"
      "</definition>\r\n");
  const std::vector<std::string> expected = {"<definition>",
                                             " <part label=\"Demo\">",
                                             "  <register addr=\"1\">",
                                             "   <bitfield label=\"a\" />",
                                             "  </register>",
                                             " </part>",
                                             "</definition>"};
  EXPECT_EQ(Lines(store), expected);
  EXPECT_FALSE(store.IsModified());
}

TEST(MarkupLoad, TextBeforeFirstAndAfterLastBracketIsDropped) {
  const MarkupStore store =
      Loaded("junk <definition> trailing\n  x<a b=\"1\" /> y\n</definition>\n");
  const std::vector<std::string> expected = {"<definition>", " <a b=\"1\" />", "</definition>"};
  EXPECT_EQ(Lines(store), expected);
}

TEST(MarkupLoad, LineIsTagLineOnlyWithLetterOrSlashAfterFirstBracketAndCloseAfterIt) {
  const MarkupStore store = Loaded(
      "<definition>\n"
      "< a>\n"    // space after "<": skipped
      "<1a>\n"    // digit: skipped
      "> <b/>\n"  // last ">" after first "<": kept
      "<c\n"      // no ">": skipped
      "</definition>\n");
  const std::vector<std::string> expected = {"<definition>", " <b/>", "</definition>"};
  EXPECT_EQ(Lines(store), expected);
}

TEST(MarkupLoad, RootNeverClosedLoadsCompletely) {
  MarkupStore store;
  store.AddLine(0, "<x a=\"1\">", -1);
  store.SetXmlFileIndex(1);
  store.SetAttribute("a", "2", true);
  ASSERT_TRUE(store.IsModified());
  EXPECT_TRUE(store.LoadMarkupText("<definition>\n <part>\n  <register />\n"));
  const std::vector<std::string> expected = {"<definition>", " <part>", "  <register />"};
  EXPECT_EQ(Lines(store), expected);
  // An incomplete load leaves the modified flag as it was.
  EXPECT_TRUE(store.IsModified());
}

TEST(MarkupLoad, TextAfterRootEndIsIgnored) {
  const MarkupStore store = Loaded("<definition>\n<a />\n</definition>\n<after />\n<more>\n");
  const std::vector<std::string> expected = {"<definition>", " <a />", "</definition>"};
  EXPECT_EQ(Lines(store), expected);
}

TEST(MarkupLoad, SlashCloseAnywhereInTagMakesAnEmptyElement) {
  MarkupStore store = Loaded(
      "<definition>\n"
      "<part label=\"in/>value\">\n"
      "<register>\n"
      "</register>\n"
      "</definition>\n");
  const std::vector<std::string> expected = {"<definition>", " <part label=\"in/>value\">",
                                             " <register>", " </register>", "</definition>"};
  EXPECT_EQ(Lines(store), expected);
  // The register sits at depth 1, beside the part, not inside it.
  ASSERT_TRUE(store.FindElement(0, "definition"));
  EXPECT_TRUE(store.FindElement(1, "register"));
  EXPECT_EQ(store.XmlFileIndex(), 3);
}

TEST(MarkupLoad, LineEndsLfCrLfAndLoneCrAllSeparateLines) {
  const MarkupStore store = Loaded("<definition>\r<a />\n<b />\r\n</definition>");
  const std::vector<std::string> expected = {"<definition>", " <a />", " <b />", "</definition>"};
  EXPECT_EQ(Lines(store), expected);
  EXPECT_EQ(store.SourceLine(1), 1);
  EXPECT_EQ(store.SourceLine(3), 3);
  EXPECT_EQ(store.SourceLine(4), 4);
}

TEST(MarkupLoad, SourceLineIsThePhysicalLineOfTheFile) {
  MarkupStore store = Loaded("<?xml?>\n\n<definition>\n<!-- c -->\n\n<a />\n</definition>\n");
  EXPECT_EQ(store.SourceLine(1), 3);
  EXPECT_EQ(store.SourceLine(2), 6);
  EXPECT_EQ(store.SourceLine(3), 7);
  EXPECT_EQ(store.SourceLine(0), 0);
  EXPECT_EQ(store.SourceLine(4), 0);
  // Generated lines have no physical line; loaded lines keep theirs when moved.
  store.SetXmlFileIndex(2);
  ASSERT_TRUE(store.AddLine(1, "<gen />", 0));
  EXPECT_EQ(store.SourceLine(2), 0);
  EXPECT_EQ(store.SourceLine(3), 6);
}

TEST(MarkupLoad, Latin1BytesAreKeptAsTheyAre) {
  const std::string text =
      "<definition>\n<a units=\"\xB0"
      "C\" label=\"\xE9t\xE9\" />\n</definition>\n";
  MarkupStore store = Loaded(text);
  ASSERT_TRUE(store.FindElement(0, "definition"));
  ASSERT_TRUE(store.FindElement(1, "a"));
  EXPECT_EQ(store.GetAttribute("units"),
            "\xB0"
            "C");
  EXPECT_EQ(store.GetAttribute("label"), "\xE9t\xE9");
  // Latin-1 letters compare without case too: the same value changes nothing.
  EXPECT_FALSE(store.SetAttribute("label", "\xC9T\xC9", true));
  EXPECT_FALSE(store.IsModified());
}

TEST(MarkupLoad, LoadResetsCursorAndCapacityGrowsInSteps) {
  MarkupStore store;
  EXPECT_EQ(store.Capacity(), 0);
  ASSERT_TRUE(store.AddLine(0, "<definition>", -1));
  EXPECT_EQ(store.Capacity(), 2048);
  std::string text = "<definition>\n";
  for (int i = 0; i < 2047; ++i) {
    text += "<a />\n";
  }
  ASSERT_TRUE(store.LoadMarkupText(text));  // exactly 2048 lines
  EXPECT_EQ(store.LineCount(), 2048);
  EXPECT_EQ(store.Capacity(), 2048);
  ASSERT_TRUE(store.AddLine(1, "<b />", -1));
  EXPECT_EQ(store.Capacity(), 4096);
  EXPECT_EQ(store.XmlFileIndex(), 0);
}

// --- Search ----------------------------------------------------------------

constexpr std::string_view kTree =
    "<definition>\n"                 // 1
    " <part label=\"P\">\n"          // 2
    "  <register addr=\"0\">\n"      // 3
    "   <bitfield label=\"a\" />\n"  // 4
    "   <hide value=\"1\" />\n"      // 5
    "  </register>\n"                // 6
    "  <register addr=\"1\">\n"      // 7
    "   <bitfield label=\"b\">\n"    // 8
    "    <add type=\"combo\">\n"     // 9
    "     <combo label=\"x\" />\n"   // 10
    "    </add>\n"                   // 11
    "   </bitfield>\n"               // 12
    "  </register>\n"                // 13
    "  <driver />\n"                 // 14
    " </part>\n"                     // 15
    " <other />\n"                   // 16
    "</definition>\n";               // 17

TEST(MarkupFind, LevelZeroRestartsAndChildrenAreFoundInOrder) {
  MarkupStore store = Loaded(kTree);
  ASSERT_TRUE(store.FindElement(0, "definition"));
  EXPECT_EQ(store.XmlFileIndex(), 1);
  ASSERT_TRUE(store.FindElement(1, "part"));
  EXPECT_EQ(store.XmlFileIndex(), 2);
  ASSERT_TRUE(store.FindElement(2, "register"));
  EXPECT_EQ(store.XmlFileIndex(), 3);
  ASSERT_TRUE(store.FindElement(2, "register"));
  EXPECT_EQ(store.XmlFileIndex(), 7);
  // The end of the part closes the scope: the cursor stops before line 15.
  EXPECT_FALSE(store.FindElement(2, "register"));
  EXPECT_EQ(store.XmlFileIndex(), 14);
  ASSERT_TRUE(store.FindElement(0, "definition"));
  EXPECT_EQ(store.XmlFileIndex(), 1);
}

TEST(MarkupFind, SearchVisitsDescendantsButMatchesOnlyItsDepth) {
  MarkupStore store = Loaded(kTree);
  ASSERT_TRUE(store.FindElement(0, "definition"));
  ASSERT_TRUE(store.FindElement(1, "part"));
  // "driver" lies after both registers and their children.
  ASSERT_TRUE(store.FindElement(2, "driver"));
  EXPECT_EQ(store.XmlFileIndex(), 14);
  // A combo at depth 5 is not a depth-3 element.
  store.SetXmlFileIndex(2);
  EXPECT_FALSE(store.FindElement(3, "combo"));
}

TEST(MarkupFind, FailedSearchBlocksLaterSearchUntilCursorRestored) {
  MarkupStore store = Loaded(kTree);
  ASSERT_TRUE(store.FindElement(0, "definition"));
  ASSERT_TRUE(store.PushIndex());
  EXPECT_FALSE(store.FindElement(1, "missing"));
  EXPECT_EQ(store.XmlFileIndex(), 16);  // just before the root's end tag
  // "other" exists at depth 1, but the failed search left the cursor at the end.
  EXPECT_FALSE(store.FindElement(1, "part"));
  store.PopIndex();
  EXPECT_EQ(store.XmlFileIndex(), 1);
  EXPECT_TRUE(store.FindElement(1, "part"));
  EXPECT_EQ(store.XmlFileIndex(), 2);
}

TEST(MarkupFind, ChildSearchEndsAtParentEnd) {
  MarkupStore store = Loaded(kTree);
  store.SetXmlFileIndex(3);  // first register
  ASSERT_TRUE(store.FindElement(3, "bitfield"));
  EXPECT_EQ(store.XmlFileIndex(), 4);
  EXPECT_FALSE(store.FindElement(3, "bitfield"));
  EXPECT_EQ(store.XmlFileIndex(), 5);  // the register's end tag ends the scope
}

TEST(MarkupFind, SearchToTheEndLeavesCursorAtCount) {
  MarkupStore store = Loaded("<definition>\n<a>\n<b />\n");
  store.SetXmlFileIndex(2);
  EXPECT_FALSE(store.FindElement(2, "c"));
  EXPECT_EQ(store.XmlFileIndex(), 3);
}

TEST(MarkupFind, EmptyElementWithoutSpaceIsNamedWithItsSlash) {
  MarkupStore store = Loaded("<definition>\n<a/>\n<b />\n<c x=\"1\"/>\n<d>\n</d>\n</definition>\n");
  ASSERT_TRUE(store.FindElement(0, "definition"));
  ASSERT_TRUE(store.PushIndex());
  EXPECT_FALSE(store.FindElement(1, "a"));
  store.PopIndex();
  ASSERT_TRUE(store.PushIndex());
  EXPECT_TRUE(store.FindElement(1, "a/"));
  EXPECT_EQ(store.XmlFileIndex(), 2);
  store.PopIndex();
  EXPECT_TRUE(store.FindElement(1, "b"));
  EXPECT_TRUE(store.FindElement(1, "c"));
  EXPECT_TRUE(store.FindElement(1, "d"));
}

TEST(MarkupFind, NamesAreCaseSensitive) {
  MarkupStore store = Loaded(kTree);
  ASSERT_TRUE(store.FindElement(0, "definition"));
  EXPECT_FALSE(store.FindElement(1, "Part"));
}

// --- Attributes --------------------------------------------------------------

TEST(MarkupAttribute, GetReadsExactValueOfWholeKey) {
  MarkupStore store = Loaded(
      "<definition>\n"
      "<a xaddr=\"9\" addr=\" 1F \" empty=\"\" broken=\"x>\n"
      "</definition>\n");
  store.SetXmlFileIndex(2);
  EXPECT_EQ(store.GetAttribute("addr"), " 1F ");
  EXPECT_EQ(store.GetAttribute("xaddr"), "9");
  EXPECT_EQ(store.GetAttribute("ADDR"), "");
  EXPECT_EQ(store.GetAttribute("empty"), "");
  EXPECT_EQ(store.GetAttribute("missing"), "");
  EXPECT_EQ(store.GetAttribute("broken"), "");  // no closing quote
  store.SetXmlFileIndex(0);
  EXPECT_EQ(store.GetAttribute("addr"), "");
}

TEST(MarkupAttribute, SetReplacesOnlyTheValue) {
  MarkupStore store = Loaded("<definition>\n<a value=\"FF\" label=\"x\" />\n</definition>\n");
  store.SetXmlFileIndex(2);
  EXPECT_TRUE(store.SetAttribute("value", "1234", true));
  EXPECT_EQ(store.Line(2), " <a value=\"1234\" label=\"x\" />");
  EXPECT_TRUE(store.IsModified());
  EXPECT_TRUE(store.SetAttribute("value", "7", false));
  EXPECT_EQ(store.Line(2), " <a value=\"7\" label=\"x\" />");
  // The line is still found and read after being rewritten.
  ASSERT_TRUE(store.FindElement(0, "definition"));
  ASSERT_TRUE(store.FindElement(1, "a"));
  EXPECT_EQ(store.GetAttribute("label"), "x");
}

TEST(MarkupAttribute, SameValueInOtherCaseChangesNothing) {
  MarkupStore store = Loaded("<definition>\n<a value=\"FF\" />\n</definition>\n");
  store.SetXmlFileIndex(2);
  EXPECT_FALSE(store.SetAttribute("value", "ff", true));
  EXPECT_EQ(store.Line(2), " <a value=\"FF\" />");
  EXPECT_FALSE(store.IsModified());
}

TEST(MarkupAttribute, EmptyOrMissingValuesAreNeverFilledOrAdded) {
  MarkupStore store = Loaded("<definition>\n<a value=\"\" />\n</definition>\n");
  store.SetXmlFileIndex(2);
  EXPECT_FALSE(store.SetAttribute("value", "1", true));
  EXPECT_FALSE(store.SetAttribute("label", "1", true));
  EXPECT_EQ(store.Line(2), " <a value=\"\" />");
  EXPECT_FALSE(store.IsModified());
}

TEST(MarkupAttribute, EmptyNewValueAndUnsafeValuesChangeNothing) {
  MarkupStore store = Loaded("<definition>\n<a value=\"1\" />\n</definition>\n");
  store.SetXmlFileIndex(2);
  EXPECT_FALSE(store.SetAttribute("value", "", true));
  EXPECT_FALSE(store.SetAttribute("value", "a\"b", true));
  EXPECT_FALSE(store.SetAttribute("value", "a\r\nb", true));
  EXPECT_EQ(store.Line(2), " <a value=\"1\" />");
  EXPECT_FALSE(store.IsModified());
}

TEST(MarkupAttribute, ManyRewritesKeepEveryLineIntact) {
  std::string text = "<definition>\n";
  for (int i = 0; i < 500; ++i) {
    text += "<a value=\"0\" n=\"" + std::to_string(i) + "\" />\n";
  }
  text += "</definition>\n";
  MarkupStore store = Loaded(text);
  // Enough growing rewrites to make the store compact its text several times.
  for (int round = 0; round < 60; ++round) {
    for (int line = 2; line <= 501; ++line) {
      store.SetXmlFileIndex(line);
      store.SetAttribute("value",
                         std::string(static_cast<std::size_t>(1 + round % 7 * 9), 'A' + round % 2),
                         false);
    }
  }
  for (int line = 2; line <= 501; ++line) {
    store.SetXmlFileIndex(line);
    EXPECT_EQ(store.GetAttribute("n"), std::to_string(line - 2));
  }
}

// --- Cursor, stack and lines -------------------------------------------------

TEST(MarkupCursor, SetXmlFileIndexReturnsPreviousAndRefusesOutsideLines) {
  MarkupStore store = Loaded(kTree);
  EXPECT_EQ(store.SetXmlFileIndex(5), 0);
  EXPECT_EQ(store.SetXmlFileIndex(9), 5);
  EXPECT_EQ(store.SetXmlFileIndex(18), 9);  // beyond the last line: refused
  EXPECT_EQ(store.XmlFileIndex(), 9);
  EXPECT_EQ(store.SetXmlFileIndex(-1), 9);
  EXPECT_EQ(store.XmlFileIndex(), 9);
  EXPECT_FALSE(store.LastError().empty());
}

TEST(MarkupCursor, IndexStackHoldsTwentyOneEntries) {
  MarkupStore store = Loaded(kTree);
  for (int i = 0; i < MarkupStore::kIndexStackSize; ++i) {
    store.SetXmlFileIndex(i % 17);
    ASSERT_TRUE(store.PushIndex()) << i;
  }
  store.SetXmlFileIndex(9);
  EXPECT_FALSE(store.PushIndex());
  EXPECT_EQ(store.IndexStackDepth(), 21);
  store.PopIndex();
  EXPECT_EQ(store.XmlFileIndex(), 20 % 17);
  store.ClearIndexStack();
  EXPECT_EQ(store.IndexStackDepth(), 0);
  store.SetXmlFileIndex(6);
  store.PopIndex();  // empty: does nothing
  EXPECT_EQ(store.XmlFileIndex(), 6);
}

TEST(MarkupLines, AddLinePositionsZeroAndOne) {
  std::string text = "<definition>\n";
  for (int i = 2; i <= 12; ++i) {
    text += "<l" + std::to_string(i) + " />\n";
  }
  MarkupStore store = Loaded(text);
  store.SetXmlFileIndex(10);
  ASSERT_TRUE(store.AddLine(3, "<new0 />", 0));
  EXPECT_EQ(store.Line(10), "   <new0 />");
  EXPECT_EQ(store.Line(11), " <l10 />");
  EXPECT_EQ(store.XmlFileIndex(), 11);

  MarkupStore other = Loaded(text);
  other.SetXmlFileIndex(10);
  ASSERT_TRUE(other.AddLine(3, "<new1 />", 1));
  EXPECT_EQ(other.Line(10), " <l10 />");
  EXPECT_EQ(other.Line(11), "   <new1 />");
  EXPECT_EQ(other.Line(12), " <l11 />");
  EXPECT_EQ(other.XmlFileIndex(), 10);
  EXPECT_EQ(other.LineCount(), 13);
}

TEST(MarkupLines, AddLineAppendsAndReplacesTabs) {
  MarkupStore store;
  store.SetXmlFileIndex(0);
  ASSERT_TRUE(store.AddLine(0, "<definition>", -1));
  ASSERT_TRUE(store.AddLine(2, "<a\tb=\"1\"/>", -1));
  EXPECT_EQ(store.Line(2), "  <a b=\"1\"/>");
  EXPECT_EQ(store.XmlFileIndex(), 0);
}

TEST(MarkupLines, AddLineOutsideTheDocumentIsRefused) {
  MarkupStore store = Loaded(kTree);
  store.SetXmlFileIndex(0);
  EXPECT_FALSE(store.AddLine(1, "<x />", 0));  // would be line 0
  store.SetXmlFileIndex(17);
  EXPECT_FALSE(store.AddLine(1, "<x />", 2));  // would be line 19 of 17
  EXPECT_EQ(store.LineCount(), 17);
  EXPECT_TRUE(store.AddLine(1, "<x />", 1));  // line 18: just after the last
  EXPECT_EQ(store.Line(18), " <x />");
}

TEST(MarkupLimits, StoreHoldsExactly30720Lines) {
  MarkupStore store;
  for (int i = 0; i < MarkupStore::kMaxLines; ++i) {
    ASSERT_TRUE(store.AddLine(1, "<a />", -1));
  }
  EXPECT_EQ(store.Capacity(), 30720);
  EXPECT_FALSE(store.AddLine(1, "<a />", -1));
  store.SetXmlFileIndex(5);
  EXPECT_FALSE(store.AddLine(1, "<a />", 0));
  EXPECT_EQ(store.LineCount(), 30720);
  EXPECT_EQ(store.XmlFileIndex(), 5);
  EXPECT_NE(store.LastError().find("30720"), std::string::npos);
}

TEST(MarkupLimits, LoadOfTooManyLinesIsRefusedAndStoreKept) {
  MarkupStore store = Loaded(kTree);
  std::string text = "<definition>\n";
  for (int i = 0; i < MarkupStore::kMaxLines; ++i) {
    text += "<a />\n";
  }
  EXPECT_FALSE(store.LoadMarkupText(text));
  EXPECT_EQ(store.LineCount(), 17);
  EXPECT_EQ(store.Line(2), " <part label=\"P\">");
  EXPECT_NE(store.LastError().find("30720"), std::string::npos);
  // One line less fits.
  text.resize(text.size() - 6);
  EXPECT_TRUE(store.LoadMarkupText(text));
  EXPECT_EQ(store.LineCount(), 30720);
}

// --- Side document --------------------------------------------------------------

TEST(MarkupSide, SideDocumentParksAndRestoresMainDocument) {
  MarkupStore store = Loaded(kTree);
  store.SetXmlFileIndex(7);
  ASSERT_TRUE(store.BeginSideDocument());
  EXPECT_EQ(store.LineCount(), 0);
  EXPECT_EQ(store.XmlFileIndex(), 0);
  ASSERT_TRUE(store.LoadMarkupText("<definition device=\"x\" test=\"0\">\n</definition>\n"));
  ASSERT_TRUE(store.FindElement(0, "definition"));
  EXPECT_EQ(store.GetAttribute("device"), "x");
  ASSERT_TRUE(store.EndSideDocument());
  EXPECT_EQ(store.LineCount(), 17);
  EXPECT_EQ(store.XmlFileIndex(), 7);
  EXPECT_EQ(store.GetAttribute("addr"), "1");
}

TEST(MarkupSide, NestedBeginAndUnmatchedEndAreRefused) {
  MarkupStore store = Loaded(kTree);
  EXPECT_FALSE(store.EndSideDocument());
  EXPECT_EQ(store.LineCount(), 17);
  ASSERT_TRUE(store.BeginSideDocument());
  store.AddLine(0, "<definition>", -1);
  EXPECT_FALSE(store.BeginSideDocument());  // would lose the parked document
  ASSERT_TRUE(store.EndSideDocument());
  EXPECT_EQ(store.LineCount(), 17);
  EXPECT_EQ(store.Line(17), "</definition>");
}

TEST(MarkupSide, BeginIsRefusedWhenIndexStackIsFull) {
  MarkupStore store = Loaded(kTree);
  for (int i = 0; i < MarkupStore::kIndexStackSize; ++i) {
    ASSERT_TRUE(store.PushIndex());
  }
  EXPECT_FALSE(store.BeginSideDocument());
  EXPECT_EQ(store.LineCount(), 17);
}

}  // namespace
}  // namespace kestrova::markup
