// Any bytes as the plot settings file `plot.def`, read for the shipped demo
// part; or, when the input holds the separator "\0plot.def\0", any bytes as
// the part definition (before it) and as `plot.def` (after it), so the
// default selection is built from hostile units and titles as well.
//
// Properties: the selection stays within its tables and names only logged
// registers; the loaded definition and its cursor stay as they were; the
// file written after the read reads back, silently, as the same selection.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "continuous/plot_selection.hpp"
#include "definition/schema.hpp"
#include "definition/walk.hpp"
#include "fuzz_support.hpp"
#include "markup/markup_store.hpp"

using namespace kestrova;
using continuous::PlotSelection;
using markup::MarkupStore;

namespace {

constexpr std::string_view kSeparator{"\0plot.def\0", 10};

const std::string& DemoDefinition() {
  static const std::string text =
      fuzz::ReadWholeFileOrEmpty(std::string(KESTROVA_DATA_DIR) + "/device/demo");
  return text;
}

// The logged registers of the loaded definition, as the "log" read list names them.
std::vector<std::int16_t> LogLines(MarkupStore& store) {
  std::vector<std::int16_t> lines;
  store.PushIndex();
  definition::DefinitionWalk walk(store, definition::WalkOptions{});
  int steps = 0;
  if (walk.PositionOnPart()) {
    while (walk.FindNextRegister() && ++steps < 4000) {
      if (definition::ReadRegister(store).log) {
        lines.push_back(static_cast<std::int16_t>(store.XmlFileIndex()));
      }
    }
  }
  store.PopIndex();
  return lines;
}

bool SameExceptUnits(const continuous::Plot& a, const continuous::Plot& b) {
  if (a.enable != b.enable || a.registerCount != b.registerCount) {
    return false;
  }
  for (int r = 0; r < a.registerCount; ++r) {
    const auto& x = a.registers[static_cast<std::size_t>(r)];
    const auto& y = b.registers[static_cast<std::size_t>(r)];
    if (x.enable != y.enable || x.xmlFileIndex != y.xmlFileIndex || x.name != y.name) {
      return false;
    }
  }
  return true;
}

void CheckTables(const PlotSelection& selection) {
  FUZZ_CHECK(selection.PlotSelectionNumber() >= 0 &&
             selection.PlotSelectionNumber() <= continuous::kMaxPlots);
  for (const continuous::Plot& plot : selection.Plots()) {
    FUZZ_CHECK(plot.registerCount >= 0 && plot.registerCount <= continuous::kMaxPlotRegisters);
    for (int r = 0; r < plot.registerCount; ++r) {
      const auto line = plot.registers[static_cast<std::size_t>(r)].xmlFileIndex;
      const auto& log = selection.LogLines();
      FUZZ_CHECK(std::find(log.begin(), log.end(), line) != log.end());
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::ExactCopy input(data, size);
  std::string_view definitionText = DemoDefinition();
  std::string_view plotText = input.View();
  if (const auto at = plotText.find(kSeparator); at != std::string_view::npos) {
    definitionText = plotText.substr(0, at);
    plotText = plotText.substr(at + kSeparator.size());
  }

  MarkupStore store;
  store.SetRetryWait([](std::chrono::milliseconds) {});
  if (!store.LoadMarkupText(definitionText)) {
    return 0;
  }
  const std::vector<std::int16_t> logLines = LogLines(store);
  store.SetXmlFileIndex(store.LineCount() / 2);
  const int cursor = store.XmlFileIndex();
  const std::string before = store.SavedText();

  const std::string folder = fuzz::ScratchFolder() + "/part";
  std::filesystem::create_directories(folder);
  fuzz::WriteWholeFile(continuous::PlotSettingsPath(folder), plotText);

  fuzz::OkMessageBox messages;
  PlotSelection selection(store, messages);
  selection.SetPart(folder, logLines);
  selection.RestorePlotSettings();
  CheckTables(selection);
  FUZZ_CHECK(store.SavedText() == before && store.XmlFileIndex() == cursor);
  FUZZ_CHECK(store.IndexStackDepth() == 0 && !store.HasSideDocument());

  // Whatever was read is what the next start reads: without a word, twice.
  const int shown = messages.shown;
  FUZZ_CHECK(selection.SavePlotSettings());
  PlotSelection next(store, messages);
  next.SetPart(folder, logLines);
  FUZZ_CHECK(next.RestorePlotSettings() == (selection.PlotSelectionNumber() > 0));
  FUZZ_CHECK(next.PlotSelectionNumber() == selection.PlotSelectionNumber());
  for (int p = 0; p < selection.PlotSelectionNumber(); ++p) {
    const auto& a = selection.Plots()[static_cast<std::size_t>(p)];
    const auto& b = next.Plots()[static_cast<std::size_t>(p)];
    FUZZ_CHECK(SameExceptUnits(a, b));
    FUZZ_CHECK(a.units == b.units || a.units.find("/>") != std::string::npos);
  }
  PlotSelection third(store, messages);
  third.SetPart(folder, logLines);
  third.RestorePlotSettings();
  FUZZ_CHECK(third.PlotSelectionNumber() == next.PlotSelectionNumber());
  for (int p = 0; p < next.PlotSelectionNumber(); ++p) {
    FUZZ_CHECK(third.Plots()[static_cast<std::size_t>(p)].units ==
               next.Plots()[static_cast<std::size_t>(p)].units);
  }
  FUZZ_CHECK(messages.shown == shown);

  // The selection methods keep the tables sound whatever the indices.
  for (int i = -1; i <= continuous::kMaxPlots + 1; ++i) {
    next.PlotSelectionAdd(i);
    next.SetPlotRegisterEnable(i, i, (i & 1) != 0);
    next.PlotRegisterName(i, 0);
  }
  CheckTables(next);
  while (next.PlotSelectionDelete(next.PlotSelectionNumber() - 1)) {
  }
  FUZZ_CHECK(next.PlotSelectionNumber() == 0);
  FUZZ_CHECK(store.SavedText() == before && store.XmlFileIndex() == cursor);
  return 0;
}
