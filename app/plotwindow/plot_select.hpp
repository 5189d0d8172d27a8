#pragma once
// `PlotSelect`, the Select Plot dialog: a tab per plot, the current plot's
// register check boxes and the buttons, each mapped onto the core's
// PlotSelectModel. Closing it (Exit or the frame's close box) asks whether
// to save the changes.

#include <QDialog>
#include <array>

#include "continuous/plot_select_model.hpp"

class QCheckBox;
class QLabel;
class QPushButton;
class QTabBar;

namespace kestrova::plotwindow {

class PlotSelect : public QDialog {
  Q_OBJECT

 public:
  PlotSelect(continuous::PlotSelection& selection, markup::MessageBox& messages,
             QWidget* parent = nullptr);

 protected:
  // Every way out (Exit, the close box, Escape) ends here.
  void done(int result) override;

 private:
  // Shows the current plot as the model says.
  void ShowPlot();
  void FillTabs();

  continuous::PlotSelectModel model_;
  QTabBar* regTab_;
  std::array<QCheckBox*, continuous::kPlotSelectCheckBoxes> regCheck_{};
  std::array<QLabel*, continuous::kPlotSelectCheckBoxes> regLabel_{};
  QPushButton* enableDisable_;
  QPushButton* delete_;
  bool closed_ = false;
};

}  // namespace kestrova::plotwindow
