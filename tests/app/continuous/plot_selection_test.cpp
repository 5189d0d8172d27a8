#include "continuous/plot_selection.hpp"
#include "continuous/plot_select_model.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../markup/temp_folder.hpp"
#include "markup/markup_store.hpp"
#include "support/message_box_recorder.hpp"
#include "support/part_text.hpp"

namespace kestrova::continuous {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

struct LoggedRegister {
  std::string title;
  std::string units;
};

const std::string kDegreesC =
    "\xB0"
    "C";

// `count` registers T0, T1, ... of `units` ("#" in it stands for the number).
std::vector<LoggedRegister> Same(int count, const std::string& units) {
  std::vector<LoggedRegister> regs;
  for (int i = 0; i < count; ++i) {
    const std::size_t mark = units.find('#');
    regs.push_back({"T" + std::to_string(i),
                    mark == std::string::npos ? units : units.substr(0, mark) + std::to_string(i)});
  }
  return regs;
}

class PlotSelectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store.SetRetryWait([](std::chrono::milliseconds) {});
  }
  // A part whose registers are all logged; register i sits at line 3 + 3 * i.
  void Open(const std::vector<LoggedRegister>& regs) {
    std::string elements;
    lines.clear();
    for (std::size_t i = 0; i < regs.size(); ++i) {
      elements += ">register log=true title=" + regs[i].title +
                  (regs[i].units.empty() ? "" : " units=" + regs[i].units) +
                  " format=hex >>bitfield label=v addr=" + std::to_string(i) + " bit=7:0 value=0 ";
      lines.push_back(static_cast<std::int16_t>(3 + 3 * i));
    }
    ASSERT_TRUE(store.LoadMarkupText(kestrova::testing::PartText(elements, "label=Test")));
    selection.SetPart(folder.path(), lines);
  }
  std::string PlotFile() const { return folder / "plot.def"; }
  // Per plot its unit and which registers show, "|" between plots.
  std::string Plots() const {
    std::string plots;
    for (int p = 0; p < selection.PlotSelectionNumber(); ++p) {
      plots += std::string(p == 0 ? "" : " | ") + selection.PlotSelectionUnits(p) + " ";
      for (int r = 0; r < selection.PlotSelectionRegisterNumber(p); ++r) {
        plots += selection.PlotRegisterEnable(p, r) ? "1" : "0";
      }
    }
    return plots;
  }

  testing::TempFolder folder;
  markup::MarkupStore store;
  markup::MessageBoxRecorder messages;
  PlotSelection selection{store, messages};
  std::vector<std::int16_t> lines;
};

// A missing file gets the default, written at once and without a word: a
// plot per unit, in list order (a part without logged units gets none). Six
// registers at most show in one plot: more of one unit are split over copies
// of the plot, each showing its six, before the next unit's plot.
TEST_F(PlotSelectionTest, MissingFileGetsTheDefaultPerUnitSplitInSixes) {
  std::vector<LoggedRegister> aThenV = Same(7, "A");
  aThenV.push_back({"Next", "V"});
  const std::pair<std::vector<LoggedRegister>, std::string> cases[] = {
      {{{"Status", ""}}, ""},
      {Same(7, "mV"), "mV 1111110 | mV 0000001"},
      {Same(14, "C"), "C 11111100000000 | C 00000011111100 | C 00000000000011"},
      {aThenV, "A 1111110 | A 0000001 | Volt 1"},
      {{{"Temp", kDegreesC}, {"Supply", "V"}, {"Status", ""}, {"Remote", kDegreesC}},
       kDegreesC + " 11 | Volt 1"},
  };
  for (const auto& [regs, plots] : cases) {
    SCOPED_TRACE(plots);
    std::filesystem::remove(PlotFile());
    Open(regs);
    EXPECT_FALSE(selection.RestorePlotSettings());
    EXPECT_EQ(Plots(), plots);
  }
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(selection.PlotRegisterXmlFileIndex(0, 1), "12");
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
  // The tables stop at 33 registers and 33 plots.
  Open(Same(40, "C"));  // 33 kept, in copies showing 0-5, ..., 30-32
  selection.BuildDefaultSelection();
  ASSERT_EQ(selection.PlotSelectionNumber(), 6);
  EXPECT_EQ(selection.PlotSelectionRegisterNumber(5), kMaxPlotRegisters);
  EXPECT_TRUE(selection.PlotRegisterEnable(5, 32));
  EXPECT_FALSE(selection.PlotRegisterEnable(5, 29));
  Open(Same(40, "U#"));
  selection.BuildDefaultSelection();
  EXPECT_EQ(selection.PlotSelectionNumber(), kMaxPlots);
  EXPECT_EQ(selection.PlotSelectionUnits(32), "U32");
  // Repeated log lines and lines outside the document count once.
  Open(Same(2, "C"));
  selection.SetPart(folder.path(), {3, 3, 6, 3, 999, -4, 0});
  selection.BuildDefaultSelection();
  EXPECT_EQ(Plots(), "C 11");
}

// Add copies a plot after it, delete moves the later plots down; the edits
// read back as saved, texts that would break the file included.
TEST_F(PlotSelectionTest, AddCopiesAfterTheIndexAndDeleteMovesLaterPlotsDown) {
  Open({{"A", "a"}, {"B", "b"}, {"a<b>c", "x/>y"}});
  selection.BuildDefaultSelection();
  selection.SetPlotSelectionEnable(0, false);
  ASSERT_TRUE(selection.PlotSelectionAdd(0));
  EXPECT_EQ(Plots(), "a 1 | a 1 | b 1 | x/>y 1");
  EXPECT_FALSE(selection.PlotSelectionEnable(1));
  ASSERT_TRUE(selection.PlotSelectionDelete(2));
  EXPECT_EQ(Plots(), "a 1 | a 1 | x/>y 1");
  EXPECT_EQ(selection.PlotSelectionUnits(3), "");
  selection.SetPlotRegisterEnable(2, 0, false);
  ASSERT_TRUE(selection.SavePlotSettings());
  PlotSelection again(store, messages);
  again.SetPart(folder.path(), lines);
  EXPECT_TRUE(again.RestorePlotSettings());
  EXPECT_EQ(again.PlotSelectionNumber(), 3);
  EXPECT_FALSE(again.PlotSelectionEnable(0) || again.PlotSelectionEnable(1) ||
               again.PlotRegisterEnable(2, 0));
  EXPECT_EQ(again.PlotRegisterXmlFileIndex(2, 0), "9");
  EXPECT_EQ(again.PlotSelectionUnits(2) + " " + again.PlotRegisterName(2, 0), "x/ >y a<b>c");
  EXPECT_TRUE(messages.shown.empty());
  while (selection.PlotSelectionNumber() < kMaxPlots) {
    ASSERT_TRUE(selection.PlotSelectionAdd(0));
  }
  EXPECT_FALSE(selection.PlotSelectionAdd(0));

  // Indices without a plot or register read empty and change nothing.
  Open({{"A", "a"}});
  selection.BuildDefaultSelection();
  for (const int bad : {-1, 1, 33}) {
    EXPECT_EQ(selection.PlotSelectionUnits(bad) + selection.PlotRegisterName(0, bad), "");
    EXPECT_FALSE(selection.PlotSelectionDelete(bad) || selection.PlotSelectionAdd(bad));
    selection.SetPlotSelectionEnable(bad, false);
    selection.SetPlotRegisterEnable(0, bad, false);
    selection.SetPlotRegisterEnable(bad, 0, false);
  }
  EXPECT_EQ(Plots(), "a 1");
  EXPECT_TRUE(selection.PlotSelectionEnable(0));
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
  EXPECT_EQ(Plots(), "C 11 | C 00 | Volt 1");
  dialog.CheckClicked(1, true);
  dialog.EnableDisable();
  EXPECT_EQ(dialog.EnableDisableCaption(), "Enable Plot");
  EXPECT_FALSE(dialog.CheckBoxesEnabled());
  EXPECT_EQ(dialog.Label(1), "C2");
  EXPECT_EQ(dialog.CheckBoxCount(), 2);

  dialog.SelectTab(0);
  messages.answers.push_back(markup::IDYES);
  dialog.Delete();  // no left neighbour: the tab that took its place
  EXPECT_EQ(dialog.Tabs(), (std::vector<std::string>{"C", "Volt"}));
  EXPECT_EQ(dialog.CurrentPlot(), 0);
  EXPECT_EQ(Plots(), "C 01 | Volt 1");

  messages.answers.push_back(markup::IDNO);
  dialog.Close();
  EXPECT_EQ(messages.Prompts(), "Delete current plot?|Save plot changes?");
  EXPECT_EQ(messages.shown.back().buttons, markup::MB_YESNO);
  EXPECT_EQ(Plots(), "C 11 | Volt 1");
  EXPECT_TRUE(selection.PlotSelectionEnable(0));
}

// A file that cannot be taken is reported with its path and line (or
// replaced silently when it only holds no plot) and replaced by the default,
// which reads back without a word; the definition's cursor stays put.
TEST_F(PlotSelectionTest, FilesThatCannotBeTakenAreReplacedByTheDefault) {
  Open(Same(2, "C"));
  const std::string head = "<definition>\r\n <plot enable=\"True\" units=\"C\">\r\n";
  const std::string tail = " </plot>\r\n</definition>\r\n";
  const auto reg = [](const std::string& attributes) {
    return "  <register " + attributes + " name=\"x\"/>\r\n";
  };
  std::string manyRegisters;
  std::string manyPlots = "<definition>\r\n";
  for (int i = 0; i < 34; ++i) {
    manyRegisters += reg("enable=\"True\" xmlfileindex=\"3\"");
    manyPlots += " <plot enable=\"True\" units=\"C\">\r\n </plot>\r\n";
  }
  const std::pair<std::string, std::string> cases[] = {
      {head + reg("enable=\"True\" xmlfileindex=\"&H3\"") +
           reg("enable=\"True\" xmlfileindex=\"&H4\"") + tail,
       ":4: register xmlfileindex \"&H4\" is not a logged register of this part"},
      {"<definition>\r\n <plot enable=\"maybe\" units=\"C\">\r\n" + tail,
       ":2: plot attribute enable \"maybe\" is not True or False"},
      {head + reg("enable=\"yes\" xmlfileindex=\"3\"") + tail,
       ":3: register attribute enable \"yes\" is not True or False"},
      {head + reg("enable=\"True\" xmlfileindex=\"&Hzz\"") + tail,
       ":3: register attribute xmlfileindex \"&Hzz\" is not a line number"},
      {head + manyRegisters + tail, ":36: more than 33 registers in one plot"},
      {manyPlots + "</definition>\r\n", ":68: more than 33 plots"},
      {"<plot enable=\"True\" units=\"C\">\r\n</plot>\r\n", ": no definition element"},
      {"", ": no definition element"},
      {"<definition>\r\n</definition>\r\n", ""},
  };
  const std::string before = store.SavedText();
  store.SetXmlFileIndex(7);
  for (const auto& [body, problem] : cases) {
    SCOPED_TRACE(problem);
    messages.shown.clear();
    WriteBytes(PlotFile(), body);
    EXPECT_FALSE(selection.RestorePlotSettings());
    const std::string shown =
        problem.empty() ? "" : PlotFile() + problem + "; the default plot selection replaces it.";
    EXPECT_EQ(messages.Prompts(), shown);
    EXPECT_EQ(Plots(), "C 11");
    EXPECT_EQ(selection.PlotRegisterName(0, 1), "T1");
    EXPECT_TRUE(selection.RestorePlotSettings());
    EXPECT_EQ(messages.Prompts(), shown);  // the default reads back without a word
    EXPECT_EQ(store.SavedText(), before);
    EXPECT_EQ(store.XmlFileIndex(), 7);
    EXPECT_EQ(store.IndexStackDepth(), 0);
  }
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
