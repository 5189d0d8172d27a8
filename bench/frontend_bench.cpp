// The panel model's share of RefreshPanel: the rows of one full page (the
// demo part's second page, 16 rows of text boxes, drop-downs, a scroll bar
// and bit fields) built again after every value on it changed, and a switch
// between two pages. The widgets' share is the window's.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "definition/numbers.hpp"
#include "engine/session.hpp"
#include "frontend/panel_view.hpp"
#include "markup/markup_store.hpp"
#include "support/recording_device_library.hpp"
#include "support/recording_front_end.hpp"

namespace {

using namespace kestrova;

constexpr int kFullPage = 1;  // "04-0D" of the demo part's first group: 16 rows

struct DemoPanel {
  DemoPanel() : session(store, library, frontEnd), panel(session) {
    loaded = store.LoadMarkupFile(std::string(KESTROVA_DATA_DIR) + "/device/demo");
    session.connection.link = engine::kLinkUsb;
    session.connection.busType = 2;
    session.OnPartOpened();
    loaded = loaded && panel.Load("demo");
  }

  // Every bit field of the page takes another value, as a read would give.
  void ChangeValues(const frontend::PanelView& view, int step) {
    for (const frontend::PanelRow& row : view.rows) {
      store.SetXmlFileIndex(row.fieldLine);
      const std::int32_t value = definition::HexToLong(store.GetAttributeView("value"));
      store.SetAttribute(
          "value", definition::HexText(static_cast<std::uint32_t>(value ^ (step & 1))), false);
    }
  }

  markup::MarkupStore store;
  engine::RecordingDeviceLibrary library;
  test_support::RecordingFrontEnd frontEnd;
  engine::Session session;
  frontend::PanelModel panel;
  bool loaded = false;
};

void RefreshFullPageWithNewValues(benchmark::State& state) {
  DemoPanel demo;
  if (!demo.loaded || demo.panel.Refresh(0, kFullPage, false).rows.size() != 16) {
    state.SkipWithError("the demo part's second page is not a full page");
    return;
  }
  int step = 0;
  bool sameLayout = true;
  for (auto _ : state) {
    state.PauseTiming();
    demo.ChangeValues(demo.panel.View(), ++step);
    state.ResumeTiming();
    const frontend::PanelView& view = demo.panel.Refresh(0, kFullPage, true);
    sameLayout = sameLayout && !view.pageChanged;
    benchmark::DoNotOptimize(view.rows.data());
  }
  if (!sameLayout) {
    state.SkipWithError("a value refresh laid the rows out again");
  }
}
BENCHMARK(RefreshFullPageWithNewValues)->Unit(benchmark::kMicrosecond);

void SwitchPage(benchmark::State& state) {
  DemoPanel demo;
  if (!demo.loaded) {
    state.SkipWithError("the demo part does not load");
    return;
  }
  int page = 0;
  for (auto _ : state) {
    page = 1 - page;
    const frontend::PanelView& view = demo.panel.Refresh(0, page, false);
    benchmark::DoNotOptimize(view.rows.data());
  }
}
BENCHMARK(SwitchPage)->Unit(benchmark::kMicrosecond);

void LoadPanelPages(benchmark::State& state) {
  DemoPanel demo;
  for (auto _ : state) {
    benchmark::DoNotOptimize(demo.panel.Load("demo"));
  }
}
BENCHMARK(LoadPanelPages)->Unit(benchmark::kMicrosecond);

}  // namespace
