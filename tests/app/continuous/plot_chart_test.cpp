#include "continuous/plot_chart.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "continuous/plot_windows.hpp"

namespace kestrova::continuous {
namespace {

// One register's samples through a one-slot window; its name is longer than
// a legend entry's 18 characters.
PlotChart Feed(const std::vector<double>& samples, SlotRange range = {0, 255, 0, 255}) {
  PlotChart chart(0, 0, "C");
  chart.AddSlot(3, "RemoteTemperature");
  for (const double value : samples) {
    chart.SetPlotObjRegValue(0, value);
    chart.SetPlotObjRegValueString(0, std::to_string(value));
    chart.Update(std::span<const SlotRange>(&range, 1));
  }
  return chart;
}

TEST(PlotChart, The31stSampleKeepsTheNewest20AndMovesTheXAxisBy10) {
  std::vector<double> samples;
  for (int k = 1; k <= 31; ++k) {
    samples.push_back(41 - k);  // falling: 40 down to 10
  }
  const PlotChart before = Feed(std::vector<double>(samples.begin(), samples.end() - 1));
  EXPECT_EQ(before.PointCount(), 30);
  EXPECT_EQ(before.XAxis().min, 1);
  EXPECT_EQ(before.XAxis().max, 30);

  const PlotChart chart = Feed(samples);
  ASSERT_EQ(chart.PointCount(), 21);
  EXPECT_EQ(chart.X(0), 11);
  EXPECT_EQ(chart.Y(0, 0), 30);
  EXPECT_EQ(chart.X(19), 30);
  EXPECT_EQ(chart.X(20), 31);
  EXPECT_EQ(chart.Y(0, 20), 10);
  EXPECT_EQ(chart.XAxis().min, 11);
  EXPECT_EQ(chart.XAxis().max, 40);
  EXPECT_EQ(chart.NextX(), 32);
  // The extremes of the kept samples, falling ones included.
  EXPECT_EQ(chart.MinValue(), 10);
  EXPECT_EQ(chart.MaxValue(), 30);
  // A legend entry is padded to 18 characters (shown with the continuous
  // read's plots) and never cut.
  EXPECT_EQ(chart.LegendText(0), "RemoteTemperature=10.000000");
}

TEST(PlotChart, TheYRangeFollowsResolutionDisplayRangeAndData) {
  struct Case {
    const char* what;
    SlotRange range;
    std::vector<double> samples;
    AxisRange y;
  };
  std::vector<double> wideThenNarrow = {100, 200};
  wideThenNarrow.resize(31, 100);
  const Case cases[] = {
      {"display range narrower than the span: pinned to it", {0, 15, 0, 10}, {3}, {0, 10}},
      {"a falling display range pins the same", {0, 15, 10, 0}, {3}, {0, 10}},
      {"0.5 steps: 12 units around the value", {0, 255, 0, 127.5}, {25}, {19, 31}},
      {"kept inside the display range", {0, 255, 0, 127.5}, {2}, {0, 12}},
      {"a fractional end rounds outwards", {0, 255, 0, 127.5}, {25.3}, {19, 32}},
      {"1/16 steps: 6 units", {0, 255, 0, 15.9375}, {5}, {2, 8}},
      {"wider data widen the range", {0, 255, 0, 255}, {100, 200}, {94, 200}},
      {"narrow data again sit in the lower third", {0, 255, 0, 255}, wideThenNarrow, {96, 108}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const PlotChart chart = Feed(c.samples, c.range);
    EXPECT_EQ(chart.YAxis().min, c.y.min);
    EXPECT_EQ(chart.YAxis().max, c.y.max);
  }
}

TEST(PlotChart, PlottedValueOfADisplayText) {
  const std::pair<const char*, double> cases[] = {
      {"25.0", 25}, {"-3.5", -3.5}, {"1Ah", 26},          {"05h", 5},          {"7", 7},
      {"", 0},      {"high", 0},    {"1,234.50", 1234.5}, {"-12,345", -12345}, {"3, 4", 3}};
  for (const auto& [text, value] : cases) {
    EXPECT_EQ(PlotValueOfText(text), value) << text;
  }
}

TEST(PlotWindows, TilingFillsRowsOfSquareRootManyColumnsAtMostHalfTheScreen) {
  const std::pair<int, const char*> cases[] = {
      {1, "0,100 640x400"},
      {4, "0,100 640x330 | 640,100 640x330 | 0,430 640x330 | 640,430 640x330"},
      {5, "0,100 426x330 | 426,100 426x330 | 852,100 426x330 | 0,430 426x330 | 426,430 426x330"},
  };
  for (const auto& [count, tiles] : cases) {
    std::string shown;
    for (const WindowGeometry& g : TilePlotWindows(count, 1280, 800, 100)) {
      shown += (shown.empty() ? "" : " | ") + std::to_string(g.left) + "," + std::to_string(g.top) +
               " " + std::to_string(g.width) + "x" + std::to_string(g.height);
    }
    EXPECT_EQ(shown, tiles) << count;
  }
}

}  // namespace
}  // namespace kestrova::continuous
