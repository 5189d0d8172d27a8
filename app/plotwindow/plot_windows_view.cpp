#include "plot_windows_view.hpp"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "plot_window.hpp"

namespace kestrova::plotwindow {

namespace {

constexpr double kDefaultRefreshRate = 60;
// Eight windows drawn at a 60 Hz display's every frame took a third of a core
// beside 100 Hz reads; 30 a second still shows a live trace.
constexpr double kMaximumFramesPerSecond = 30;
constexpr double kMillisecondsPerSecond = 1000;

}  // namespace

PlotWindowsView::PlotWindowsView(const continuous::PlotWindows& plots,
                                 std::function<void(int)> removePlot, QWidget* owner)
    : QObject(owner), plots_(plots), removePlot_(std::move(removePlot)), owner_(owner) {
  frame_.setSingleShot(true);
  connect(&frame_, &QTimer::timeout, this, &PlotWindowsView::DrawFrame);
}

PlotWindowsView::~PlotWindowsView() {
  for (const QPointer<PlotWindow>& window : windows_) {
    if (window != nullptr) {
      window->CloseForCore();
      delete window;
    }
  }
}

void PlotWindowsView::PlotWindowsOpened(int top) {
  const continuous::PlotWindows& plots = plots_;
  QScreen* screen =
      owner_->screen() != nullptr ? owner_->screen() : QGuiApplication::primaryScreen();
  const QRect area = screen->availableGeometry();
  const std::vector<continuous::WindowGeometry> tiles =
      continuous::TilePlotWindows(plots.PlotWindowCount(), area.width(), area.height(), top);
  for (int i = 0; i < plots.PlotWindowCount(); ++i) {
    auto* window = new PlotWindow(
        plots.Window(i), [this](int index) { removePlot_(index); }, owner_);
    const continuous::WindowGeometry& tile = tiles[static_cast<std::size_t>(i)];
    window->move(area.x() + tile.left, area.y() + tile.top);
    window->resize(tile.width, tile.height);
    windows_.push_back(window);
  }
}

void PlotWindowsView::PlotWindowClosing(int index) {
  if (index < 0 || index >= Count()) {
    return;
  }
  PlotWindow* window = Window(index);
  windows_.erase(windows_.begin() + index);
  window->CloseForCore();
  window->deleteLater();
}

void PlotWindowsView::PlotWindowsUpdated() {
  if (frame_.isActive() || nextToDraw_ > 0) {
    return;  // the frame to come, or the one under way, draws this step too
  }
  const int frame = FrameMilliseconds();
  const qint64 since = sinceLastFrame_.isValid() ? sinceLastFrame_.elapsed() : frame;
  frame_.start(static_cast<int>(std::max<qint64>(0, frame - since)));
}

void PlotWindowsView::DrawFrame() {
  // One window per turn of the event loop, so that a read step that falls
  // due waits for one window's drawing at most, not for all of them.
  if (nextToDraw_ == 0) {
    sinceLastFrame_.start();
  }
  if (nextToDraw_ < Count()) {
    DrawWindow(nextToDraw_++);
  }
  if (nextToDraw_ < Count()) {
    frame_.start(0);
  } else {
    nextToDraw_ = 0;
  }
}

void PlotWindowsView::DrawWindow(int index) {
  PlotWindow* window = Window(index);
  if (!plots_.Window(index).Shown()) {
    return;
  }
  if (!window->Appeared()) {
    window->show();  // draws itself as it appears
  } else if (window->isVisible() && !window->isMinimized()) {
    window->Redraw();
  }
}

int PlotWindowsView::FrameMilliseconds() const {
  const QScreen* screen = owner_->screen();
  const double refresh =
      screen != nullptr && screen->refreshRate() > 0 ? screen->refreshRate() : kDefaultRefreshRate;
  const double rate = std::min(refresh, kMaximumFramesPerSecond);
  return static_cast<int>(std::ceil(kMillisecondsPerSecond / rate));
}

}  // namespace kestrova::plotwindow
