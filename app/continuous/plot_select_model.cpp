#include "continuous/plot_select_model.hpp"

#include <algorithm>

namespace kestrova::continuous {

PlotSelectModel::PlotSelectModel(PlotSelection& selection, markup::MessageBox& messages)
    : selection_(selection), messages_(messages) {}

void PlotSelectModel::Load() {
  tabs_.clear();
  for (int plot = 0; plot < selection_.PlotSelectionNumber(); ++plot) {
    tabs_.push_back(selection_.PlotSelectionUnits(plot));
  }
  current_ = 0;
}

void PlotSelectModel::SelectTab(int tab) {
  if (tab >= 0 && tab < static_cast<int>(tabs_.size())) {
    current_ = tab;
  }
}

int PlotSelectModel::CheckBoxCount() const {
  return std::min<int>(selection_.PlotSelectionRegisterNumber(current_), kPlotSelectCheckBoxes);
}

bool PlotSelectModel::DeleteEnabled() const {
  const std::string units = selection_.PlotSelectionUnits(current_);
  for (int plot = 0; plot < selection_.PlotSelectionNumber(); ++plot) {
    if (plot != current_ && selection_.PlotSelectionUnits(plot) == units) {
      return true;
    }
  }
  return false;
}

std::string_view PlotSelectModel::EnableDisableCaption() const {
  return selection_.PlotSelectionEnable(current_) ? kDisablePlotCaption : kEnablePlotCaption;
}

void PlotSelectModel::CheckClicked(int box, bool ticked) {
  selection_.SetPlotRegisterEnable(current_, box, ticked);
}

void PlotSelectModel::SetAll(bool ticked) {
  for (int box = 0; box < CheckBoxCount(); ++box) {
    CheckClicked(box, ticked);
  }
}

void PlotSelectModel::EnableDisable() {
  selection_.SetPlotSelectionEnable(current_, !selection_.PlotSelectionEnable(current_));
}

void PlotSelectModel::Delete() {
  if (!DeleteEnabled() || messages_.Show(kDeletePlotQuestion, markup::MB_YESNO) != markup::IDYES ||
      !selection_.PlotSelectionDelete(current_)) {
    return;
  }
  const std::string caption = tabs_[static_cast<std::size_t>(current_)];
  tabs_.erase(tabs_.begin() + current_);
  // The left neighbour when it shows the same units, else the tab that moved
  // into the deleted one's place (the left one when none did).
  if ((current_ > 0 && tabs_[static_cast<std::size_t>(current_ - 1)] == caption) ||
      current_ >= static_cast<int>(tabs_.size())) {
    --current_;
  }
}

void PlotSelectModel::Add() {
  if (!selection_.PlotSelectionAdd(current_)) {
    return;
  }
  tabs_.insert(tabs_.begin() + current_ + 1, tabs_[static_cast<std::size_t>(current_)]);
  ++current_;
}

void PlotSelectModel::Close() {
  if (messages_.Show(kSavePlotChangesQuestion, markup::MB_YESNO) == markup::IDYES) {
    selection_.SavePlotSettings();
  } else {
    selection_.RestorePlotSettings();
  }
}

}  // namespace kestrova::continuous
