#include "continuous/plot_selection.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <utility>

#include "definition/numbers.hpp"
#include "markup/document_io.hpp"
#include "markup/side_document.hpp"

namespace kestrova::continuous {

using definition::HexText;
using definition::ParseDecimalInteger;
using definition::ParseHex;
using markup::MarkupStore;
using markup::SideDocument;

namespace {

constexpr std::string_view kReplaced = "; the default plot selection replaces it.";

bool FileIsMissing(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) != 0 && errno == ENOENT;
}

std::string Where(const MarkupStore& store, const std::string& path) {
  return path + ":" + std::to_string(store.SourceLine(store.XmlFileIndex())) + ": ";
}

std::string_view BooleanText(bool value) {
  return value ? "True" : "False";
}

// A text that goes between double quotes on one line: a quote or a line
// break would cut the value short or split the line, so they become blanks.
// Definitions cannot hold either; this guards the file anyway.
std::string AttributeText(std::string_view text) {
  std::string out(text);
  std::replace_if(
      out.begin(), out.end(), [](char c) { return c == '"' || c == '\r' || c == '\n'; }, ' ');
  return out;
}

// A plot's start tag must not read as an empty element, or the registers
// after it would fall out of the plot: "/>" inside the units is broken up.
std::string UnitsText(std::string_view units) {
  std::string out = AttributeText(units);
  for (std::size_t at = out.find("/>"); at != std::string::npos; at = out.find("/>", at + 2)) {
    out.insert(at + 1, " ");
  }
  return out;
}

// Saves the cursor for a walk over children and restores it however the walk
// ends, so the side document's own saved cursor stays on top of the stack.
class CursorSaved {
 public:
  explicit CursorSaved(MarkupStore& store) : store_(store), pushed_(store.PushIndex()) {}
  CursorSaved(const CursorSaved&) = delete;
  CursorSaved& operator=(const CursorSaved&) = delete;
  ~CursorSaved() {
    if (pushed_) {
      store_.PopIndex();
    }
  }

 private:
  MarkupStore& store_;
  bool pushed_;
};

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) {
             return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
           };
           return lower(x) == lower(y);
         });
}

}  // namespace

std::optional<std::int16_t> ParsePlotLineNumber(std::string_view text) {
  std::optional<std::int64_t> number;
  if (text.size() > 2 && text[0] == '&' && (text[1] == 'H' || text[1] == 'h')) {
    const auto hex = ParseHex(text.substr(2));
    if (hex) {
      number = *hex;
    }
  } else {
    number = ParseDecimalInteger(text);
  }
  if (!number || *number < 1 || *number > 32767) {
    return std::nullopt;
  }
  return static_cast<std::int16_t>(*number);
}

std::optional<bool> ParsePlotBoolean(std::string_view text) {
  if (EqualIgnoringAsciiCase(text, "true")) {
    return true;
  }
  if (EqualIgnoringAsciiCase(text, "false")) {
    return false;
  }
  const auto number = ParseDecimalInteger(text);
  if (number) {
    return *number != 0;
  }
  return std::nullopt;
}

std::string PlotSettingsPath(const std::string& deviceFolder) {
  return deviceFolder + "/" + std::string(kPlotSettingsFileName);
}

PlotSelection::PlotSelection(MarkupStore& store, markup::MessageBox& messages)
    : store_(store), messages_(messages) {}

void PlotSelection::SetPart(std::string deviceFolder, std::vector<std::int16_t> logLines) {
  deviceFolder_ = std::move(deviceFolder);
  logLines_ = std::move(logLines);
  Clear();
}

void PlotSelection::Clear() {
  for (int i = 0; i < plotCount_; ++i) {
    plots_[static_cast<std::size_t>(i)] = Plot{};
  }
  plotCount_ = 0;
}

Plot* PlotSelection::PlotAt(int plotIndex) {
  if (plotIndex < 0 || plotIndex >= plotCount_) {
    return nullptr;
  }
  return &plots_[static_cast<std::size_t>(plotIndex)];
}

const Plot* PlotSelection::PlotAt(int plotIndex) const {
  if (plotIndex < 0 || plotIndex >= plotCount_) {
    return nullptr;
  }
  return &plots_[static_cast<std::size_t>(plotIndex)];
}

const PlotRegister* PlotSelection::RegisterAt(int plotIndex, int regIndex) const {
  const Plot* plot = PlotAt(plotIndex);
  if (plot == nullptr || regIndex < 0 || regIndex >= plot->registerCount) {
    return nullptr;
  }
  return &plot->registers[static_cast<std::size_t>(regIndex)];
}

std::string PlotSelection::PlotSelectionUnits(int plotIndex) const {
  const Plot* plot = PlotAt(plotIndex);
  return plot == nullptr ? std::string() : plot->units;
}

bool PlotSelection::PlotSelectionEnable(int plotIndex) const {
  const Plot* plot = PlotAt(plotIndex);
  return plot != nullptr && plot->enable;
}

void PlotSelection::SetPlotSelectionEnable(int plotIndex, bool enable) {
  if (Plot* plot = PlotAt(plotIndex)) {
    plot->enable = enable;
  }
}

std::int16_t PlotSelection::PlotSelectionRegisterNumber(int plotIndex) const {
  const Plot* plot = PlotAt(plotIndex);
  return plot == nullptr ? std::int16_t{0} : plot->registerCount;
}

bool PlotSelection::PlotSelectionDelete(int plotIndex) {
  if (PlotAt(plotIndex) == nullptr) {
    return false;
  }
  for (int i = plotIndex; i + 1 < plotCount_; ++i) {
    plots_[static_cast<std::size_t>(i)] = std::move(plots_[static_cast<std::size_t>(i + 1)]);
  }
  --plotCount_;
  plots_[static_cast<std::size_t>(plotCount_)] = Plot{};
  return true;
}

bool PlotSelection::PlotSelectionAdd(int plotIndex) {
  if (plotCount_ >= kMaxPlots || PlotAt(plotIndex) == nullptr) {
    return false;
  }
  for (int i = plotCount_; i > plotIndex + 1; --i) {
    plots_[static_cast<std::size_t>(i)] = std::move(plots_[static_cast<std::size_t>(i - 1)]);
  }
  plots_[static_cast<std::size_t>(plotIndex + 1)] = plots_[static_cast<std::size_t>(plotIndex)];
  ++plotCount_;
  return true;
}

std::string PlotSelection::PlotRegisterName(int plotIndex, int regIndex) const {
  const PlotRegister* entry = RegisterAt(plotIndex, regIndex);
  return entry == nullptr ? std::string() : entry->name;
}

std::string PlotSelection::PlotRegisterXmlFileIndex(int plotIndex, int regIndex) const {
  const PlotRegister* entry = RegisterAt(plotIndex, regIndex);
  return entry == nullptr ? std::string() : std::to_string(entry->xmlFileIndex);
}

bool PlotSelection::PlotRegisterEnable(int plotIndex, int regIndex) const {
  const PlotRegister* entry = RegisterAt(plotIndex, regIndex);
  return entry != nullptr && entry->enable;
}

void PlotSelection::SetPlotRegisterEnable(int plotIndex, int regIndex, bool enable) {
  Plot* plot = PlotAt(plotIndex);
  if (plot != nullptr && regIndex >= 0 && regIndex < plot->registerCount) {
    plot->registers[static_cast<std::size_t>(regIndex)].enable = enable;
  }
}

bool PlotSelection::SavePlotSettings() {
  if (deviceFolder_.empty()) {
    return false;
  }
  const std::string path = PlotSettingsPath(deviceFolder_);
  SideDocument side(store_);
  if (!side.open()) {
    messages_.Show("Cannot write " + path + ": " + store_.LastError(), markup::MB_OK);
    return false;
  }
  store_.AddLine(0, "<definition>", -1);
  for (const Plot& plot : Plots()) {
    std::string line = "<plot enable=\"";
    line += BooleanText(plot.enable);
    line += "\" units=\"" + UnitsText(plot.units) + "\">";
    store_.AddLine(1, line, -1);
    for (int r = 0; r < plot.registerCount; ++r) {
      const PlotRegister& entry = plot.registers[static_cast<std::size_t>(r)];
      line = "<register enable=\"";
      line += BooleanText(entry.enable);
      line += "\" xmlfileindex=\"&H" + HexText(static_cast<std::uint16_t>(entry.xmlFileIndex)) +
              "\" name=\"" + AttributeText(entry.name) + "\"/>";
      store_.AddLine(2, line, -1);
    }
    store_.AddLine(1, "</plot>", -1);
  }
  store_.AddLine(0, "</definition>", -1);
  return markup::SaveDocument(store_, path, messages_);
}

bool PlotSelection::IsLogLine(std::int32_t line) const {
  return std::find(logLines_.begin(), logLines_.end(), line) != logLines_.end();
}

bool PlotSelection::ReadPlotFile(const std::string& path, std::array<Plot, kMaxPlots>& read,
                                 std::int16_t& readCount, std::string& problem) {
  readCount = 0;
  // A missing file is the first use of the part: no retries, no message.
  if (FileIsMissing(path)) {
    return false;
  }
  SideDocument side(store_);
  if (!side.open()) {
    problem = "Cannot read " + path + ": " + store_.LastError();
    return false;
  }
  if (!store_.LoadMarkupFile(path)) {
    problem = markup::FileErrorMessage(store_, path);
    return false;
  }
  if (!store_.FindElement(0, "definition")) {
    problem = path + ": no definition element";
    return false;
  }
  while (store_.FindElement(1, "plot")) {
    if (readCount == kMaxPlots) {
      problem = Where(store_, path) + "more than " + std::to_string(kMaxPlots) + " plots";
      return false;
    }
    Plot& plot = read[static_cast<std::size_t>(readCount)];
    plot = Plot{};
    const std::string_view enableText = store_.GetAttributeView("enable");
    const auto enable = ParsePlotBoolean(enableText);
    if (!enable) {
      problem = Where(store_, path) + "plot attribute enable \"" + std::string(enableText) +
                "\" is not True or False";
      return false;
    }
    plot.enable = *enable;
    plot.units = store_.GetAttribute("units");
    const CursorSaved onPlot(store_);
    while (store_.FindElement(2, "register")) {
      if (plot.registerCount == kMaxPlotRegisters) {
        problem = Where(store_, path) + "more than " + std::to_string(kMaxPlotRegisters) +
                  " registers in one plot";
        return false;
      }
      PlotRegister& entry = plot.registers[static_cast<std::size_t>(plot.registerCount)];
      const std::string_view registerEnableText = store_.GetAttributeView("enable");
      const auto registerEnable = ParsePlotBoolean(registerEnableText);
      if (!registerEnable) {
        problem = Where(store_, path) + "register attribute enable \"" +
                  std::string(registerEnableText) + "\" is not True or False";
        return false;
      }
      const std::string_view indexText = store_.GetAttributeView("xmlfileindex");
      const auto index = ParsePlotLineNumber(indexText);
      if (!index) {
        problem = Where(store_, path) + "register attribute xmlfileindex \"" +
                  std::string(indexText) + "\" is not a line number";
        return false;
      }
      if (!IsLogLine(*index)) {
        problem = Where(store_, path) + "register xmlfileindex \"" + std::string(indexText) +
                  "\" is not a logged register of this part";
        return false;
      }
      entry.enable = *registerEnable;
      entry.xmlFileIndex = *index;
      entry.name = store_.GetAttribute("name");
      ++plot.registerCount;
    }
    ++readCount;
  }
  return readCount > 0;
}

bool PlotSelection::RestorePlotSettings() {
  if (deviceFolder_.empty()) {
    Clear();
    return false;
  }
  const std::string path = PlotSettingsPath(deviceFolder_);
  auto read = std::make_unique<std::array<Plot, kMaxPlots>>();
  std::int16_t readCount = 0;
  std::string problem;
  if (ReadPlotFile(path, *read, readCount, problem)) {
    Clear();
    for (int i = 0; i < readCount; ++i) {
      plots_[static_cast<std::size_t>(i)] = std::move((*read)[static_cast<std::size_t>(i)]);
    }
    plotCount_ = readCount;
    return true;
  }
  if (!problem.empty()) {
    messages_.Show(problem + std::string(kReplaced), markup::MB_OK);
  }
  BuildDefaultSelection();
  SavePlotSettings();
  return false;
}

void PlotSelection::BuildDefaultSelection() {
  Clear();
  const int previousCursor = store_.XmlFileIndex();
  for (const std::int16_t line : logLines_) {
    if (line < 1 || line > store_.LineCount()) {
      continue;
    }
    store_.SetXmlFileIndex(line);
    std::string units = store_.GetAttribute("units");
    if (units.empty()) {
      continue;
    }
    if (units == "V") {
      units = "Volt";
    }
    Plot* plot = nullptr;
    for (int i = 0; i < plotCount_; ++i) {
      if (plots_[static_cast<std::size_t>(i)].units == units) {
        plot = &plots_[static_cast<std::size_t>(i)];
        break;
      }
    }
    if (plot == nullptr) {
      // Units beyond the last plot the table holds are left out.
      if (plotCount_ == kMaxPlots) {
        continue;
      }
      plot = &plots_[static_cast<std::size_t>(plotCount_++)];
      *plot = Plot{};
      plot->enable = true;
      plot->units = std::move(units);
    }
    const auto begin = plot->registers.begin();
    const auto end = begin + plot->registerCount;
    if (std::any_of(begin, end, [line](const PlotRegister& r) { return r.xmlFileIndex == line; })) {
      continue;
    }
    // Registers beyond the plot's table are left out.
    if (plot->registerCount == kMaxPlotRegisters) {
      continue;
    }
    PlotRegister& entry = plot->registers[static_cast<std::size_t>(plot->registerCount)];
    entry.enable = plot->registerCount < kRegistersShownPerPlot;
    entry.xmlFileIndex = line;
    entry.name = store_.GetAttribute("title");
    ++plot->registerCount;
  }
  store_.SetXmlFileIndex(previousCursor);

  // Long plots become copies of the same unit that each show the next six.
  for (int s = 0; s < plotCount_; ++s) {
    const int n = plots_[static_cast<std::size_t>(s)].registerCount;
    const int copies = n > 0 ? (n - 1) / kRegistersShownPerPlot : 0;
    for (int copy = 1; copy <= copies; ++copy) {
      if (!PlotSelectionAdd(s)) {
        break;
      }
      ++s;
      Plot& plot = plots_[static_cast<std::size_t>(s)];
      for (int r = 0; r < plot.registerCount; ++r) {
        plot.registers[static_cast<std::size_t>(r)].enable = r / kRegistersShownPerPlot == copy;
      }
    }
  }
}

}  // namespace kestrova::continuous
