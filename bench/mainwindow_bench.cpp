// The window on the demo part and the emulated SMBus controller, offscreen: a
// refresh of a full 16-row page with new values, a switch between two pages
// up to its paint, and the start from a new window to the painted panel.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include "engine/transfer_engine.hpp"
#include "form1.hpp"
#include "wrapping_tab_strip.hpp"

namespace {

using namespace kestrova;
using mainwindow::Form1;
using mainwindow::WindowOptions;

// The demo's first group: page 0 shows 15 rows, page 1 all 16.
constexpr int kFullPage = 1;
constexpr int kOtherPage = 0;

const QTemporaryDir& Home() {
  static const QTemporaryDir home;
  return home;
}

WindowOptions DemoOn(const char* link) {
  WindowOptions options;
  options.home = Home().path().toStdString();
  options.device = "demo";
  options.link = link;
  options.emulatedBoard = true;
  return options;
}

void ShowPage(Form1& window, int page) {
  window.Controls().regTab.front()->SetCurrentIndex(page);
  window.RefreshPanel();
}

void BM_RefreshFullPageNewValues(benchmark::State& state) {
  Form1 window(DemoOn("ich"));
  if (!window.Load()) {
    state.SkipWithError("the demo part did not open");
    return;
  }
  window.show();
  ShowPage(window, kFullPage);
  QApplication::processEvents();
  engine::Session& session = window.Session();
  // The device ID changes too: no "Registers do not match part" box.
  session.connection.testFlags |= engine::kTestSkipCheckValue;
  engine::TransferList list;
  for (auto _ : state) {
    state.PauseTiming();
    // Every register takes other bytes, as a read step of a warming chip would.
    engine::BuildTransferList(session, engine::Direction::Read, engine::Scope::All, list);
    for (int i = 0; i < list.count; ++i) {
      list.data[static_cast<std::size_t>(i)] ^= 0x55;
    }
    bool ok = true;
    engine::ApplyTransferResult(session, engine::Direction::Read, list, true, ok);
    state.ResumeTiming();
    window.RefreshPanel();
  }
  if (window.Panel().View().rows.size() != 16) {
    state.SkipWithError("the page does not hold 16 rows");
  }
}
BENCHMARK(BM_RefreshFullPageNewValues)->Unit(benchmark::kMicrosecond);

void BM_PageSwitchPainted(benchmark::State& state) {
  Form1 window(DemoOn("ich"));
  if (!window.Load()) {
    state.SkipWithError("the demo part did not open");
    return;
  }
  window.show();
  QApplication::processEvents();
  int page = kOtherPage;
  for (auto _ : state) {
    page = page == kFullPage ? kOtherPage : kFullPage;
    ShowPage(window, page);
    // Layout and paint: the new page as it reaches the screen.
    QApplication::processEvents();
  }
}
BENCHMARK(BM_PageSwitchPainted)->Unit(benchmark::kMicrosecond);

// From a new window to the drawn panel of the demo part on the emulated
// SMBus controller: startup file, definition, connection, start-up writes
// and reads, tabs and first page.
void BM_StartToPanelShown(benchmark::State& state) {
  for (auto _ : state) {
    Form1 window(DemoOn("ich"));
    if (!window.Load()) {
      state.SkipWithError("the demo part did not open");
      return;
    }
    window.show();
    QApplication::processEvents();  // the first paint
    state.PauseTiming();
    window.close();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_StartToPanelShown)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
