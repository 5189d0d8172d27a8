// The plot window of 33 series, in the three parts of its cost: a read step
// hands the core's PlotChart the step's values ("Update": buffers, Y range,
// legend texts; once per step, for every window); a display frame hands the
// chart's data to QCustomPlot and redraws its buffers ("Redraw": the lines
// and the legend alone, everything at each X shift; at most once per frame);
// the window is then painted ("RedrawAndPaint", here into a pixmap).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <array>
#include <cmath>

#include "plot_window.hpp"

namespace {

using kestrova::continuous::kMaxPlotRegisters;
using kestrova::continuous::PlotChart;
using kestrova::continuous::SlotRange;

constexpr int kWidth = 640;
constexpr int kHeight = 400;

void Step(PlotChart& chart, int step) {
  for (int s = 0; s < chart.RegSize(); ++s) {
    const double value = 25 + s * 0.0625 + std::sin((step + s) * 0.3);
    chart.SetPlotObjRegValue(s, value);
    chart.SetPlotObjRegValueString(s, std::to_string(value).substr(0, 7));
  }
  // The demo part's temperature: 1/16 degree steps over -256 to 256.
  std::array<SlotRange, kMaxPlotRegisters> ranges;
  ranges.fill({-4096, 4095, -256, 255.9375});
  chart.Update(ranges);
}

PlotChart ChartOf33() {
  PlotChart chart(0, 0, "C");
  for (int s = 0; s < kMaxPlotRegisters; ++s) {
    chart.AddSlot(static_cast<std::int16_t>(3 + s), "Register " + std::to_string(s));
  }
  return chart;
}

void BM_PlotChart33Update(benchmark::State& state) {
  PlotChart chart = ChartOf33();
  int step = 0;
  for (auto _ : state) {
    Step(chart, ++step);
    benchmark::DoNotOptimize(chart.YAxis());
  }
}
BENCHMARK(BM_PlotChart33Update)->Unit(benchmark::kMicrosecond);

void RunWindow(benchmark::State& state, bool paint) {
  PlotChart chart = ChartOf33();
  kestrova::plotwindow::PlotWindow window(chart, [](int) {});
  window.resize(kWidth, kHeight);
  window.show();
  int step = 0;
  for (int warm = 0; warm < 40; ++warm) {
    Step(chart, ++step);
  }
  for (auto _ : state) {
    Step(chart, ++step);
    window.Redraw();
    if (paint) {
      QApplication::sendPostedEvents();
      benchmark::DoNotOptimize(window.grab());
    }
  }
}

void BM_PlotWindow33Redraw(benchmark::State& state) {
  RunWindow(state, false);
}
void BM_PlotWindow33RedrawAndPaint(benchmark::State& state) {
  RunWindow(state, true);
}
BENCHMARK(BM_PlotWindow33Redraw)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlotWindow33RedrawAndPaint)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
