#pragma once
// The register grid's controls wired to the core's panel editing: what the
// user types into `RegValue` and `BitValue` is staged (changes made by code
// are blocked and never re-enter), Enter or leaving the box commits, a box
// whose text cannot be confirmed keeps the focus, and bit cells, drop-downs
// and scroll bars commit at once. Focus tells the core which register's
// texts a refresh must leave alone.

#include <QObject>
#include <QPointer>

class QLineEdit;

namespace kestrova::frontend {
class PanelEdit;
}

namespace kestrova::mainwindow {

class RegisterGrid;

class GridEditing : public QObject {
  Q_OBJECT

 public:
  GridEditing(RegisterGrid& grid, frontend::PanelEdit& edit, QObject* parent);

  // A box holds text that cannot be confirmed: the focus stays there, and
  // clicks on other controls do nothing.
  bool FocusHeld() const { return !held_.isNull(); }
  // Confirms the box that has the focus, as leaving it would (before the
  // page changes under it). False when it refused: the focus stays.
  bool ConfirmFocused();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Typed(int row, QLineEdit* box, bool bitValue);
  bool Confirm(int row, QLineEdit* box, bool bitValue, bool force);
  void BitPressed(int cell);
  // The row and kind of a grid box; row -1 for any other object.
  int RowOf(const QObject* object, bool& bitValue) const;

  RegisterGrid& grid_;
  frontend::PanelEdit& edit_;
  QPointer<QLineEdit> held_;
  QPointer<QLineEdit> confirmed_;  // left without a second confirmation
};

}  // namespace kestrova::mainwindow
