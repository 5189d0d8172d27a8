#pragma once
// The Select Plot dialog (`PlotSelect`) without its widgets: one tab per plot
// of the selection, the check boxes of the current plot's registers and the
// buttons, each action applied to the selection. The dialog shows what this
// object says after every action.

#include <string>
#include <string_view>
#include <vector>

#include "continuous/plot_selection.hpp"
#include "markup/message_box.hpp"

namespace kestrova::continuous {

// The dialog has this many register check boxes.
inline constexpr int kPlotSelectCheckBoxes = 32;

inline constexpr std::string_view kPlotSelectCaption = "Select Plot by Units";
inline constexpr std::string_view kDisablePlotCaption = "Disable Plot";
inline constexpr std::string_view kEnablePlotCaption = "Enable Plot";
inline constexpr std::string_view kDeletePlotQuestion = "Delete current plot?";
inline constexpr std::string_view kSavePlotChangesQuestion = "Save plot changes?";

class PlotSelectModel {
 public:
  PlotSelectModel(PlotSelection& selection, markup::MessageBox& messages);

  // Load: one tab per plot, captioned with its units; the first is current.
  void Load();
  const std::vector<std::string>& Tabs() const { return tabs_; }
  // The selected tab, which is the current plot's index.
  int CurrentPlot() const { return current_; }
  void SelectTab(int tab);

  // What the current plot shows.
  int CheckBoxCount() const;  // visible check boxes and labels
  bool CheckBoxesEnabled() const { return selection_.PlotSelectionEnable(current_); }
  bool Checked(int box) const { return selection_.PlotRegisterEnable(current_, box); }
  std::string Label(int box) const { return selection_.PlotRegisterName(current_, box); }
  // Only a plot whose units another plot shares can be deleted.
  bool DeleteEnabled() const;
  std::string_view EnableDisableCaption() const;

  void CheckClicked(int box, bool ticked);
  void SelectAll() { SetAll(true); }
  void SelectNone() { SetAll(false); }
  void EnableDisable();
  // Asks "Delete current plot?" and deletes on Yes.
  void Delete();
  // Inserts a copy of the current plot after it and selects it; nothing when
  // 33 plots exist.
  void Add();
  // The dialog closes: "Save plot changes?" Yes saves, No drops the edits by
  // reading the file again.
  void Close();

 private:
  void SetAll(bool ticked);

  PlotSelection& selection_;
  markup::MessageBox& messages_;
  std::vector<std::string> tabs_;
  int current_ = 0;
};

}  // namespace kestrova::continuous
