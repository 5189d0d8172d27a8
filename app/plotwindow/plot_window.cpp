#include "plot_window.hpp"

#include <qcustomplot.h>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QVBoxLayout>
#include <algorithm>

namespace kestrova::plotwindow {

namespace {

// Colours far apart on the colour wheel, light and dark by turns, so that
// neighbouring series of 33 stay apart.
constexpr double kHueStepDegrees = 137.508;
constexpr int kSaturation = 230;
constexpr int kLightValue = 230;
constexpr int kDarkValue = 150;
constexpr int kDegrees = 360;
constexpr int kLegendIconWidth = 16;
constexpr int kLegendIconHeight = 8;
// Room above and below the legend's rows inside the window.
constexpr int kLegendMargins = 24;

QColor SeriesColour(int series) {
  const int hue = static_cast<int>(series * kHueStepDegrees) % kDegrees;
  return QColor::fromHsv(hue, kSaturation, series % 2 == 0 ? kLightValue : kDarkValue);
}

// Units and names come from the part definition, one byte per character.
QString FromDefinition(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

bool operator!=(const continuous::AxisRange& a, const continuous::AxisRange& b) {
  return a.min != b.min || a.max != b.max;
}

}  // namespace

PlotWindow::PlotWindow(const continuous::PlotChart& chart, std::function<void(int)> closedByUser,
                       QWidget* parent)
    : QWidget(parent, Qt::Window),
      model_(chart),
      closedByUser_(std::move(closedByUser)),
      chart_(new QCustomPlot(this)) {
  setObjectName("Plot");
  setWindowTitle(FromDefinition(chart.PlotUnits()));
  chart_->setObjectName("Chart");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(chart_);

  auto* legendColumn = new QCPLayoutGrid();
  chart_->plotLayout()->addElement(0, 1, legendColumn);
  legendColumn->addElement(0, 0, chart_->legend);
  chart_->plotLayout()->setColumnStretchFactor(1, 0.001);
  chart_->legend->setVisible(true);
  chart_->legend->setIconSize(kLegendIconWidth, kLegendIconHeight);
  chart_->legend->setFillOrder(QCPLayoutGrid::foRowsFirst);
  for (int s = 0; s < chart.RegSize(); ++s) {
    chart_->addGraph()->setPen(QPen(SeriesColour(s)));
  }
  // The lines ("main") and the legend have buffers of their own, so a step
  // that moves neither axis redraws only them.
  chart_->layer("main")->setMode(QCPLayer::lmBuffered);
  chart_->layer("legend")->setMode(QCPLayer::lmBuffered);
}

void PlotWindow::Redraw() {
  const int points = model_.PointCount();
  QVector<double> keys(points);
  QVector<double> values(points);
  for (int p = 0; p < points; ++p) {
    keys[p] = model_.X(p);
  }
  int legendLength = 0;
  for (int s = 0; s < model_.RegSize(); ++s) {
    for (int p = 0; p < points; ++p) {
      values[p] = model_.Y(s, p);
    }
    QCPGraph* graph = chart_->graph(s);
    graph->setData(keys, values, true);
    const std::string& legend = model_.LegendText(s);
    graph->setName(FromDefinition(legend));
    legendLength = std::max(legendLength, static_cast<int>(legend.size()));
  }
  const continuous::AxisRange x = model_.XAxis();
  const continuous::AxisRange y = model_.YAxis();
  if (needsFullReplot_ || x != shownX_ || y != shownY_ || legendLength != shownLegendLength_) {
    chart_->xAxis->setRange(x.min, x.max);
    chart_->yAxis->setRange(y.min, y.max);
    shownX_ = x;
    shownY_ = y;
    shownLegendLength_ = legendLength;
    needsFullReplot_ = false;
    chart_->replot();
    return;
  }
  chart_->layer("main")->replot();
  chart_->layer("legend")->replot();
}

void PlotWindow::CloseForCore() {
  closingForCore_ = true;
  close();
}

void PlotWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  if (!closingForCore_) {
    closingForCore_ = true;
    // The core drops this window's chart and asks for the window to go.
    closedByUser_(model_.PlotWindowIndx());
  }
}

void PlotWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FitLegend();
}

void PlotWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  appeared_ = true;
  needsFullReplot_ = true;
  Redraw();
}

void PlotWindow::FitLegend() {
  const QFontMetrics metrics(chart_->legend->font());
  const int row = std::max(metrics.height(), kLegendIconHeight) + chart_->legend->rowSpacing();
  const int rows = std::max(1, (height() - kLegendMargins) / std::max(1, row));
  if (rows != chart_->legend->wrap()) {
    chart_->legend->setWrap(rows);
    needsFullReplot_ = true;
  }
}

}  // namespace kestrova::plotwindow
