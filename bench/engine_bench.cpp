// One full read step of the engine: BuildTransferList and ApplyTransferResult
// for a read of every register of generated parts of one-byte registers with
// four bit fields each. The device is not involved: this is engine time only.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "engine/session.hpp"
#include "engine/transfer_engine.hpp"
#include "markup/markup_store.hpp"
#include "support/recording_device_library.hpp"
#include "support/recording_front_end.hpp"

namespace {

using namespace kestrova;

std::string GeneratedPart(int registers) {
  std::string text = "<definition>\r\n <part label=\"Generated\">\r\n";
  char line[256];
  for (int r = 0; r < registers; ++r) {
    std::snprintf(line, sizeof line,
                  "  <register title=\"R%d\" grouptabname=\"G%d\" format=\"hex\" log=\"true\">\r\n",
                  r, r / 16);
    text += line;
    for (int f = 0; f < 4; ++f) {
      std::snprintf(line, sizeof line,
                    "   <bitfield label=\"Field %d.%d\" addr=\"%X\" bit=\"%d:%d\" attr=\"RW\" "
                    "value=\"%d\" format=\"dec\" textbox=\"true\" units=\"\"/>\r\n",
                    r, f, r, 7 - 2 * f, 6 - 2 * f, (r + f) % 4);
      text += line;
    }
    text += "  </register>\r\n";
  }
  text += " </part>\r\n</definition>\r\n";
  return text;
}

void FullReadStep(benchmark::State& state) {
  const int registers = static_cast<int>(state.range(0));
  markup::MarkupStore store;
  if (!store.LoadMarkupText(GeneratedPart(registers))) {
    state.SkipWithError("the generated part does not load");
    return;
  }
  engine::RecordingDeviceLibrary library;
  test_support::RecordingFrontEnd messages;
  engine::Session session(store, library, messages);
  engine::TransferList list;
  for (auto _ : state) {
    engine::BuildTransferList(session, engine::Direction::Read, engine::Scope::All, list);
    // Bytes that differ from what the definition holds, so values really change.
    for (int i = 0; i < list.count; ++i) {
      list.data[static_cast<std::size_t>(i)] ^= 0x55;
    }
    bool ok = true;
    engine::ApplyTransferResult(session, engine::Direction::Read, list, true, ok);
    benchmark::DoNotOptimize(list.count);
  }
  if (list.count != registers || !messages.shown.empty()) {
    state.SkipWithError("the read step did not cover every register");
  }
  state.SetComplexityN(registers);
  state.counters["registers"] = registers;
}
BENCHMARK(FullReadStep)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);

}  // namespace
