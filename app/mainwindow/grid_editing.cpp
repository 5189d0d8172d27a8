#include "grid_editing.hpp"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>

#include "frontend/panel_edit.hpp"
#include "register_grid.hpp"
#include "text.hpp"

namespace kestrova::mainwindow {

namespace {

constexpr int kCellsPerRow = 8;

// Focus that moves to another control of the window, as opposed to the
// window losing activation or a menu or drop-down opening.
bool LeavesForAnotherControl(Qt::FocusReason reason) {
  return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

}  // namespace

GridEditing::GridEditing(RegisterGrid& grid, frontend::PanelEdit& edit, QObject* parent)
    : QObject(parent), grid_(grid), edit_(edit) {
  for (int r = 0; r < panel::kRowCount; ++r) {
    GridRow& row = grid_.Row(r);
    for (QLineEdit* box : {row.regValue, row.bitValue}) {
      const bool bitValue = box == row.bitValue;
      box->installEventFilter(this);
      connect(box, &QLineEdit::textEdited, this,
              [this, r, box, bitValue] { Typed(r, box, bitValue); });
      connect(box, &QLineEdit::returnPressed, this,
              [this, r, box, bitValue] { Confirm(r, box, bitValue, true); });
    }
    row.bitCombo->installEventFilter(this);
    row.bitHScroll->installEventFilter(this);
    // While a box refuses to be left, other controls change nothing.
    connect(row.bitCombo, &QComboBox::activated, this, [this, r](int index) {
      if (!FocusHeld()) {
        edit_.ComboChosen(r, index);
      }
    });
    connect(row.bitHScroll, &QScrollBar::valueChanged, this, [this, r](int value) {
      if (!FocusHeld()) {
        edit_.ScrollMoved(r, value);
      }
    });
    for (QLabel* cell : row.regBit) {
      cell->installEventFilter(this);
    }
  }
}

int GridEditing::RowOf(const QObject* object, bool& bitValue) const {
  for (int r = 0; r < panel::kRowCount; ++r) {
    GridRow& row = grid_.Row(r);
    if (object == row.regValue || object == row.bitValue) {
      bitValue = object == row.bitValue;
      return r;
    }
  }
  return -1;
}

void GridEditing::Typed(int row, QLineEdit* box, bool bitValue) {
  held_.clear();  // judged again when the box is left
  const std::string text = ToCore(box->text());
  const std::string shown =
      bitValue ? edit_.BitValueEdited(row, text) : edit_.RegValueEdited(row, text);
  if (shown != text) {
    const QSignalBlocker block(box);
    const int caret = box->cursorPosition();
    box->setText(FromCore(shown));
    box->setCursorPosition(std::min(caret, static_cast<int>(shown.size())));
  }
}

bool GridEditing::Confirm(int row, QLineEdit* box, bool bitValue, bool force) {
  const std::string text = ToCore(box->text());
  const bool accepted =
      bitValue ? edit_.ConfirmBitValue(row, text, force) : edit_.ConfirmRegValue(row, text, force);
  held_ = accepted ? nullptr : box;
  return accepted;
}

bool GridEditing::ConfirmFocused() {
  bool bitValue = false;
  auto* box = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  const int row = RowOf(box, bitValue);
  if (row < 0) {
    return true;
  }
  if (!Confirm(row, box, bitValue, false)) {
    return false;
  }
  // The box is left for the new page, confirmed already.
  confirmed_ = box;
  box->clearFocus();
  return true;
}

void GridEditing::BitPressed(int cell) {
  const int first = edit_.FirstRowOf(cell / kCellsPerRow);
  if (first < 0) {
    return;
  }
  // The register's value box takes the focus; a box that refuses to be
  // left keeps it, and the click does nothing.
  grid_.Row(first).regValue->setFocus(Qt::MouseFocusReason);
  if (!FocusHeld()) {
    edit_.BitClicked(cell);
  }
}

bool GridEditing::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    if (auto* cell = qobject_cast<QLabel*>(watched); cell != nullptr) {
      BitPressed(cell->property("index").toInt());
      return true;
    }
  }
  if (type != QEvent::FocusIn && type != QEvent::FocusOut) {
    return false;
  }
  bool bitValue = false;
  int row = RowOf(watched, bitValue);
  frontend::PanelBox box = bitValue ? frontend::PanelBox::BitValue : frontend::PanelBox::RegValue;
  for (int r = 0; row < 0 && r < panel::kRowCount; ++r) {
    if (watched == grid_.Row(r).bitCombo || watched == grid_.Row(r).bitHScroll) {
      row = r;
      box = watched == grid_.Row(r).bitCombo ? frontend::PanelBox::Combo
                                             : frontend::PanelBox::ScrollBar;
    }
  }
  // The focus passes through other controls on its way back to a box that
  // refused to be left: they are not entered or left.
  if (row < 0 || (FocusHeld() && watched != held_)) {
    return false;
  }
  if (type == QEvent::FocusIn) {
    edit_.FocusEntered(row, box);
    return false;
  }
  auto* lineEdit = qobject_cast<QLineEdit*>(watched);
  const auto reason = static_cast<QFocusEvent*>(event)->reason();
  const bool confirmed = lineEdit != nullptr && lineEdit == confirmed_;
  confirmed_.clear();
  if (lineEdit != nullptr && !confirmed && lineEdit->isVisible() &&
      LeavesForAnotherControl(reason) && !Confirm(row, lineEdit, bitValue, false)) {
    // Qt has already moved the focus: it comes back once this event is done.
    QTimer::singleShot(0, lineEdit, [lineEdit] { lineEdit->setFocus(Qt::OtherFocusReason); });
    return false;
  }
  edit_.FocusLeft(row, box);
  return false;
}

}  // namespace kestrova::mainwindow
