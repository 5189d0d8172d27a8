#pragma once
// One plot window without its widgets: the registers it draws (its slot
// table), the series buffers of the last 30 samples, the axis ranges and the
// legend texts. Each read step stores the values of its registers in the
// slots and runs `Update`; the window then draws what this object holds.
// Slot j is series j.

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "continuous/plot_selection.hpp"

namespace kestrova::continuous {

// Points per series buffer; a full buffer keeps its newest 20 and the X axis
// moves on by 10 samples.
inline constexpr int kPlotPoints = 30;
inline constexpr int kPlotPointsKept = 20;
inline constexpr int kPlotXShift = kPlotPoints - kPlotPointsKept;
// Legend entries are padded with spaces to this width.
inline constexpr std::size_t kLegendWidth = 18;

struct PlotSlot {
  std::int16_t xmlFileIndex = 0;  // line of the register's element in the definition
  std::string name;               // legend label
  double value = 0;               // last value read
  std::string valueString;        // last value as displayed
};

// A register's raw range and the display range it maps onto.
struct SlotRange {
  double inMin = 0;
  double inMax = 255;
  double dispMin = 0;
  double dispMax = 255;
};

struct AxisRange {
  double min = 0;
  double max = 0;
};

class PlotChart {
 public:
  PlotChart(std::int16_t plotWindowIndx, std::int16_t plotSelectionIndx, std::string plotUnits);

  std::int16_t PlotWindowIndx() const { return plotWindowIndx_; }
  void SetPlotWindowIndx(std::int16_t index) { plotWindowIndx_ = index; }
  std::int16_t PlotSelectionIndx() const { return plotSelectionIndx_; }
  const std::string& PlotUnits() const { return plotUnits_; }
  std::int16_t RegSize() const { return regSize_; }

  // Fills the next slot; false when all 33 are taken.
  bool AddSlot(std::int16_t xmlFileIndex, std::string name);
  // Slot accessors; an index outside the slots in use reads as empty and
  // changes nothing.
  std::int16_t PlotObjRegXmlFileIndex(int slot) const;
  std::string PlotObjRegName(int slot) const;
  double PlotObjRegValue(int slot) const;
  std::string PlotObjRegValueString(int slot) const;
  void SetPlotObjRegValue(int slot, double value);
  void SetPlotObjRegValueString(int slot, std::string text);

  // The chart update of one step: the slots' values become the newest
  // sample. `ranges` holds the format range of each slot's register.
  void Update(std::span<const SlotRange> ranges);

  // The window shows from its first update on.
  bool Shown() const { return shown_; }
  // Samples in each series buffer (0 to 30).
  int PointCount() const { return lastPoint_; }
  // X and Y of point `point` (0-based) of slot `slot`'s series.
  double X(int point) const { return x_[static_cast<std::size_t>(point)]; }
  double Y(int slot, int point) const {
    return y_[static_cast<std::size_t>(slot)][static_cast<std::size_t>(point)];
  }
  AxisRange XAxis() const { return xAxis_; }
  AxisRange YAxis() const { return yAxis_; }
  // The legend entry of slot's series: name, "=", value text, padded to 18.
  const std::string& LegendText(int slot) const { return legend_[static_cast<std::size_t>(slot)]; }
  double NextX() const { return nextX_; }
  double MinValue() const { return minValue_; }
  double MaxValue() const { return maxValue_; }

 private:
  const PlotSlot* SlotAt(int slot) const;
  void ShiftPoints();
  void SetYRange(double ymin, double ymax, std::span<const SlotRange> ranges);

  std::int16_t plotWindowIndx_;
  std::int16_t plotSelectionIndx_;
  std::string plotUnits_;
  std::int16_t regSize_ = 0;
  std::array<PlotSlot, kMaxPlotRegisters> slots_{};

  bool shown_ = false;
  int lastPoint_ = 0;
  double nextX_ = 1;
  double minValue_ = 0;
  double maxValue_ = 0;
  AxisRange xAxis_;
  AxisRange yAxis_;
  std::array<double, kPlotPoints> x_{};
  std::array<std::array<double, kPlotPoints>, kMaxPlotRegisters> y_{};
  std::array<std::string, kMaxPlotRegisters> legend_{};
};

// The number a display text stands for: hexadecimal for "1Ah", else its
// leading decimal number ("25.5" from "25.5"); 0 when it has none.
double PlotValueOfText(const std::string& text);

}  // namespace kestrova::continuous
