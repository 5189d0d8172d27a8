// The markup store on a definition of 30,000 lines: load from a file, a full
// walk of every register and bit field, and a save.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "definition/numbers.hpp"
#include "definition/walk.hpp"
#include "markup/markup_store.hpp"

namespace {

using kestrova::definition::DefinitionWalk;
using kestrova::definition::WalkOptions;
using kestrova::markup::MarkupStore;

constexpr int kTargetLines = 30000;

// A part with registers of six bit fields, one in four with a hide condition
// and a combo list, until the file holds about 30,000 tag lines.
std::string GenerateDefinition(int& lines) {
  std::string text =
      "<?xml version=\"1.0\"?>\r\n<definition>\r\n <part label=\"Bench part\">\r\n"
      "  <driver>\r\n   <add type=\"usb\" label=\"Board\" vid=\"400\" pid=\"C35A\" />\r\n"
      "  </driver>\r\n  <interface type=\"i2c\">\r\n   <addr value=\"48\" label=\"Address\" />\r\n"
      "  </interface>\r\n";
  lines = 9;
  for (int reg = 0; lines < kTargetLines - 24; ++reg) {
    const std::string addr = kestrova::definition::HexText(static_cast<std::uint32_t>(reg & 0x3FF));
    text += "  <register grouptabname=\"Group " + std::to_string(reg / 64) +
            "\" groupaddrmask=\"FF\" log=\"true\" title=\"R" + std::to_string(reg) + "\">\r\n";
    ++lines;
    for (int field = 0; field < 6; ++field) {
      const std::string bit = std::to_string(7 - field) + ":" + std::to_string(7 - field);
      if (field == 0 && reg % 4 == 0) {
        text += "   <bitfield label=\"mode\" addr=\"" + addr + "\" bit=\"" + bit +
                "\" value=\"0\">\r\n    <hide addr=\"" + addr +
                "\" bit=\"1:0\" value=\"3\" />\r\n    <add type=\"combo\">\r\n"
                "     <combo label=\"off\" value=\"0\" />\r\n     <combo label=\"on\" value=\"1\" "
                "/>\r\n"
                "    </add>\r\n   </bitfield>\r\n";
        lines += 7;
      } else {
        text += "   <bitfield label=\"field " + std::to_string(field) + "\" addr=\"" + addr +
                "\" bit=\"" + bit + "\" value=\"0\" textbox=\"true\" units=\"C\" />\r\n";
        ++lines;
      }
    }
    text += "  </register>\r\n";
    ++lines;
  }
  text += " </part>\r\n</definition>\r\n";
  lines += 2;
  return text;
}

struct Fixture {
  Fixture() {
    text = GenerateDefinition(lines);
    folder =
        std::filesystem::temp_directory_path() / ("kestrova-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    path = (folder / "bench-part").string();
    std::ofstream(path, std::ios::binary) << text;
  }
  ~Fixture() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  std::string text;
  int lines = 0;
  std::filesystem::path folder;
  std::string path;
};

Fixture& Data() {
  static Fixture fixture;
  return fixture;
}

void BM_LoadDefinitionFile(benchmark::State& state) {
  MarkupStore store;
  for (auto _ : state) {
    const bool loaded = store.LoadMarkupFile(Data().path);
    benchmark::DoNotOptimize(loaded);
  }
  state.counters["lines"] = store.LineCount();
}
BENCHMARK(BM_LoadDefinitionFile)->Unit(benchmark::kMillisecond);

void BM_LoadDefinitionText(benchmark::State& state) {
  MarkupStore store;
  for (auto _ : state) {
    const bool loaded = store.LoadMarkupText(Data().text);
    benchmark::DoNotOptimize(loaded);
  }
  state.counters["lines"] = store.LineCount();
}
BENCHMARK(BM_LoadDefinitionText)->Unit(benchmark::kMillisecond);

// Every register and bit field, reading two attributes of each as the panel does.
int WalkAll(MarkupStore& store, const WalkOptions& options) {
  int fields = 0;
  DefinitionWalk walk(store, options);
  store.PushIndex();
  if (walk.PositionOnPart()) {
    while (walk.FindNextRegister()) {
      const int reg = store.XmlFileIndex();
      while (walk.FindNextBitfield()) {
        benchmark::DoNotOptimize(store.GetAttributeView("addr"));
        benchmark::DoNotOptimize(store.GetAttributeView("value"));
        ++fields;
      }
      store.SetXmlFileIndex(reg);
    }
  }
  store.PopIndex();
  return fields;
}

void BM_WalkAllRegistersAndBitfields(benchmark::State& state) {
  MarkupStore store;
  store.LoadMarkupText(Data().text);
  int fields = 0;
  for (auto _ : state) {
    fields = WalkAll(store, {});
  }
  state.counters["bitfields"] = fields;
}
BENCHMARK(BM_WalkAllRegistersAndBitfields)->Unit(benchmark::kMillisecond);

void BM_WalkWithHideConditions(benchmark::State& state) {
  MarkupStore store;
  store.LoadMarkupText(Data().text);
  kestrova::definition::ByteImageConditionValues values(
      [](std::int32_t address) { return static_cast<std::uint8_t>(address); });
  WalkOptions options;
  options.applyHiding = true;
  options.values = &values;
  int fields = 0;
  for (auto _ : state) {
    fields = WalkAll(store, options);
  }
  state.counters["bitfields"] = fields;
}
BENCHMARK(BM_WalkWithHideConditions)->Unit(benchmark::kMillisecond);

void BM_SetEveryBitfieldValue(benchmark::State& state) {
  MarkupStore store;
  store.LoadMarkupText(Data().text);
  int round = 0;
  for (auto _ : state) {
    const std::string value =
        kestrova::definition::HexText(static_cast<std::uint32_t>(++round % 2 ? 0x1F : 0x100));
    DefinitionWalk walk(store, {});
    walk.PositionOnPart();
    while (walk.FindNextRegister()) {
      const int reg = store.XmlFileIndex();
      while (walk.FindNextBitfield()) {
        store.SetAttribute("value", value, true);
      }
      store.SetXmlFileIndex(reg);
    }
  }
}
BENCHMARK(BM_SetEveryBitfieldValue)->Unit(benchmark::kMillisecond);

void BM_SaveDefinition(benchmark::State& state) {
  MarkupStore store;
  store.LoadMarkupText(Data().text);
  const std::string out = (Data().folder / "saved").string();
  for (auto _ : state) {
    const bool saved = store.SaveMarkupFile(out);
    benchmark::DoNotOptimize(saved);
  }
}
BENCHMARK(BM_SaveDefinition)->Unit(benchmark::kMillisecond);

}  // namespace
