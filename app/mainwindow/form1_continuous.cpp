// Form1's continuous read, logging and plotting: the Read Cont drop-down,
// the Start Log and Start Plot buttons, their menu entries, Timer2 and the
// plot windows. The core decides; these handlers pass the clicks on and show
// what ContinuousRead::Controls() says.
#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTimer>

#include "continuous/settings_answers.hpp"
#include "form1.hpp"
#include "input_box.hpp"
#include "plot_select.hpp"
#include "plot_windows_view.hpp"
#include "register_grid.hpp"
#include "text.hpp"

namespace kestrova::mainwindow {

namespace {

// A control that started or stopped something takes the focus back.
void FocusBack(QWidget* control) {
  if (control->isEnabled() && control->isVisible()) {
    control->setFocus();
  }
}

}  // namespace

void Form1::WireContinuous() {
  start_.continuousState = &reader_.state;
  plotViews_ = std::make_unique<plotwindow::PlotWindowsView>(
      reader_.Plots(), [this](int index) { reader_.RemovePlot(index); }, this);
  QTimer* timer2 = controls_.timer2;
  timer2->setSingleShot(true);
  // Steps come every 10 ms at the shortest: a coarse timer may be 5 % late.
  timer2->setTimerType(Qt::PreciseTimer);
  connect(timer2, &QTimer::timeout, this, &Form1::OnTimer2);
  connect(controls_.readContCombo, &QComboBox::activated, this, &Form1::ChooseReadCont);
  connect(controls_.logData, &QPushButton::clicked, this, &Form1::ClickLogData);
  connect(controls_.plotData, &QPushButton::clicked, this, &Form1::ClickPlotData);
  const MenuEntries& menu = controls_.menu;
  connect(menu.setReadTime, &QAction::triggered, this, &Form1::SetReadTime);
  connect(menu.setLogLimit, &QAction::triggered, this, &Form1::SetLogLimit);
  connect(menu.selectPlot, &QAction::triggered, this, &Form1::SelectPlot);
  controls_.readContCombo->setEnabled(true);
  controls_.logData->setEnabled(true);
  menu.setReadTime->setEnabled(true);
  controls_.readContCombo->addItems({"OFF", "Value Regs", "All Regs"});
  ContinuousControlsChanged();
}

void Form1::ChooseReadCont(int index) {
  QComboBox* combo = controls_.readContCombo;
  combo->setEnabled(false);
  reader_.ToggleContRead(index);
  combo->setEnabled(true);
  FocusBack(combo);
}

void Form1::ClickLogData() {
  controls_.logData->setEnabled(false);
  reader_.ToggleLog();
  controls_.logData->setEnabled(true);
  FocusBack(controls_.logData);
}

void Form1::ClickPlotData() {
  controls_.plotData->setEnabled(false);
  controls_.menu.selectPlot->setEnabled(false);
  reader_.TogglePlot(plots_.Plots());
  ContinuousControlsChanged();
  FocusBack(controls_.plotData);
}

void Form1::SetReadTime() {
  continuous::SetReadTime(plotwindow::MakeInputBox(this), reader_.state.readInterval);
}

void Form1::SetLogLimit() {
  continuous::SetLogLimit(plotwindow::MakeInputBox(this), reader_.state.logLimit);
}

void Form1::SelectPlot() {
  plotwindow::PlotSelect dialog(plots_, *this, this);
  dialog.exec();
}

void Form1::OnTimer2() {
  stepTrace_.BeginStep();
  reader_.OnStepTimer();
  stepTrace_.EndStep();
}

int Form1::PlotWindowsTop() const {
  // The window's top plus the first rule's place in the window.
  const QFrame* rule = controls_.grid->LineAcross(0);
  const int ruleTop = rule->mapTo(this, QPoint(0, 0)).y();
  const QScreen* shown = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
  const int areaTop = shown != nullptr ? shown->availableGeometry().top() : 0;
  return frameGeometry().top() - areaTop + ruleTop;
}

// --- The core's front end -----------------------------------------------------

void Form1::StopContinuous() {
  reader_.StopContinuous();
}

void Form1::ArmStepTimer(int delayMs) {
  controls_.timer2->start(delayMs);
}

void Form1::ContinuousControlsChanged() {
  const continuous::ContinuousControls shown = reader_.Controls();
  {
    const QSignalBlocker block(controls_.readContCombo);
    controls_.readContCombo->setCurrentIndex(shown.readContIndex);
  }
  controls_.logData->setText(FromCore(shown.logCaption));
  controls_.plotData->setText(FromCore(shown.plotCaption));
  controls_.plotData->setEnabled(shown.plotDataEnabled);
  controls_.menu.setLogLimit->setEnabled(shown.setLogLimitEnabled);
  controls_.menu.selectPlot->setEnabled(shown.selectPlotEnabled);
}

void Form1::PlotWindowsOpened() {
  plotViews_->PlotWindowsOpened(PlotWindowsTop());
}

void Form1::PlotWindowClosing(int index) {
  plotViews_->PlotWindowClosing(index);
}

void Form1::PlotWindowsUpdated() {
  plotViews_->PlotWindowsUpdated();
}

}  // namespace kestrova::mainwindow
