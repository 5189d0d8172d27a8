#pragma once
// `Plot`: one plot window. It draws what its continuous::PlotChart holds
// (the series, the axis ranges, the legend) with QCustomPlot; the core
// decides every number. The legend stands right of the chart, in as many
// columns as its names need, so 33 names stay readable.

#include <QSharedPointer>
#include <QWidget>
#include <functional>

#include "continuous/plot_chart.hpp"

class QCustomPlot;
class QCPAxisTickerFixed;

namespace kestrova::plotwindow {

class PlotWindow : public QWidget {
  Q_OBJECT

 public:
  // `closedByUser` gets the window's index when the user closes it.
  PlotWindow(const continuous::PlotChart& chart, std::function<void(int)> closedByUser,
             QWidget* parent = nullptr);

  // Draws the chart's current samples: the lines and the legend alone while
  // the axes and the legend's size stay, everything otherwise.
  void Redraw();
  // Closes the window without telling the core, which closed it.
  void CloseForCore();
  // The window was shown once (it appears at its chart's first update).
  bool Appeared() const { return appeared_; }

  QCustomPlot* Chart() const { return chart_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void FitLegend();
  // Spaces the X labels for the axis range and width of the last drawing;
  // true when they moved.
  bool SpaceXLabels();

  const continuous::PlotChart& model_;
  std::function<void(int)> closedByUser_;
  QCustomPlot* chart_;
  QSharedPointer<QCPAxisTickerFixed> xTicker_;
  continuous::AxisRange shownX_;
  continuous::AxisRange shownY_;
  int shownLegendLength_ = -1;
  bool closingForCore_ = false;
  bool appeared_ = false;
  bool needsFullReplot_ = true;
};

}  // namespace kestrova::plotwindow
