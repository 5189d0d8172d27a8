// Form1: editing in the register panel, its tab strips and its buttons.
#include <QCheckBox>
#include <QPushButton>
#include <QTabBar>

#include "form1.hpp"
#include "grid_editing.hpp"
#include "register_grid.hpp"
#include "wrapping_tab_strip.hpp"

namespace kestrova::mainwindow {

void Form1::WireEditing() {
  gridEditing_ = new GridEditing(*controls_.grid, panelEdit_, this);
  connect(controls_.groupTab, &QTabBar::currentChanged, this, &Form1::ChoosePage);
  connect(controls_.writeReg, &QPushButton::clicked, this, &Form1::WriteRegs);
  // Clicks only: part.def ticks the boxes through the same state already.
  connect(controls_.writeNow, &QCheckBox::clicked, this, [this](bool ticked) {
    controls_.writeNow->setFocus(Qt::OtherFocusReason);
    if (gridEditing_->FocusHeld()) {
      const QSignalBlocker block(controls_.writeNow);
      controls_.writeNow->setChecked(!ticked);
      return;
    }
    panelEdit_.WriteOnChangeClicked(ticked);
  });
  connect(controls_.readAfterWrite, &QCheckBox::clicked, this,
          [this](bool ticked) { panelEdit_.ReadAfterWriteClicked(ticked); });
}

void Form1::WriteRegs() {
  // A box being edited is confirmed first, as leaving it would.
  controls_.writeNow->setFocus(Qt::OtherFocusReason);
  if (!gridEditing_->FocusHeld()) {
    panelEdit_.WriteRegs();
  }
}

void Form1::ChoosePage() {
  const int shownGroup = panel_.View().group;
  const int shownPage = panel_.View().page;
  if (!gridEditing_->ConfirmFocused()) {
    const QSignalBlocker block(controls_.groupTab);
    controls_.groupTab->setCurrentIndex(shownGroup);
    if (shownGroup >= 0 && shownGroup < controls_.regTab.size()) {
      controls_.regTab[shownGroup]->SetCurrentIndex(shownPage);
    }
    return;
  }
  RefreshPanel();  // shows the group and page the tab strips now select
}

}  // namespace kestrova::mainwindow
