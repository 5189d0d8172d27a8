#pragma once
// Editing in the register panel as its controls raise it, without widgets.
// A keystroke in a register's value box (`RegValue`) or a field's value box
// (`BitValue`) stages the change; Enter or leaving the box commits it, and
// only a commit stores and, with "Write On Change", writes. A bit cell, a
// drop-down choice or a scroll bar move stages and commits at once. Rows are
// those of the page the panel model showed last; the window maps its
// controls' signals onto these calls and refreshes through the front end.

#include <optional>
#include <string>
#include <string_view>

namespace kestrova::engine {
class Session;
struct EditState;
}  // namespace kestrova::engine

namespace kestrova::frontend {

class PanelModel;
struct PanelRow;

// The controls of a row that take the focus.
enum class PanelBox { RegValue, BitValue, Combo, ScrollBar };

// What a keystroke leaves in a `BitValue`: the text while it is a number or
// can still become one by typing on ("-", ".", "0x", a hexadecimal field's
// "1F" before its "h"); else nothing.
std::string TypedFieldText(std::string_view text, bool hexFormat);

class PanelEdit {
 public:
  PanelEdit(engine::Session& session, engine::EditState& edit, PanelModel& panel);

  // `RegValue` of `row` typed into: the text the box shows; a byte is staged.
  std::string RegValueEdited(int row, std::string_view text);
  // Enter (`force`) or leaving the box: false when its text cannot be
  // confirmed (not hexadecimal), and the focus must stay.
  bool ConfirmRegValue(int row, std::string_view text, bool force);

  // `BitValue` of `row` typed into: the text the box shows; a number is
  // staged (limited to the display range).
  std::string BitValueEdited(int row, std::string_view text);
  // Enter or leaving: false when its text is not a number (the focus stays).
  bool ConfirmBitValue(int row, std::string_view text, bool force);

  // The scroll bar of `row` moved to `value`.
  void ScrollMoved(int row, int value);
  // Item `index` of the drop-down of `row` chosen.
  void ComboChosen(int row, int index);

  // The first row of the register of `row`: the one whose `RegValue` a bit
  // cell click focuses. -1 for a row not shown.
  int FirstRowOf(int row) const;
  // Bit cell `cell` (8·row + j, bit 7 − j) clicked: the bit of the register
  // byte toggles unless the cell lies outside the row's field or is
  // read-only on a three-wire bus. True when it toggled.
  bool BitClicked(int cell);

  // The focus entered or left a control of `row`. While a register has the
  // focus, a refresh leaves the texts of its rows alone.
  void FocusEntered(int row, PanelBox box);
  void FocusLeft(int row, PanelBox box);

  // "Write Regs": the pending changes written, the panel redrawn.
  void WriteRegs();
  // "Write On Change" ticked or cleared; ticking writes what is pending.
  void WriteOnChangeClicked(bool ticked);
  // "Read After Write" ticked or cleared.
  void ReadAfterWriteClicked(bool ticked);

  // An edit is being applied: events it raises are not the user's.
  bool Busy() const { return busy_; }

 private:
  const PanelRow* Row(int row) const;
  bool Locked(const PanelRow& row, PanelBox box) const;
  // The panel redrawn after a stage: only the box typed into keeps its text.
  void ShowStaged(int row, bool bitValue);
  // Commits and redraws every text of the edited register.
  void Commit(bool force);
  void KeepFocusedTexts();

  engine::Session& session_;
  engine::EditState& edit_;
  PanelModel& panel_;
  int focusedRegister_ = 0;
  bool busy_ = false;
};

}  // namespace kestrova::frontend
