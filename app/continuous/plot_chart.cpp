#include "continuous/plot_chart.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "definition/numbers.hpp"

namespace kestrova::continuous {

namespace {

// Start values of the range searches: beyond any value a register shows.
constexpr double kFar = 1e9;
// The narrowest Y range spans 32 raw steps of the finest register, three
// times over. A resolution (raw steps per display unit) from 1 to 8 counts as
// 8, one below 0.01 as 0.01.
constexpr double kRangeRawSteps = 32;
constexpr double kRangeRepeats = 3;
constexpr double kCoarseResolution = 8;
constexpr double kFinestResolution = 0.01;
// Below this margin the range already fits the span.
constexpr double kSpanSlack = 0.1;

double RoundHalfEven(double value) {
  return std::nearbyint(value);
}

// Moves [ymin, ymin + span] into [dmin, dmax] from below, then from above.
void PlaceSpan(double& ymin, double& ymax, double span, double dmin, double dmax) {
  ymin = std::max(ymin, dmin);
  ymax = ymin + span;
  if (ymax > dmax) {
    ymax = dmax;
    ymin = ymax - span;
  }
}

}  // namespace

PlotChart::PlotChart(std::int16_t plotWindowIndx, std::int16_t plotSelectionIndx,
                     std::string plotUnits)
    : plotWindowIndx_(plotWindowIndx),
      plotSelectionIndx_(plotSelectionIndx),
      plotUnits_(std::move(plotUnits)) {}

bool PlotChart::AddSlot(std::int16_t xmlFileIndex, std::string name) {
  if (regSize_ >= kMaxPlotRegisters) {
    return false;
  }
  PlotSlot& slot = slots_[static_cast<std::size_t>(regSize_++)];
  slot.xmlFileIndex = xmlFileIndex;
  slot.name = std::move(name);
  slot.value = 0;
  slot.valueString.clear();
  return true;
}

const PlotSlot* PlotChart::SlotAt(int slot) const {
  return slot >= 0 && slot < regSize_ ? &slots_[static_cast<std::size_t>(slot)] : nullptr;
}

std::int16_t PlotChart::PlotObjRegXmlFileIndex(int slot) const {
  const PlotSlot* s = SlotAt(slot);
  return s != nullptr ? s->xmlFileIndex : 0;
}

std::string PlotChart::PlotObjRegName(int slot) const {
  const PlotSlot* s = SlotAt(slot);
  return s != nullptr ? s->name : std::string();
}

double PlotChart::PlotObjRegValue(int slot) const {
  const PlotSlot* s = SlotAt(slot);
  return s != nullptr ? s->value : 0;
}

std::string PlotChart::PlotObjRegValueString(int slot) const {
  const PlotSlot* s = SlotAt(slot);
  return s != nullptr ? s->valueString : std::string();
}

void PlotChart::SetPlotObjRegValue(int slot, double value) {
  if (SlotAt(slot) != nullptr) {
    slots_[static_cast<std::size_t>(slot)].value = value;
  }
}

void PlotChart::SetPlotObjRegValueString(int slot, std::string text) {
  if (SlotAt(slot) != nullptr) {
    slots_[static_cast<std::size_t>(slot)].valueString = std::move(text);
  }
}

void PlotChart::Update(std::span<const SlotRange> ranges) {
  if (regSize_ == 0) {
    return;
  }
  const auto slots = std::span<const PlotSlot>(slots_.data(), static_cast<std::size_t>(regSize_));
  double ymin = yAxis_.min;
  double ymax = yAxis_.max;
  if (!shown_) {
    shown_ = true;
    nextX_ = 1;
    xAxis_ = {1, kPlotPoints};
    ymin = kFar;
    ymax = -kFar;
    minValue_ = maxValue_ = slots.front().value;
    lastPoint_ = 0;
  }
  if (lastPoint_ >= kPlotPoints) {
    ShiftPoints();
  }
  for (const PlotSlot& slot : slots) {
    minValue_ = std::min(minValue_, slot.value);
    maxValue_ = std::max(maxValue_, slot.value);
  }
  SetYRange(std::min(ymin, minValue_), std::max(ymax, maxValue_), ranges);

  const auto point = static_cast<std::size_t>(lastPoint_);
  x_[point] = nextX_;
  for (std::size_t s = 0; s < slots.size(); ++s) {
    y_[s][point] = slots[s].value;
    std::string& legend = legend_[s];
    legend = slots[s].name + "=" + slots[s].valueString;
    if (legend.size() < kLegendWidth) {
      legend.append(kLegendWidth - legend.size(), ' ');
    }
  }
  ++lastPoint_;
  ++nextX_;
}

void PlotChart::ShiftPoints() {
  const auto kept = static_cast<std::ptrdiff_t>(kPlotPointsKept);
  std::copy(x_.end() - kept, x_.end(), x_.begin());
  minValue_ = kFar;
  maxValue_ = -kFar;
  for (int s = 0; s < regSize_; ++s) {
    auto& series = y_[static_cast<std::size_t>(s)];
    std::copy(series.end() - kept, series.end(), series.begin());
    const auto [low, high] = std::minmax_element(series.begin(), series.begin() + kept);
    minValue_ = std::min(minValue_, *low);
    maxValue_ = std::max(maxValue_, *high);
  }
  lastPoint_ = kPlotPointsKept;
  xAxis_.min += kPlotXShift;
  xAxis_.max = xAxis_.min + kPlotPoints - 1;
}

void PlotChart::SetYRange(double ymin, double ymax, std::span<const SlotRange> ranges) {
  double resolution = 0;
  double dmin = kFar;
  double dmax = -kFar;
  for (std::size_t s = 0; s < std::min(ranges.size(), static_cast<std::size_t>(regSize_)); ++s) {
    const SlotRange& range = ranges[s];
    if (range.dispMax != range.dispMin) {
      resolution = std::max(
          resolution, std::abs((range.inMax - range.inMin) / (range.dispMax - range.dispMin)));
    }
    // A falling display range (100:0) spans the same values as a rising one.
    dmin = std::min({dmin, range.dispMin, range.dispMax});
    dmax = std::max({dmax, range.dispMin, range.dispMax});
  }
  if (resolution >= 1 && resolution < kCoarseResolution) {
    resolution = kCoarseResolution;
  }
  if (resolution < kFinestResolution) {
    resolution = kFinestResolution;
  }
  double span = RoundHalfEven(kRangeRawSteps / resolution);
  if (span == 0) {
    span = 1;
  }
  span *= kRangeRepeats;

  if (ymax - ymin < span) {
    if (dmax - dmin < span) {
      ymin = dmin;
      ymax = dmax;
    } else {
      ymin -= (span - (ymax - ymin)) / 2;
      PlaceSpan(ymin, ymax, span, dmin, dmax);
    }
  }
  // Data narrower than a third of the range sit in its lower third; wider
  // data get a range three times their width.
  const double d = maxValue_ - minValue_;
  if (d >= span / kRangeRepeats && ymax - ymin > kRangeRepeats * d) {
    span = kRangeRepeats * RoundHalfEven(d);
  }
  if (d < span / kRangeRepeats && span + kSpanSlack < ymax - ymin) {
    ymin = minValue_ - span / kRangeRepeats;
    PlaceSpan(ymin, ymax, span, dmin, dmax);
  }
  yAxis_.min = std::floor(ymin);
  yAxis_.max = std::ceil(ymax);
}

double PlotValueOfText(const std::string& text) {
  if (text.size() > 1 && text.back() == 'h') {
    if (const auto hex = definition::ParseHex(std::string_view(text).substr(0, text.size() - 1))) {
      return *hex;
    }
  }
  // A pattern with thousands grouping writes 1,234.5: the commas between
  // digits are not where the number ends.
  std::string number;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool grouping = text[i] == ',' && i > 0 && i + 1 < text.size() &&
                          std::isdigit(static_cast<unsigned char>(text[i - 1])) != 0 &&
                          std::isdigit(static_cast<unsigned char>(text[i + 1])) != 0;
    if (!grouping) {
      number.push_back(text[i]);
    }
  }
  return definition::LeadingNumber(number);
}

}  // namespace kestrova::continuous
