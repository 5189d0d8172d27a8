// The plot windows and the Select Plot dialog wired to the core. The input
// boxes are shown joined by the main window's continuous test.
#include <gtest/gtest.h>

#include <qcustomplot.h>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTest>

#include "../continuous/fake_clock.hpp"
#include "../mainwindow/widget_test_support.hpp"
#include "../markup/temp_folder.hpp"
#include "plot_select.hpp"
#include "plot_window.hpp"
#include "plot_windows_view.hpp"
#include "support/message_box_recorder.hpp"
#include "support/part_text.hpp"

namespace kestrova::plotwindow {
namespace {

using continuous::Plot;
using continuous::testing::PlotOf;
using mainwindow::testing::EnsureApplication;

TEST(PlotWindows, AppearAtTheFirstUpdateTiledAndCloseThroughTheCore) {
  EnsureApplication();
  const std::vector<Plot> plots = {PlotOf("\xB0"
                                          "C",
                                          {{3, "Temp"}}),
                                   PlotOf("V", {{3, "A"}, {6, "B"}})};
  continuous::PlotWindows set;
  set.OpenPlotWindows(plots);
  QWidget owner;
  std::vector<int> removed;
  PlotWindowsView* view = nullptr;
  view = new PlotWindowsView(
      set,
      [&](int index) {
        removed.push_back(index);
        view->PlotWindowClosing(index);
        set.RemovePlot(index);
      },
      &owner);
  view->PlotWindowsOpened(100);
  ASSERT_EQ(view->Count(), 2);
  EXPECT_FALSE(view->Window(0)->isVisible());

  for (int w = 0; w < 2; ++w) {
    continuous::PlotChart& chart = set.Window(w);
    for (int slot = 0; slot < chart.RegSize(); ++slot) {
      chart.SetPlotObjRegValue(slot, 25 + slot);
      chart.SetPlotObjRegValueString(slot, std::to_string(25 + slot));
    }
    const continuous::SlotRange ranges[2];
    chart.Update(ranges);
  }
  view->PlotWindowsUpdated();
  // Redraws are paced, so the windows show at the next redraw, not within the call.
  ASSERT_TRUE(QTest::qWaitFor([&] {
    const QCustomPlot* second = view->Window(1)->Chart();
    return view->Window(0)->isVisible() && second->graphCount() == 2 &&
           second->graph(1)->dataCount() == 1;
  }));
  PlotWindow* temp = view->Window(0);
  EXPECT_EQ(temp->windowTitle(), QString::fromUtf8("\xC2\xB0"
                                                   "C"));
  EXPECT_EQ(temp->y(), QGuiApplication::primaryScreen()->availableGeometry().y() + 100);
  QCustomPlot* chart = view->Window(1)->Chart();
  EXPECT_EQ(chart->graph(1)->name(), "B=26              ");
  EXPECT_EQ(chart->yAxis->range().lower, set.Window(1).YAxis().min);

  view->Window(1)->close();  // by the user
  EXPECT_EQ(removed, std::vector<int>{1});
  EXPECT_EQ(view->Count(), 1);
  view->PlotWindowClosing(0);  // by the core
  EXPECT_EQ(removed, std::vector<int>{1});
  EXPECT_EQ(view->Count(), 0);
}

TEST(PlotSelectDialog, ButtonsReachTheSelectionAndExitAsksToSave) {
  EnsureApplication();
  testing::TempFolder folder;
  markup::MarkupStore store;
  ASSERT_TRUE(store.LoadMarkupText(testing::PartText(
      ">register log=true title=A units=C format=hex >>bitfield label=v addr=0 bit=7:0 value=0")));
  markup::MessageBoxRecorder answers;
  continuous::PlotSelection selection(store, answers);
  selection.SetPart(folder.path(), {3});
  selection.RestorePlotSettings();

  PlotSelect dialog(selection, answers);
  dialog.show();
  auto* tabs = dialog.findChild<QTabBar*>("RegTab");
  auto* remove = dialog.findChild<QPushButton*>("DeleteButton");
  ASSERT_EQ(tabs->count(), 1);
  EXPECT_FALSE(remove->isEnabled());
  dialog.findChild<QPushButton*>("AddButton")->click();
  EXPECT_EQ(tabs->count(), 2);
  EXPECT_EQ(tabs->currentIndex(), 1);
  EXPECT_TRUE(remove->isEnabled());
  dialog.findChild<QPushButton*>("SelectNoneButton")->click();
  EXPECT_FALSE(selection.PlotRegisterEnable(1, 0));
  dialog.findChild<QPushButton*>("EnableDisableButton")->click();
  EXPECT_FALSE(selection.PlotSelectionEnable(1));
  dialog.findChild<QPushButton*>("ExitButton")->click();
  EXPECT_EQ(answers.Prompts(), "Save plot changes?");
  EXPECT_NE(testing::ReadBytes(folder / "plot.def").find("<plot enable=\"False\""),
            std::string::npos);
}

}  // namespace
}  // namespace kestrova::plotwindow
