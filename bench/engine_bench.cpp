// One full read step of the engine: BuildTransferList and ApplyTransferResult
// for a read of every register of generated parts of one-byte registers with
// four bit fields each; and a step of the read loop that logs them. The
// device is not involved: this is the program's time only.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "continuous/clock.hpp"
#include "continuous/continuous_read.hpp"
#include "continuous/date_time_text.hpp"
#include "engine/register_edit.hpp"
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

// A session on the generated part of the benchmark's size, without a device.
struct GeneratedSession {
  explicit GeneratedSession(benchmark::State& state)
      : registers(static_cast<int>(state.range(0))), session(store, library, frontEnd) {
    loaded = store.LoadMarkupText(GeneratedPart(registers));
    if (!loaded) {
      state.SkipWithError("the generated part does not load");
    }
  }

  int registers;
  markup::MarkupStore store;
  engine::RecordingDeviceLibrary library;
  test_support::RecordingFrontEnd frontEnd;
  engine::Session session;
  bool loaded = false;
};

void FullReadStep(benchmark::State& state) {
  GeneratedSession part(state);
  if (!part.loaded) {
    return;
  }
  const int registers = part.registers;
  engine::Session& session = part.session;
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
  if (list.count != registers || !part.frontEnd.shown.empty()) {
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

// One step of the read loop while it logs every register of the part: the
// read of the log registers, the bytes taken back, each register's text and
// the log row (written to /dev/null).
void LogStep(benchmark::State& state) {
  GeneratedSession part(state);
  if (!part.loaded) {
    return;
  }
  const int registers = part.registers;
  engine::EditState edit;
  continuous::SteadyClock clock;
  continuous::FixedDateTimeText dateTime;
  continuous::ContinuousRead reader(part.session, edit, dateTime, clock, part.frontEnd);
  if (!reader.StartLogging("/dev/null")) {
    state.SkipWithError("logging does not start");
    return;
  }
  // The first step, the header and the title row.
  for (int step = 0; step < 3; ++step) {
    reader.OnStepTimer();
  }
  for (auto _ : state) {
    reader.OnStepTimer();
    state.PauseTiming();
    part.library.calls.clear();
    part.frontEnd.calls.clear();
    state.ResumeTiming();
  }
  if (!reader.state.loggingActive || reader.state.linesWritten < 3 ||
      !part.frontEnd.shown.empty()) {
    state.SkipWithError("the loop did not log every step");
  }
  state.SetComplexityN(registers);
  state.counters["registers"] = registers;
}
BENCHMARK(LogStep)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity();

}  // namespace
