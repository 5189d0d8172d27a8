// The chart update of one plot window: 33 series of 30 points get this step's
// buffers, the axes their ranges and the legend its texts, then the window is
// drawn once, with QCustomPlot, the plot windows' chart library. "Update" is
// the data alone, "UpdateAndDraw" adds one repaint into a pixmap.
// QCustomPlotLayered draws as a strip chart would between two X shifts: the
// lines and the legend on buffered layers of their own, redrawn alone, the
// axes left as they were.
#include <benchmark/benchmark.h>

#include <qcustomplot.h>
#include <QApplication>
#include <cmath>

namespace {

constexpr int kSeries = 33;
constexpr int kPoints = 30;
constexpr int kWidth = 640;
constexpr int kHeight = 400;

// The step's samples: every series moves a little each step.
double Sample(int series, int x) {
  return 20 + series * 0.5 + std::sin((x + series) * 0.3);
}

QString Legend(int series, int x) {
  return QStringLiteral("Register %1=%2")
      .arg(series)
      .arg(Sample(series, x), 0, 'f', 1)
      .leftJustified(18);
}

template <bool kLayered>
class QCustomPlotWindow {
 public:
  QCustomPlotWindow() {
    // The legend in a column of its own right of the axes, where 33 names fit.
    auto* legendColumn = new QCPLayoutGrid();
    plot_.plotLayout()->addElement(0, 1, legendColumn);
    legendColumn->addElement(0, 0, plot_.legend);
    plot_.legend->setVisible(true);
    plot_.plotLayout()->setColumnStretchFactor(1, 0.001);
    for (int s = 0; s < kSeries; ++s) {
      plot_.addGraph();
    }
    if (kLayered) {
      plot_.addLayer("lines", plot_.layer("main"), QCustomPlot::limAbove);
      plot_.addLayer("names", plot_.layer("lines"), QCustomPlot::limAbove);
      for (int s = 0; s < kSeries; ++s) {
        plot_.graph(s)->setLayer("lines");
      }
      plot_.legend->setLayer("names");
      plot_.layer("lines")->setMode(QCPLayer::lmBuffered);
      plot_.layer("names")->setMode(QCPLayer::lmBuffered);
      plot_.xAxis->setRange(0, kPoints - 1);
      plot_.yAxis->setRange(15, 40);
    }
    plot_.resize(kWidth, kHeight);
    plot_.show();
    keys_.resize(kPoints);
    values_.resize(kPoints);
  }
  void Update(int step) {
    for (int s = 0; s < kSeries; ++s) {
      for (int p = 0; p < kPoints; ++p) {
        keys_[p] = step + p;
        values_[p] = Sample(s, step + p);
      }
      plot_.graph(s)->setData(keys_, values_, true);
      plot_.graph(s)->setName(Legend(s, step));
    }
    if (!kLayered) {
      plot_.xAxis->setRange(step, step + kPoints - 1);
      plot_.yAxis->setRange(15, 40);
    }
  }
  void Draw() {
    if (kLayered) {
      plot_.layer("lines")->replot();
      plot_.layer("names")->replot();
      QApplication::sendPostedEvents();
    } else {
      plot_.replot(QCustomPlot::rpImmediateRefresh);
    }
    benchmark::DoNotOptimize(plot_.grab());
  }

 private:
  QCustomPlot plot_;
  QVector<double> keys_;
  QVector<double> values_;
};

template <typename Window>
void BM_Update(benchmark::State& state) {
  Window window;
  int step = 0;
  for (auto _ : state) {
    window.Update(++step);
  }
}

template <typename Window>
void BM_UpdateAndDraw(benchmark::State& state) {
  Window window;
  int step = 0;
  for (auto _ : state) {
    window.Update(++step);
    window.Draw();
  }
}

using QCustomPlotFull = QCustomPlotWindow<false>;
using QCustomPlotLayered = QCustomPlotWindow<true>;
BENCHMARK(BM_Update<QCustomPlotFull>)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UpdateAndDraw<QCustomPlotFull>)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UpdateAndDraw<QCustomPlotLayered>)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
