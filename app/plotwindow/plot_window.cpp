#include "plot_window.hpp"

#include <qcustomplot.h>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QStaticText>
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
// A legend that does not fit beside the chart takes smaller type, in these
// steps, down to this size.
constexpr double kLegendPointStep = 0.5;
constexpr double kSmallestLegendPoints = 6;
constexpr int kLegendTextWidth = static_cast<int>(continuous::kLegendWidth);
const QMargins kLegendEntryMargins(4, 1, 4, 1);
const QMargins kLegendColumnMargins(0, 0, 4, 0);
// X labels stand at least this much text apart ("00").
const QString kXLabelGap = QStringLiteral("00");
constexpr int kDecimal = 10;
// The legend takes no more room across and down than it needs.
constexpr double kLegendRowStretch = 0.001;

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

// A series drawn a little beyond its axis rectangle: the Y range ends on
// whole numbers, and a register that holds still at one of them would lie on
// the axis, clipped to nothing.
class EdgeGraph : public QCPGraph {
 public:
  using QCPGraph::QCPGraph;

 protected:
  QRect clipRect() const override {
    return QCPGraph::clipRect().adjusted(0, -kEdgePixels, 0, kEdgePixels);
  }

 private:
  static constexpr int kEdgePixels = 2;
};

// A legend entry that lays its text out once per change instead of twice
// per drawing (measure, then draw): with 33 entries whose values change at
// every sample, a window's redraw (plot_window_bench) takes about a fifth
// less than with QCustomPlot's own entry.
class LegendEntry : public QCPPlottableLegendItem {
 public:
  LegendEntry(QCPLegend* legend, QCPAbstractPlottable* plottable)
      : QCPPlottableLegendItem(legend, plottable) {
    text_.setTextFormat(Qt::PlainText);
  }

 protected:
  void draw(QCPPainter* painter) override {
    if (mPlottable->name() != text_.text()) {
      text_.setText(mPlottable->name());
    }
    painter->setFont(getFont());
    painter->setPen(QPen(getTextColor()));
    const QSize iconSize = mParentLegend->iconSize();
    painter->drawStaticText(mRect.x() + iconSize.width() + mParentLegend->iconTextPadding(),
                            mRect.y(), text_);
    // The icon: a stroke of the series' pen across its middle.
    const double middle = mRect.y() + iconSize.height() / 2.0;
    painter->setPen(mPlottable->pen());
    painter->drawLine(QLineF(mRect.x(), middle, mRect.x() + iconSize.width(), middle));
  }

 private:
  QStaticText text_;
};

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
  // The window takes any size the tiling or the user gives it; the legend
  // fits itself to it rather than holding the window open.
  layout->setSizeConstraint(QLayout::SetNoConstraint);
  layout->addWidget(chart_);

  // The legend stands at the top of a column of its own; the empty element
  // below it takes the rest of the height.
  auto* legendColumn = new QCPLayoutGrid();
  chart_->plotLayout()->addElement(0, 1, legendColumn);
  legendColumn->addElement(0, 0, chart_->legend);
  legendColumn->addElement(1, 0, new QCPLayoutElement(chart_));
  legendColumn->setRowStretchFactor(0, kLegendRowStretch);
  // The legend's frame stays inside the window.
  legendColumn->setMargins(kLegendColumnMargins);
  chart_->plotLayout()->setColumnStretchFactor(1, kLegendRowStretch);
  chart_->legend->setVisible(true);
  chart_->legend->setIconSize(kLegendIconWidth, kLegendIconHeight);
  chart_->legend->setRowSpacing(0);
  chart_->legend->setFillOrder(QCPLayoutGrid::foRowsFirst);
  chart_->setAutoAddPlottableToLegend(false);
  xTicker_ = QSharedPointer<QCPAxisTickerFixed>::create();
  xTicker_->setScaleStrategy(QCPAxisTickerFixed::ssNone);
  chart_->xAxis->setTicker(xTicker_);
  for (int s = 0; s < chart.RegSize(); ++s) {
    auto* graph = new EdgeGraph(chart_->xAxis, chart_->yAxis);
    graph->setPen(QPen(SeriesColour(s)));
    auto* entry = new LegendEntry(chart_->legend, graph);
    entry->setMargins(kLegendEntryMargins);
    chart_->legend->addItem(entry);
  }
  // Two paint buffers, each blended over the whole window at every paint:
  // below, what changes only when an axis moves (background, grid, axes);
  // above, what every sample changes (the lines and the legend), redrawn
  // alone between X shifts.
  QCPLayer* changing = chart_->layer("main");
  chart_->moveLayer(chart_->layer("axes"), chart_->layer("grid"), QCustomPlot::limAbove);
  chart_->layer("overlay")->setMode(QCPLayer::lmLogical);
  chart_->moveLayer(chart_->layer("overlay"), chart_->layer("axes"), QCustomPlot::limAbove);
  chart_->legend->setLayer(changing);
  for (int i = 0; i < chart_->legend->itemCount(); ++i) {
    chart_->legend->item(i)->setLayer(changing);
  }
  changing->setMode(QCPLayer::lmBuffered);
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
    if (SpaceXLabels()) {
      chart_->replot();
    }
    return;
  }
  chart_->layer("main")->replot();
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
  // The X labels are spaced for the new width at the next drawing.
  needsFullReplot_ = true;
}

void PlotWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  appeared_ = true;
  needsFullReplot_ = true;
  Redraw();
}

bool PlotWindow::SpaceXLabels() {
  // Sample numbers grow without end: the labels stand at multiples of 1, 2
  // or 5 times a power of ten, far enough apart that the widest of them
  // and a gap fit between two, on the width the chart has now.
  const QFontMetrics metrics(chart_->xAxis->tickLabelFont());
  const QCPRange range = chart_->xAxis->range();
  const int label = metrics.horizontalAdvance(QString::number(range.upper, 'f', 0)) +
                    metrics.horizontalAdvance(kXLabelGap);
  const double least = label * range.size() / std::max(1, chart_->axisRect()->width());
  double step = 1;
  for (double decade = 1; step < least; decade *= kDecimal) {
    for (const double multiple : {1.0, 2.0, 5.0}) {
      step = multiple * decade;
      if (step >= least) {
        break;
      }
    }
  }
  if (step == xTicker_->tickStep()) {
    return false;
  }
  xTicker_->setTickStep(step);
  return true;
}

void PlotWindow::FitLegend() {
  // As many rows as the height allows, as many columns as the entries then
  // need; when those columns would take more than half the width, a smaller
  // type, down to a size still readable.
  QCPLegend* legend = chart_->legend;
  const int entries = std::max(1, legend->itemCount());
  QFont font = chart_->font();
  double points = font.pointSizeF();
  int rows = 1;
  const QMargins margins = legend->itemCount() > 0 ? legend->item(0)->margins() : QMargins();
  for (;; points -= kLegendPointStep) {
    font.setPointSizeF(points);
    const QFontMetrics metrics(font);
    const int row = std::max(metrics.height(), kLegendIconHeight) + margins.top() +
                    margins.bottom() + legend->rowSpacing();
    rows = std::max(1, (height() - kLegendMargins) / std::max(1, row));
    const int columns = (entries + rows - 1) / rows;
    const int column = kLegendIconWidth + legend->iconTextPadding() + margins.left() +
                       margins.right() + legend->columnSpacing() +
                       metrics.horizontalAdvance(QString(kLegendTextWidth, QLatin1Char('0')));
    if (columns * column <= width() / 2 || points - kLegendPointStep < kSmallestLegendPoints) {
      break;
    }
  }
  if (rows != legend->wrap() || font != legend->font()) {
    legend->setFont(font);
    legend->setWrap(rows);
    // A new wrap applies to the entries there are only when they are laid
    // out again.
    legend->setFillOrder(QCPLayoutGrid::foRowsFirst, true);
  }
}

}  // namespace kestrova::plotwindow
