#include "continuous/plot_windows.hpp"

#include <algorithm>
#include <cmath>

namespace kestrova::continuous {

namespace {

// The windows fill the screen down to this share of its height.
constexpr double kUsedScreenHeight = 0.95;
// Column and row counts round up from this fraction.
constexpr double kRoundUp = 0.999;

}  // namespace

void PlotWindows::OpenPlotWindows(std::span<const Plot> plots) {
  windows_.clear();
  for (std::size_t s = 0; s < plots.size() && windows_.size() < kMaxPlotWindows; ++s) {
    const Plot& plot = plots[s];
    const auto registers = std::span<const PlotRegister>(
        plot.registers.data(), static_cast<std::size_t>(plot.registerCount));
    if (!plot.enable || std::none_of(registers.begin(), registers.end(),
                                     [](const PlotRegister& r) { return r.enable; })) {
      continue;
    }
    auto window = std::make_unique<PlotChart>(static_cast<std::int16_t>(windows_.size()),
                                              static_cast<std::int16_t>(s), plot.units);
    for (const PlotRegister& r : registers) {
      if (r.enable) {
        window->AddSlot(r.xmlFileIndex, r.name);
      }
    }
    windows_.push_back(std::move(window));
  }
}

bool PlotWindows::RemovePlot(int index) {
  if (index < 0 || index >= PlotWindowCount()) {
    return false;
  }
  windows_.erase(windows_.begin() + index);
  for (int i = index; i < PlotWindowCount(); ++i) {
    Window(i).SetPlotWindowIndx(static_cast<std::int16_t>(i));
  }
  return windows_.empty();
}

void PlotWindows::SetRegisterValue(std::int16_t xmlFileIndex, double value,
                                   const std::string& text) {
  for (const auto& window : windows_) {
    for (int slot = 0; slot < window->RegSize(); ++slot) {
      if (window->PlotObjRegXmlFileIndex(slot) == xmlFileIndex) {
        window->SetPlotObjRegValue(slot, value);
        window->SetPlotObjRegValueString(slot, text);
      }
    }
  }
}

std::vector<WindowGeometry> TilePlotWindows(int count, int screenWidth, int screenHeight, int top) {
  std::vector<WindowGeometry> tiles;
  if (count <= 0) {
    return tiles;
  }
  const int columns = static_cast<int>(std::sqrt(count) + kRoundUp);
  const int rows = static_cast<int>(static_cast<double>(count) / columns + kRoundUp);
  WindowGeometry first;
  first.top = top;
  first.width = std::min(screenWidth / columns, screenWidth / 2);
  first.height =
      std::min((static_cast<int>(kUsedScreenHeight * screenHeight) - top) / rows, screenHeight / 2);
  tiles.push_back(first);
  for (int i = 1; i < count; ++i) {
    WindowGeometry next = tiles.back();
    next.left += next.width;
    if (next.left + next.width > screenWidth) {
      next.left = first.left;
      next.top += next.height;
    }
    tiles.push_back(next);
  }
  return tiles;
}

}  // namespace kestrova::continuous
