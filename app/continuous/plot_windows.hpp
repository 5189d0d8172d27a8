#pragma once
// The open plot windows, densely packed from index 0 (at most 33), and where
// they go on the screen.

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "continuous/plot_chart.hpp"
#include "continuous/plot_selection.hpp"

namespace kestrova::continuous {

inline constexpr int kMaxPlotWindows = kMaxPlots;

class PlotWindows {
 public:
  // One window for every enabled plot with an enabled register, drawing its
  // enabled registers in order. Replaces the windows there were.
  void OpenPlotWindows(std::span<const Plot> plots);
  // The window at `index` leaves the set; later ones move one place down and
  // take their new index. True when it was the last one.
  bool RemovePlot(int index);
  void Clear() { windows_.clear(); }

  int PlotWindowCount() const { return static_cast<int>(windows_.size()); }
  // Stays at the same address while the window is open.
  PlotChart& Window(int index) { return *windows_[static_cast<std::size_t>(index)]; }
  const PlotChart& Window(int index) const { return *windows_[static_cast<std::size_t>(index)]; }

  // A register's value just read reaches every slot that draws it.
  void SetRegisterValue(std::int16_t xmlFileIndex, double value, const std::string& text);

 private:
  std::vector<std::unique_ptr<PlotChart>> windows_;
};

struct WindowGeometry {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// Tiles `count` windows on a screen of the given size, in pixels, left to
// right and then row by row, starting at `top` (just below the main
// window's upper controls). The columns are the square root of the count,
// rounded up; no window is wider or higher than half the screen.
std::vector<WindowGeometry> TilePlotWindows(int count, int screenWidth, int screenHeight, int top);

}  // namespace kestrova::continuous
