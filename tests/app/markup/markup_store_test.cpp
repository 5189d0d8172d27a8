#include "markup/markup_store.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrova::markup {
namespace {

// The stored lines from `first` on joined by "|", each with its source line when asked.
std::string Lines(const MarkupStore& store, bool sourceLines = false, int first = 1) {
  std::string text;
  for (int i = first; i <= store.LineCount(); ++i) {
    text += (i > first ? "|" : "") + std::string(store.Line(i));
    if (sourceLines) {
      text += "@" + std::to_string(store.SourceLine(i));
    }
  }
  return text;
}

// The store holding `text`, its cursor on line `cursor`.
MarkupStore Loaded(std::string_view text, int cursor = 0) {
  MarkupStore store;
  EXPECT_TRUE(store.LoadMarkupText(text));
  store.SetXmlFileIndex(cursor);
  return store;
}

TEST(MarkupLoad, KeepsOneTagPerLineIndentedByDepth) {
  const struct {
    const char* text;
    const char* lines;
  } cases[] = {
      // Declarations, comments, blank and plain lines go; tabs become the indentation.
      {"<?xml version=\"1.0\"?>\r\n<!-- c -->\r\n<definition>\r\n\t<part "
       "label=\"D\">\r\n\t\t<reg\ta=\"1\">"
       "\r\n\r\n  plain\r\n\t\t\t<b x=\"a\" />\r\n\t\t</reg>\r\n\t</part>\r\n</definition>\r\n",
       "<definition>@3| <part label=\"D\">@4|  <reg a=\"1\">@5|   <b x=\"a\" />@8|  </reg>@9| "
       "</part>@10|</definition>@11"},
      {"junk <definition> trailing\n  x<a b=\"1\" /> y\n</definition>\n",
       "<definition>@1| <a b=\"1\" />@2|</definition>@3"},
      // A tag line has a letter or "/" after its first "<" and a ">" after that.
      {"<definition>\n< a>\n<1a>\n> <b/>\n<c\n</definition>\n",
       "<definition>@1| <b/>@4|</definition>@6"},
      {"<definition>\n<a />\n</definition>\n<after />\n<more>\n",
       "<definition>@1| <a />@2|</definition>@3"},
      // "/>" anywhere in the tag makes an empty element.
      {"<definition>\n<part label=\"in/>value\">\n<register>\n</register>\n</definition>\n",
       "<definition>@1| <part label=\"in/>value\">@2| <register>@3| </register>@4|</definition>@5"},
      {"<definition>\r<a />\n<b />\r\n</definition>",
       "<definition>@1| <a />@2| <b />@3|</definition>@4"},
      {"<definition>\n<a units=\"\xB0\" />\n</definition>\n",
       "<definition>@1| <a units=\"\xB0\" />@2|</definition>@3"},
      // An unfinished root loads whole.
      {"<definition>\n <part>\n  <register />\n", "<definition>@1| <part>@2|  <register />@3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    MarkupStore store = Loaded(c.text);
    EXPECT_EQ(Lines(store, true), c.lines);
    EXPECT_FALSE(store.IsModified());
    EXPECT_EQ(store.SourceLine(0), 0);
    EXPECT_EQ(store.SourceLine(store.LineCount() + 1), 0);
  }
}

TEST(MarkupLoad, CapacityGrowsIn2048LineStepsUpTo30720) {
  std::string longest = "<definition>\n";  // one line more than a store holds
  for (int i = 0; i < MarkupStore::kMaxLines; ++i) {
    longest += "<a />\n";
  }
  MarkupStore store;
  EXPECT_EQ(store.Capacity(), 0);
  ASSERT_TRUE(store.AddLine(0, "<definition>", -1));
  EXPECT_EQ(store.Capacity(), 2048);
  ASSERT_TRUE(store.LoadMarkupText(longest.substr(0, 13 + 2047 * 6)));  // its first 2048 lines
  EXPECT_EQ(store.Capacity(), 2048);
  ASSERT_TRUE(store.AddLine(1, "<b />", -1));
  EXPECT_EQ(store.Capacity(), 4096);

  for (int i = store.LineCount(); i < MarkupStore::kMaxLines; ++i) {
    ASSERT_TRUE(store.AddLine(1, "<a />", -1));
  }
  EXPECT_EQ(store.Capacity(), 30720);
  EXPECT_FALSE(store.AddLine(1, "<a />", -1));
  store.SetXmlFileIndex(5);
  EXPECT_FALSE(store.AddLine(1, "<a />", 0));
  EXPECT_EQ(store.LineCount(), 30720);
  EXPECT_NE(store.LastError().find("30720"), std::string::npos);
  // A longer document is refused whole; one line less fits.
  store = Loaded("<definition>\n</definition>\n");
  EXPECT_FALSE(store.LoadMarkupText(longest));
  EXPECT_EQ(store.LineCount(), 2);
  EXPECT_NE(store.LastError().find("30720"), std::string::npos);
  EXPECT_TRUE(store.LoadMarkupText(longest.substr(0, longest.size() - 6)));
  EXPECT_EQ(store.LineCount(), 30720);
}

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
    "  <driver/>\n"                  // 14 (named with the slash: no blank before "/>")
    " </part>\n"                     // 15
    " <other />\n"                   // 16
    "</definition>\n";               // 17

// A search visits the descendants of the element at the cursor, matches only
// its own depth, and stops at the end of the enclosing element: a failed
// search leaves the cursor there until it is set again.
TEST(MarkupFind, FindsChildrenAtTheirDepthWithinTheirParent) {
  const struct {
    int from;  // -1: where the last step left the cursor
    int level;
    const char* name;
    bool found;
    int cursor;
  } steps[] = {
      {-1, 0, "definition", true, 1}, {-1, 1, "part", true, 2},
      {-1, 2, "register", true, 3},   {-1, 2, "register", true, 7},
      {-1, 2, "register", false, 14}, {-1, 0, "definition", true, 1},
      {2, 2, "driver", false, 14},    {2, 2, "driver/", true, 14},
      {2, 3, "combo", false, 2},      {3, 3, "bitfield", true, 4},
      {-1, 3, "bitfield", false, 5},  {1, 1, "missing", false, 16},
      {-1, 1, "part", false, 16},     {1, 1, "Part", false, 16},
      {1, 1, "other", true, 16},
  };
  MarkupStore store = Loaded(kTree);
  for (const auto& s : steps) {
    SCOPED_TRACE(std::to_string(s.from) + " " + s.name);
    if (s.from >= 0) {
      store.SetXmlFileIndex(s.from);
    }
    EXPECT_EQ(store.FindElement(s.level, s.name), s.found);
    EXPECT_EQ(store.XmlFileIndex(), s.cursor);
  }
  // Without the end tag the search runs to the last line.
  store = Loaded("<definition>\n<a>\n<b />\n", 2);
  EXPECT_FALSE(store.FindElement(2, "c"));
  EXPECT_EQ(store.XmlFileIndex(), 3);
}

TEST(MarkupAttribute, GetReadsTheExactValueOfTheWholeKey) {
  MarkupStore store = Loaded(
      "<definition>\n<a xaddr=\"9\" addr=\" 1F \" empty=\"\" broken=\"x>\n</definition>\n", 2);
  EXPECT_EQ(store.GetAttribute("addr"), " 1F ");
  EXPECT_EQ(store.GetAttribute("xaddr"), "9");
  for (const char* key : {"ADDR", "empty", "missing", "broken"}) {  // broken: no closing quote
    EXPECT_EQ(store.GetAttribute(key), "") << key;
  }
  store.SetXmlFileIndex(0);
  EXPECT_EQ(store.GetAttribute("addr"), "");
}

TEST(MarkupAttribute, SetReplacesOnlyANonEmptyValueThatDiffers) {
  const struct {
    const char* name;
    const char* value;
    bool changed;
    const char* line;
  } cases[] = {
      {"value", "1234", true, " <a value=\"1234\" label=\"x\xE9\" e=\"\" />"},
      {"value", "7", true, " <a value=\"7\" label=\"x\xE9\" e=\"\" />"},
      {"value", "7\t8", true, " <a value=\"7 8\" label=\"x\xE9\" e=\"\" />"},
      {"label", "X\xC9", false, " <a value=\"7 8\" label=\"x\xE9\" e=\"\" />"},  // case only
      {"e", "1", false, " <a value=\"7 8\" label=\"x\xE9\" e=\"\" />"},          // never filled
      {"missing", "1", false, " <a value=\"7 8\" label=\"x\xE9\" e=\"\" />"},    // never added
      {"value", "", false, " <a value=\"7 8\" label=\"x\xE9\" e=\"\" />"},
      {"value", "a\"b", false, " <a value=\"7 8\" label=\"x\xE9\" e=\"\" />"},
      {"value", "a\r\nb", false, " <a value=\"7 8\" label=\"x\xE9\" e=\"\" />"},
  };
  MarkupStore store =
      Loaded("<definition>\n<a value=\"FF\" label=\"x\xE9\" e=\"\" />\n</definition>\n", 2);
  EXPECT_FALSE(store.SetAttribute("value", "ff", true));
  EXPECT_FALSE(store.IsModified());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(store.SetAttribute(c.name, c.value, true), c.changed);
    EXPECT_EQ(store.Line(2), c.line);
  }
  EXPECT_TRUE(store.IsModified());
  ASSERT_TRUE(store.FindElement(0, "definition"));
  ASSERT_TRUE(store.FindElement(1, "a"));
  EXPECT_EQ(store.GetAttribute("label"), "x\xE9");
  // A load keeps the modified flag of what was there, and puts the cursor on line 0.
  EXPECT_TRUE(store.LoadMarkupText("<definition>\n"));
  EXPECT_TRUE(store.IsModified());
  EXPECT_EQ(store.XmlFileIndex(), 0);
}

TEST(MarkupAttribute, ManyRewritesKeepEveryLineIntact) {
  std::string text = "<definition>\n";
  for (int i = 0; i < 500; ++i) {
    text += "<a value=\"0\" n=\"" + std::to_string(i) + "\" />\n";
  }
  MarkupStore store = Loaded(text + "</definition>\n");
  // Enough growing rewrites to make the store compact its text several times;
  // rewrites that do not mark the document leave it unmodified.
  std::string value;
  for (int round = 0; round < 60; ++round) {
    value.assign(static_cast<std::size_t>(1 + round % 7 * 9), 'A' + round % 2);
    for (int line = 2; line <= 501; ++line) {
      store.SetXmlFileIndex(line);
      ASSERT_TRUE(store.SetAttribute("value", value, false));
    }
  }
  EXPECT_FALSE(store.IsModified());
  for (int line = 2; line <= 501; ++line) {
    EXPECT_EQ(store.Line(line),
              " <a value=\"" + value + "\" n=\"" + std::to_string(line - 2) + "\" />");
  }
}

TEST(MarkupCursor, IndexStackAndSideDocumentStayWithinTheDocument) {
  MarkupStore store = Loaded(kTree);
  EXPECT_EQ(store.SetXmlFileIndex(5), 0);
  EXPECT_EQ(store.SetXmlFileIndex(9), 5);
  EXPECT_EQ(store.SetXmlFileIndex(18), 9);  // beyond the last line: refused
  EXPECT_EQ(store.SetXmlFileIndex(-1), 9);
  EXPECT_EQ(store.XmlFileIndex(), 9);
  EXPECT_FALSE(store.LastError().empty());
  for (int i = 0; i < MarkupStore::kIndexStackSize; ++i) {
    store.SetXmlFileIndex(i % 17);
    ASSERT_TRUE(store.PushIndex()) << i;
  }
  EXPECT_FALSE(store.PushIndex());
  EXPECT_FALSE(store.BeginSideDocument());  // it needs a place on the stack
  EXPECT_EQ(store.IndexStackDepth(), 21);
  store.PopIndex();
  EXPECT_EQ(store.XmlFileIndex(), 20 % 17);
  store.ClearIndexStack();
  store.SetXmlFileIndex(6);
  store.PopIndex();  // empty: does nothing
  EXPECT_EQ(store.XmlFileIndex(), 6);
  // A side document parks the main one and gives it back.
  EXPECT_FALSE(store.EndSideDocument());
  store.SetXmlFileIndex(7);
  ASSERT_TRUE(store.BeginSideDocument());
  EXPECT_EQ(store.LineCount(), 0);
  EXPECT_EQ(store.XmlFileIndex(), 0);
  ASSERT_TRUE(store.LoadMarkupText("<definition device=\"x\">\n</definition>\n"));
  EXPECT_FALSE(store.BeginSideDocument());  // would lose the parked document
  ASSERT_TRUE(store.FindElement(0, "definition"));
  EXPECT_EQ(store.GetAttribute("device"), "x");
  ASSERT_TRUE(store.EndSideDocument());
  EXPECT_EQ(store.LineCount(), 17);
  EXPECT_EQ(store.XmlFileIndex(), 7);
  EXPECT_EQ(store.GetAttribute("addr"), "1");
}

TEST(MarkupLines, AddLineInsertsAtTheCursorOrAfterItOrAtTheEnd) {
  const struct {
    int cursor, depth, position;
    bool added;
    int cursorAfter;
    const char* lines;  // from line 9 on, afterwards
  } cases[] = {
      {10, 3, 0, true, 11, " <l9 />|   <n />| <l10 />| <l11 />| <l12 />"},
      {10, 3, 1, true, 10, " <l9 />| <l10 />|   <n />| <l11 />| <l12 />"},
      {0, 1, 0, false, 0, " <l9 />| <l10 />| <l11 />| <l12 />"},    // would be line 0
      {12, 1, 2, false, 12, " <l9 />| <l10 />| <l11 />| <l12 />"},  // would be line 14 of 12
      {12, 1, 1, true, 12, " <l9 />| <l10 />| <l11 />| <l12 />| <n />"},
      {3, 2, -1, true, 3, " <l9 />| <l10 />| <l11 />| <l12 />|  <n />"},  // appended
  };
  const std::string text =
      "<definition>\n<l2 />\n<l3 />\n<l4 />\n<l5 />\n<l6 />\n<l7 />\n<l8 />\n<l9 />\n<l10 />\n"
      "<l11 />\n<l12 />\n";
  for (const auto& c : cases) {
    MarkupStore store = Loaded(text, c.cursor);
    EXPECT_EQ(store.AddLine(c.depth, "<n\t/>", c.position), c.added);
    EXPECT_EQ(store.XmlFileIndex(), c.cursorAfter);
    EXPECT_EQ(Lines(store, false, 9), c.lines);
  }
}

}  // namespace
}  // namespace kestrova::markup
