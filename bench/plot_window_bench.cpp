// The chart update of one plot window of 33 series, as a read step and the
// next display frame do it: the core's PlotChart takes the step's values
// (buffers, Y range, legend texts), the window hands them to QCustomPlot and
// redraws ("Redraw"), then the window is painted once into a pixmap
// ("RedrawAndPaint"). Between X shifts only the lines and the legend are
// redrawn; every tenth step moves the X axis and redraws everything.
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

void RunWindow(benchmark::State& state, bool paint) {
  PlotChart chart(0, 0, "C");
  for (int s = 0; s < kMaxPlotRegisters; ++s) {
    chart.AddSlot(static_cast<std::int16_t>(3 + s), "Register " + std::to_string(s));
  }
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
