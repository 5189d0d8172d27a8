#include "continuous/plot_selection.hpp"
#include "continuous/plot_select_model.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "../markup/temp_folder.hpp"
#include "markup/markup_store.hpp"
#include "support/message_box_recorder.hpp"

namespace kestrova::continuous {
namespace {

using markup::MarkupStore;
using markup::MessageBoxRecorder;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

struct LoggedRegister {
  std::string title;
  std::string units;
};

// A definition whose registers are all logged; returns the lines of the
// register elements in order. Register i sits at line 3 + 3 * i.
std::vector<std::int16_t> LoadPart(MarkupStore& store, const std::vector<LoggedRegister>& regs) {
  std::string text = "<definition>\r\n <part label=\"Test\">\r\n";
  for (std::size_t i = 0; i < regs.size(); ++i) {
    text += "  <register log=\"true\" title=\"" + regs[i].title + "\"";
    if (!regs[i].units.empty()) {
      text += " units=\"" + regs[i].units + "\"";
    }
    text += " format=\"hex\">\r\n   <bitfield label=\"v\" addr=\"" + std::to_string(i) +
            "\" bit=\"7:0\" value=\"0\"/>\r\n  </register>\r\n";
  }
  text += " </part>\r\n</definition>\r\n";
  EXPECT_TRUE(store.LoadMarkupText(text));
  std::vector<std::int16_t> lines;
  for (std::size_t i = 0; i < regs.size(); ++i) {
    lines.push_back(static_cast<std::int16_t>(3 + 3 * i));
  }
  return lines;
}

std::vector<LoggedRegister> Same(int count, const std::string& units) {
  std::vector<LoggedRegister> regs;
  for (int i = 0; i < count; ++i) {
    regs.push_back({"T" + std::to_string(i), units});
  }
  return regs;
}

std::vector<bool> Enables(const PlotSelection& selection, int plot) {
  std::vector<bool> enables;
  for (int r = 0; r < selection.PlotSelectionRegisterNumber(plot); ++r) {
    enables.push_back(selection.PlotRegisterEnable(plot, r));
  }
  return enables;
}

class PlotSelectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store.SetRetryWait([](std::chrono::milliseconds) {});
  }
  void Open(const std::vector<LoggedRegister>& regs) {
    lines = LoadPart(store, regs);
    selection.SetPart(folder.path(), lines);
  }
  std::string PlotFile() const { return folder / "plot.def"; }

  TempFolder folder;
  MarkupStore store;
  MessageBoxRecorder messages;
  PlotSelection selection{store, messages};
  std::vector<std::int16_t> lines;
};

TEST_F(PlotSelectionTest, MissingFileBuildsTheDefaultPerUnitAndWritesItAtOnce) {
  Open({{"Temp",
         "\xB0"
         "C"},
        {"Supply", "V"},
        {"Status", ""},
        {"Remote",
         "\xB0"
         "C"}});
  EXPECT_FALSE(selection.RestorePlotSettings());
  EXPECT_TRUE(messages.shown.empty());
  ASSERT_EQ(selection.PlotSelectionNumber(), 2);
  EXPECT_EQ(selection.PlotSelectionUnits(0),
            "\xB0"
            "C");
  EXPECT_EQ(selection.PlotSelectionUnits(1), "Volt");
  EXPECT_TRUE(selection.PlotSelectionEnable(0));
  EXPECT_EQ(selection.PlotSelectionRegisterNumber(0), 2);
  EXPECT_EQ(selection.PlotRegisterName(0, 1), "Remote");
  EXPECT_EQ(selection.PlotRegisterXmlFileIndex(0, 1), "12");
  EXPECT_EQ(selection.PlotRegisterName(1, 0), "Supply");
  EXPECT_EQ(ReadBytes(PlotFile()),
            "<definition>\r\n"
            " <plot enable=\"True\" units=\"\xB0"
            "C\">\r\n"
            "  <register enable=\"True\" xmlfileindex=\"&H3\" name=\"Temp\"/>\r\n"
            "  <register enable=\"True\" xmlfileindex=\"&HC\" name=\"Remote\"/>\r\n"
            " </plot>\r\n"
            " <plot enable=\"True\" units=\"Volt\">\r\n"
            "  <register enable=\"True\" xmlfileindex=\"&H6\" name=\"Supply\"/>\r\n"
            " </plot>\r\n"
            "</definition>\r\n");
}

// Six registers at most show in one plot: more of one unit are split over
// copies of the plot, each showing its six, before the next unit's plot.
TEST_F(PlotSelectionTest, ARegisterUnitOfMoreThanSixIsSplitOverCopies) {
  struct Case {
    int count;
    const char* unit;
    const char* next;   // the unit of one more register after them ("": none)
    const char* plots;  // per plot its unit and which registers show, "|" between plots
  };
  const Case cases[] = {
      {7, "mV", "", "mV 1111110 | mV 0000001"},
      {14, "C", "", "C 11111100000000 | C 00000011111100 | C 00000000000011"},
      {7, "A", "V", "A 1111110 | A 0000001 | Volt 1"},
  };
  for (const Case& c : cases) {
    std::vector<LoggedRegister> regs = Same(c.count, c.unit);
    if (*c.next != '\0') {
      regs.push_back({"Next", c.next});
    }
    Open(regs);
    selection.BuildDefaultSelection();
    std::string plots;
    for (int p = 0; p < selection.PlotSelectionNumber(); ++p) {
      plots += std::string(p == 0 ? "" : " | ") + selection.PlotSelectionUnits(p) + " ";
      for (const bool enable : Enables(selection, p)) {
        plots += enable ? "1" : "0";
      }
    }
    EXPECT_EQ(plots, c.plots);
  }
}

TEST_F(PlotSelectionTest, RepeatedLogLinesAndLinesOutsideTheDocumentCountOnce) {
  Open(Same(2, "C"));
  selection.SetPart(folder.path(), {3, 3, 6, 3, 999, -4, 0});
  selection.BuildDefaultSelection();
  ASSERT_EQ(selection.PlotSelectionNumber(), 1);
  EXPECT_EQ(selection.PlotSelectionRegisterNumber(0), 2);
}

TEST_F(PlotSelectionTest, DefaultStopsAtTheTablesLimits) {
  Open(Same(40, "C"));
  selection.BuildDefaultSelection();
  // 33 registers kept; split into copies showing 0-5, ..., 30-32.
  ASSERT_EQ(selection.PlotSelectionNumber(), 6);
  EXPECT_EQ(selection.PlotSelectionRegisterNumber(5), kMaxPlotRegisters);
  EXPECT_TRUE(selection.PlotRegisterEnable(5, 32));
  EXPECT_FALSE(selection.PlotRegisterEnable(5, 29));

  std::vector<LoggedRegister> units;
  for (int i = 0; i < 40; ++i) {
    units.push_back({"T", "U" + std::to_string(i)});
  }
  Open(units);
  selection.BuildDefaultSelection();
  EXPECT_EQ(selection.PlotSelectionNumber(), kMaxPlots);
  EXPECT_EQ(selection.PlotSelectionUnits(32), "U32");
}

TEST_F(PlotSelectionTest, AddCopiesAfterTheIndexAndDeleteMovesLaterPlotsDown) {
  Open({{"A", "a"}, {"B", "b"}, {"C", "c"}});
  selection.BuildDefaultSelection();
  selection.SetPlotSelectionEnable(0, false);
  ASSERT_TRUE(selection.PlotSelectionAdd(0));
  ASSERT_EQ(selection.PlotSelectionNumber(), 4);
  EXPECT_EQ(selection.PlotSelectionUnits(0), "a");
  EXPECT_EQ(selection.PlotSelectionUnits(1), "a");
  EXPECT_FALSE(selection.PlotSelectionEnable(1));
  EXPECT_EQ(selection.PlotSelectionUnits(2), "b");
  EXPECT_EQ(selection.PlotSelectionUnits(3), "c");

  ASSERT_TRUE(selection.PlotSelectionDelete(2));
  ASSERT_EQ(selection.PlotSelectionNumber(), 3);
  EXPECT_EQ(selection.PlotSelectionUnits(2), "c");
  EXPECT_EQ(selection.PlotRegisterName(2, 0), "C");
  EXPECT_EQ(selection.PlotSelectionUnits(3), "");

  while (selection.PlotSelectionNumber() < kMaxPlots) {
    ASSERT_TRUE(selection.PlotSelectionAdd(0));
  }
  EXPECT_FALSE(selection.PlotSelectionAdd(0));
  EXPECT_EQ(selection.PlotSelectionNumber(), kMaxPlots);
}

TEST_F(PlotSelectionTest, IndicesWithoutAPlotOrRegisterReadEmptyAndChangeNothing) {
  Open({{"A", "a"}});
  selection.BuildDefaultSelection();
  for (const int bad : {-1, 1, 33}) {
    EXPECT_EQ(selection.PlotSelectionUnits(bad) + selection.PlotRegisterName(0, bad), "");
    EXPECT_FALSE(selection.PlotSelectionDelete(bad) || selection.PlotSelectionAdd(bad));
    selection.SetPlotSelectionEnable(bad, false);
    selection.SetPlotRegisterEnable(0, bad, false);
    selection.SetPlotRegisterEnable(bad, 0, false);
  }
  EXPECT_EQ(selection.PlotSelectionNumber(), 1);
  EXPECT_TRUE(selection.PlotSelectionEnable(0));
  EXPECT_TRUE(selection.PlotRegisterEnable(0, 0));
}

TEST_F(PlotSelectionTest, EditsSurviveSaveAndRestore) {
  Open(Same(3, "C"));
  selection.RestorePlotSettings();
  selection.SetPlotRegisterEnable(0, 1, false);
  ASSERT_TRUE(selection.PlotSelectionAdd(0));
  selection.SetPlotSelectionEnable(1, false);
  ASSERT_TRUE(selection.SavePlotSettings());

  PlotSelection again(store, messages);
  again.SetPart(folder.path(), lines);
  EXPECT_TRUE(again.RestorePlotSettings());
  ASSERT_EQ(again.PlotSelectionNumber(), 2);
  EXPECT_EQ(Enables(again, 0), (std::vector<bool>{true, false, true}));
  EXPECT_FALSE(again.PlotSelectionEnable(1));
  EXPECT_EQ(again.PlotRegisterXmlFileIndex(1, 2), "9");
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PlotSelectionTest, SelectPlotDialogDeletesOnlySharedUnitsAndNoOnCloseRestores) {
  Open({{"A", "C"}, {"B", "V"}, {"C2", "C"}});
  selection.RestorePlotSettings();
  PlotSelectModel dialog(selection, messages);
  dialog.Load();
  ASSERT_EQ(dialog.Tabs(), (std::vector<std::string>{"C", "Volt"}));
  EXPECT_FALSE(dialog.DeleteEnabled());  // the only plot of its unit
  dialog.Delete();
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(selection.PlotSelectionNumber(), 2);

  dialog.Add();  // a copy of "C" after it, selected
  EXPECT_EQ(dialog.Tabs(), (std::vector<std::string>{"C", "C", "Volt"}));
  EXPECT_EQ(dialog.CurrentPlot(), 1);
  EXPECT_TRUE(dialog.DeleteEnabled());
  dialog.SelectNone();
  EXPECT_EQ(Enables(selection, 1), (std::vector<bool>{false, false}));
  dialog.CheckClicked(1, true);
  dialog.EnableDisable();
  EXPECT_EQ(dialog.EnableDisableCaption(), "Enable Plot");
  EXPECT_FALSE(dialog.CheckBoxesEnabled());
  EXPECT_EQ(dialog.Label(1), "C2");
  EXPECT_EQ(dialog.CheckBoxCount(), 2);

  dialog.SelectTab(0);
  messages.answers.push_back(markup::IDYES);
  dialog.Delete();  // no left neighbour: the tab that took its place
  EXPECT_EQ(messages.shown.back().prompt, "Delete current plot?");
  EXPECT_EQ(dialog.Tabs(), (std::vector<std::string>{"C", "Volt"}));
  EXPECT_EQ(dialog.CurrentPlot(), 0);
  EXPECT_EQ(Enables(selection, 0), (std::vector<bool>{false, true}));

  messages.answers.push_back(markup::IDNO);
  dialog.Close();
  EXPECT_EQ(messages.shown.back().prompt, "Save plot changes?");
  EXPECT_EQ(messages.shown.back().buttons, markup::MB_YESNO);
  EXPECT_EQ(Enables(selection, 0), (std::vector<bool>{true, true}));
  EXPECT_TRUE(selection.PlotSelectionEnable(0));
}

TEST_F(PlotSelectionTest, FileOfAnotherPartIsReplacedByTheDefaultWithItsLineNamed) {
  Open(Same(2, "C"));
  const std::string other =
      "<definition>\r\n"
      " <plot enable=\"True\" units=\"C\">\r\n"
      "  <register enable=\"True\" xmlfileindex=\"&H3\" name=\"T0\"/>\r\n"
      "  <register enable=\"True\" xmlfileindex=\"&H4\" name=\"Other\"/>\r\n"
      " </plot>\r\n"
      "</definition>\r\n";
  WriteBytes(PlotFile(), other);
  EXPECT_FALSE(selection.RestorePlotSettings());
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].prompt,
            PlotFile() +
                ":4: register xmlfileindex \"&H4\" is not a logged register of this part; the "
                "default plot selection replaces it.");
  EXPECT_EQ(selection.PlotSelectionRegisterNumber(0), 2);
  EXPECT_EQ(selection.PlotRegisterName(0, 1), "T1");
  EXPECT_NE(ReadBytes(PlotFile()), other);
  // The file written is read back without a word.
  messages.shown.clear();
  EXPECT_TRUE(selection.RestorePlotSettings());
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PlotSelectionTest, BrokenFilesAreReportedWithPathAndLineAndReplaced) {
  Open(Same(2, "C"));
  struct Case {
    std::string body;
    std::string problem;
  };
  const std::string head = "<definition>\r\n <plot enable=\"True\" units=\"C\">\r\n";
  const std::string tail = " </plot>\r\n</definition>\r\n";
  std::string manyRegisters;
  for (int i = 0; i < 34; ++i) {
    manyRegisters += "  <register enable=\"True\" xmlfileindex=\"3\" name=\"x\"/>\r\n";
  }
  std::string manyPlots = "<definition>\r\n";
  for (int i = 0; i < 34; ++i) {
    manyPlots += " <plot enable=\"True\" units=\"C\">\r\n </plot>\r\n";
  }
  manyPlots += "</definition>\r\n";
  const std::vector<Case> cases = {
      {"<definition>\r\n <plot enable=\"maybe\" units=\"C\">\r\n" + tail,
       ":2: plot attribute enable \"maybe\" is not True or False"},
      {"<definition>\r\n <plot units=\"C\">\r\n" + tail,
       ":2: plot attribute enable \"\" is not True or False"},
      {head + "  <register enable=\"yes\" xmlfileindex=\"3\" name=\"x\"/>\r\n" + tail,
       ":3: register attribute enable \"yes\" is not True or False"},
      {head + "  <register enable=\"True\" xmlfileindex=\"&Hzz\" name=\"x\"/>\r\n" + tail,
       ":3: register attribute xmlfileindex \"&Hzz\" is not a line number"},
      {head + "  <register enable=\"True\" xmlfileindex=\"&HFFFF\" name=\"x\"/>\r\n" + tail,
       ":3: register attribute xmlfileindex \"&HFFFF\" is not a line number"},
      {head + "  <register enable=\"True\" name=\"x\"/>\r\n" + tail,
       ":3: register attribute xmlfileindex \"\" is not a line number"},
      {head + manyRegisters + tail, ":36: more than 33 registers in one plot"},
      {manyPlots, ":68: more than 33 plots"},
      {"<plot enable=\"True\" units=\"C\">\r\n</plot>\r\n", ": no definition element"},
  };
  for (const Case& c : cases) {
    messages.shown.clear();
    WriteBytes(PlotFile(), c.body);
    EXPECT_FALSE(selection.RestorePlotSettings()) << c.problem;
    ASSERT_EQ(messages.shown.size(), 1u) << c.problem;
    EXPECT_EQ(messages.shown[0].prompt,
              PlotFile() + c.problem + "; the default plot selection replaces it.");
    EXPECT_EQ(selection.PlotSelectionNumber(), 1) << c.problem;
    EXPECT_EQ(Enables(selection, 0), (std::vector<bool>{true, true})) << c.problem;
  }
}

TEST_F(PlotSelectionTest, FileWithoutPlotsIsReplacedSilently) {
  Open(Same(1, "C"));
  for (const std::string body : {"", "<definition>\r\n</definition>\r\n", "garbage\x01\xff"}) {
    WriteBytes(PlotFile(), body);
    EXPECT_FALSE(selection.RestorePlotSettings());
    EXPECT_EQ(selection.PlotSelectionNumber(), 1);
  }
  // An empty file and text without tags have no root: that is reported.
  EXPECT_EQ(messages.shown.size(), 2u);
}

TEST_F(PlotSelectionTest, PartWithoutLoggedUnitsWritesAnEmptySelection) {
  Open({{"Status", ""}});
  EXPECT_FALSE(selection.RestorePlotSettings());
  EXPECT_EQ(selection.PlotSelectionNumber(), 0);
  EXPECT_EQ(ReadBytes(PlotFile()), "<definition>\r\n</definition>\r\n");
  EXPECT_FALSE(selection.RestorePlotSettings());
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PlotSelectionTest, TheLoadedDefinitionAndItsCursorStayUntouched) {
  Open(Same(8, "C"));
  const std::string before = store.SavedText();
  store.SetXmlFileIndex(7);
  selection.RestorePlotSettings();
  selection.SavePlotSettings();
  selection.RestorePlotSettings();
  EXPECT_EQ(store.SavedText(), before);
  EXPECT_EQ(store.XmlFileIndex(), 7);
  EXPECT_EQ(store.IndexStackDepth(), 0);
  EXPECT_FALSE(store.HasSideDocument());

  // Also after a broken file stopped the reading in the middle of a plot.
  WriteBytes(PlotFile(),
             "<definition>\r\n <plot enable=\"True\" units=\"C\">\r\n"
             "  <register enable=\"bad\" xmlfileindex=\"3\" name=\"x\"/>\r\n </plot>\r\n"
             "</definition>\r\n");
  selection.RestorePlotSettings();
  EXPECT_EQ(store.SavedText(), before);
  EXPECT_EQ(store.XmlFileIndex(), 7);
  EXPECT_EQ(store.IndexStackDepth(), 0);
}

TEST_F(PlotSelectionTest, FailedSaveShowsTheFileErrorAndKeepsTheOldFileAndTheSelection) {
  Open(Same(2, "C"));
  selection.RestorePlotSettings();
  const std::string old = ReadBytes(PlotFile());
  selection.SetPlotRegisterEnable(0, 0, false);
  store.SetWriteFunction([](int, const char*, std::size_t) -> long {
    errno = ENOSPC;
    return -1;
  });
  EXPECT_FALSE(selection.SavePlotSettings());
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].prompt.rfind("File read/write error for " + PlotFile(), 0), 0u);
  EXPECT_EQ(ReadBytes(PlotFile()), old);
  EXPECT_FALSE(selection.PlotRegisterEnable(0, 0));

  messages.shown.clear();
  selection.SetPart(folder / "missing-folder", lines);
  store.SetWriteFunction(nullptr);
  EXPECT_FALSE(selection.RestorePlotSettings());
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].prompt,
            "File read/write error for " + (folder / "missing-folder") + "/plot.def");
  EXPECT_EQ(selection.PlotSelectionNumber(), 1);
}

TEST_F(PlotSelectionTest, TextsThatWouldBreakTheFileAreWrittenSoTheyReadBack) {
  Open({{"a<b>c", "x/>y"}});
  selection.BuildDefaultSelection();
  ASSERT_TRUE(selection.SavePlotSettings());
  EXPECT_TRUE(selection.RestorePlotSettings());
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(selection.PlotSelectionUnits(0), "x/ >y");
  EXPECT_EQ(selection.PlotRegisterName(0, 0), "a<b>c");
}

TEST(PlotSettingsNumbersTest, LineNumbersAndBooleans) {
  EXPECT_EQ(ParsePlotLineNumber("&H1F"), 31);
  EXPECT_EQ(ParsePlotLineNumber("&h7fff"), 32767);
  EXPECT_EQ(ParsePlotLineNumber("31"), 31);
  EXPECT_EQ(ParsePlotLineNumber(" 31 "), 31);
  for (const char* bad : {"", "&H", "&H0", "0", "-3", "32768", "&H8000", "3.5", "x", "&H 1"}) {
    EXPECT_FALSE(ParsePlotLineNumber(bad).has_value()) << bad;
  }
  EXPECT_EQ(ParsePlotBoolean("True"), true);
  EXPECT_EQ(ParsePlotBoolean("false"), false);
  EXPECT_EQ(ParsePlotBoolean("-1"), true);
  EXPECT_EQ(ParsePlotBoolean("0"), false);
  for (const char* bad : {"", "yes", "Tru", "1.0", "truee"}) {
    EXPECT_FALSE(ParsePlotBoolean(bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace kestrova::continuous
