#pragma once
// The plot selection: which plot windows open at Start Plot and which logged
// registers each one draws, kept for the loaded part and stored in `plot.def`
// in the device's working folder. Plots and registers are fixed tables with
// explicit counts; indices are 0-based and an index outside the table (or
// beyond its count) reads as empty and changes nothing.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "markup/markup_store.hpp"
#include "markup/message_box.hpp"

namespace kestrova::continuous {

inline constexpr int kMaxPlots = 33;
inline constexpr int kMaxPlotRegisters = 33;
// The default selection enables this many registers per plot and splits
// longer plots into copies that show the next ones.
inline constexpr int kRegistersShownPerPlot = 6;
inline constexpr std::string_view kPlotSettingsFileName = "plot.def";

struct PlotRegister {
  bool enable = false;
  std::int16_t xmlFileIndex = 0;  // line of the register's element in the definition
  std::string name;               // legend label: the register's `title`
};

struct Plot {
  bool enable = false;
  std::string units;  // tab and window caption
  std::int16_t registerCount = 0;
  std::array<PlotRegister, kMaxPlotRegisters> registers{};
};

std::string PlotSettingsPath(const std::string& deviceFolder);

class PlotSelection {
 public:
  // `store` holds the loaded part definition as its main document.
  PlotSelection(markup::MarkupStore& store, markup::MessageBox& messages);

  // Binds the selection to a newly opened part: its working folder and the
  // lines of its logged registers (the "log" read list, in list order;
  // repeated lines count once). Clears the selection.
  void SetPart(std::string deviceFolder, std::vector<std::int16_t> logLines);
  const std::string& DeviceFolder() const { return deviceFolder_; }

  std::int16_t PlotSelectionNumber() const { return plotCount_; }
  std::string PlotSelectionUnits(int plotIndex) const;
  bool PlotSelectionEnable(int plotIndex) const;
  void SetPlotSelectionEnable(int plotIndex, bool enable);
  std::int16_t PlotSelectionRegisterNumber(int plotIndex) const;
  // Moves every later plot one place down. False for an index without a plot.
  bool PlotSelectionDelete(int plotIndex);
  // Inserts a copy of the plot right after it. False when 33 plots exist or
  // the index has no plot.
  bool PlotSelectionAdd(int plotIndex);
  std::string PlotRegisterName(int plotIndex, int regIndex) const;
  // Decimal text; empty for an index without a register.
  std::string PlotRegisterXmlFileIndex(int plotIndex, int regIndex) const;
  bool PlotRegisterEnable(int plotIndex, int regIndex) const;
  void SetPlotRegisterEnable(int plotIndex, int regIndex, bool enable);

  // Writes `plot.def` whole (temporary file and rename); a failure shows
  // "File read/write error for <path>" and the selection in memory stays.
  bool SavePlotSettings();
  // Reads `plot.def`. A missing file, one without plots, or one that names a
  // register that is not logged, is replaced by the default selection, which
  // is written at once; a file that is broken (a value that cannot be read,
  // more plots or registers than the tables hold) is reported with its path
  // and line first. True when the file was taken as it was.
  bool RestorePlotSettings();
  // The default selection built from the logged registers' `units` and
  // `title` (without writing it).
  void BuildDefaultSelection();

  // Read-only view of the tables, for the plot windows and tests.
  std::span<const Plot> Plots() const {
    return std::span<const Plot>(plots_.data(), static_cast<std::size_t>(plotCount_));
  }
  const std::vector<std::int16_t>& LogLines() const { return logLines_; }

 private:
  Plot* PlotAt(int plotIndex);
  const Plot* PlotAt(int plotIndex) const;
  const PlotRegister* RegisterAt(int plotIndex, int regIndex) const;
  // Reads the file into `read`; false with `problem` set (empty when the file
  // is simply missing or has no plots).
  bool ReadPlotFile(const std::string& path, std::array<Plot, kMaxPlots>& read,
                    std::int16_t& readCount, std::string& problem);
  bool IsLogLine(std::int32_t line) const;
  void Clear();

  markup::MarkupStore& store_;
  markup::MessageBox& messages_;
  std::string deviceFolder_;
  std::vector<std::int16_t> logLines_;
  std::int16_t plotCount_ = 0;
  std::array<Plot, kMaxPlots> plots_{};
};

// The `xmlfileindex` text of plot.def: "&H" and upper-case hexadecimal
// digits, or a decimal number. Empty when it is neither or outside 1..32767.
std::optional<std::int16_t> ParsePlotLineNumber(std::string_view text);
// A boolean of plot.def: "True"/"False" in any letter case, or a whole
// number (0 is false). Empty for anything else.
std::optional<bool> ParsePlotBoolean(std::string_view text);

}  // namespace kestrova::continuous
