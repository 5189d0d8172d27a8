#pragma once
// The plot windows on the screen: one `Plot` per window of the core's plot
// set, opened and tiled at Start Plot, closed when the core lets one go.
// Steps may come at 100 Hz; the windows are drawn at most once per display
// frame and at most 30 times a second, and not while minimised or hidden.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <vector>

#include "continuous/plot_windows.hpp"
#include "plot_window.hpp"

class QWidget;

namespace kestrova::plotwindow {

class PlotWindowsView : public QObject {
  Q_OBJECT

 public:
  // `plots` is the core's plot set; `removePlot` tells the core that the
  // user closed a window (RemovePlot). `owner` is the main window; the plot
  // windows are its child windows.
  PlotWindowsView(const continuous::PlotWindows& plots, std::function<void(int)> removePlot,
                  QWidget* owner);
  ~PlotWindowsView() override;

  // ContinuousFrontEnd's plot events, forwarded by the main window. `top` is
  // where the first row of windows starts on the screen.
  void PlotWindowsOpened(int top);
  void PlotWindowClosing(int index);
  void PlotWindowsUpdated();

  int Count() const { return static_cast<int>(windows_.size()); }
  PlotWindow* Window(int index) const { return windows_[static_cast<std::size_t>(index)]; }

 private:
  void DrawFrame();
  void DrawWindow(int index);
  int FrameMilliseconds() const;

  const continuous::PlotWindows& plots_;
  std::function<void(int)> removePlot_;
  QWidget* owner_;
  std::vector<QPointer<PlotWindow>> windows_;
  QTimer frame_;
  QElapsedTimer sinceLastFrame_;
  int nextToDraw_ = 0;  // the window a frame under way draws next
};

}  // namespace kestrova::plotwindow
