#include "frontend/panel_edit.hpp"

#include "definition/numbers.hpp"
#include "engine/register_edit.hpp"
#include "engine/session.hpp"
#include "frontend/panel_view.hpp"
#include "frontend/raw_register.hpp"

namespace kestrova::frontend {

namespace {

constexpr int kCellsPerRow = 8;

// The change events an edit raises itself are not the user's.
class BusyScope {
 public:
  explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
  ~BusyScope() { busy_ = false; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& busy_;
};

}  // namespace

std::string TypedFieldText(std::string_view text, bool hexFormat) {
  const std::string typed(text);
  const bool number = engine::ParseFieldNumber(typed, hexFormat).has_value();
  // A text that one more character makes a number is still being typed.
  const bool begun = engine::ParseFieldNumber(typed + "0", hexFormat).has_value() ||
                     (hexFormat && engine::ParseFieldNumber(typed + "h", hexFormat).has_value());
  return number || begun ? typed : std::string();
}

PanelEdit::PanelEdit(engine::Session& session, engine::EditState& edit, PanelModel& panel)
    : session_(session), edit_(edit), panel_(panel) {}

const PanelRow* PanelEdit::Row(int row) const {
  const auto& rows = panel_.View().rows;
  return row >= 0 && row < static_cast<int>(rows.size()) ? &rows[static_cast<std::size_t>(row)]
                                                         : nullptr;
}

bool PanelEdit::Locked(const PanelRow& row, PanelBox box) const {
  switch (box) {
    case PanelBox::RegValue:
      return row.regValueLocked;
    case PanelBox::BitValue:
      return row.bitValueLocked;
    case PanelBox::Combo:
      return row.comboLocked;
    case PanelBox::ScrollBar:
      return false;
  }
  return false;
}

void PanelEdit::KeepFocusedTexts() {
  panel_.SetKeptTexts(KeptTexts{focusedRegister_, -1, false});
}

void PanelEdit::ShowStaged(int row, bool bitValue) {
  panel_.SetKeptTexts(KeptTexts{0, row, bitValue});
  session_.Front().RefreshPanel();
  KeepFocusedTexts();
}

void PanelEdit::Commit(bool force) {
  panel_.SetKeptTexts(KeptTexts{});
  engine::CommitEdit(session_, edit_, force);
  KeepFocusedTexts();
}

std::string PanelEdit::RegValueEdited(int row, std::string_view text) {
  const PanelRow* shown = Row(row);
  if (busy_ || shown == nullptr || shown->regValueLocked) {
    return std::string(text);
  }
  const BusyScope busy(busy_);
  std::string typed = RawTypedText(text);
  if (!typed.empty() &&
      engine::StageRegisterByte(session_, edit_, shown->readAddress, typed).error ==
          engine::EditError::None) {
    ShowStaged(row, false);
  }
  return typed;
}

bool PanelEdit::ConfirmRegValue(int row, std::string_view text, bool force) {
  const PanelRow* shown = Row(row);
  if (busy_ || shown == nullptr || shown->regValueLocked) {
    return true;
  }
  if (!definition::IsHexText(text)) {
    return false;
  }
  const BusyScope busy(busy_);
  Commit(force);
  return true;
}

std::string PanelEdit::BitValueEdited(int row, std::string_view text) {
  const PanelRow* shown = Row(row);
  if (busy_ || shown == nullptr || shown->bitValueLocked) {
    return std::string(text);
  }
  const BusyScope busy(busy_);
  std::string typed = TypedFieldText(text, shown->bitValueHex);
  engine::EditOptions limit;
  limit.limitToRange = true;
  if (engine::ParseFieldNumber(typed, shown->bitValueHex) &&
      engine::StageFieldText(session_, edit_, shown->fieldLine, typed, limit).error ==
          engine::EditError::None) {
    ShowStaged(row, true);
  }
  return typed;
}

bool PanelEdit::ConfirmBitValue(int row, std::string_view text, bool force) {
  const PanelRow* shown = Row(row);
  if (busy_ || shown == nullptr || shown->bitValueLocked) {
    return true;
  }
  if (!engine::ParseFieldNumber(text, shown->bitValueHex)) {
    return false;
  }
  const BusyScope busy(busy_);
  Commit(force);
  return true;
}

void PanelEdit::ScrollMoved(int row, int value) {
  const PanelRow* shown = Row(row);
  if (busy_ || shown == nullptr || !shown->scrollVisible) {
    return;
  }
  const BusyScope busy(busy_);
  engine::StageFieldValue(session_, edit_, shown->fieldLine, value);
  Commit(false);
}

void PanelEdit::ComboChosen(int row, int index) {
  const PanelRow* shown = Row(row);
  if (busy_ || shown == nullptr || shown->comboLocked || index < 0 ||
      index >= static_cast<int>(shown->comboItems.size())) {
    return;
  }
  const BusyScope busy(busy_);
  engine::StageFieldValue(session_, edit_, shown->fieldLine,
                          shown->comboItems[static_cast<std::size_t>(index)].value);
  Commit(false);
}

int PanelEdit::FirstRowOf(int row) const {
  for (int r = row; Row(r) != nullptr; --r) {
    if (Row(r)->firstOfRegister) {
      return r;
    }
  }
  return -1;
}

bool PanelEdit::BitClicked(int cell) {
  const int row = cell / kCellsPerRow;
  const int first = FirstRowOf(row);
  if (busy_ || cell < 0 || first < 0) {
    return false;
  }
  const BitCell& bit = Row(row)->bits[static_cast<std::size_t>(cell % kCellsPerRow)];
  const bool threeWire = BusControlsFor(session_.connection.busType).threeWire;
  if (!bit.inField || (threeWire && bit.textColour != kPanelBlack)) {
    return false;
  }
  const BusyScope busy(busy_);
  const PanelRow& target = *Row(first);
  const auto toggled =
      static_cast<std::uint32_t>(target.byte ^ (1U << (kCellsPerRow - 1 - cell % kCellsPerRow)));
  if (engine::StageRegisterByte(session_, edit_, target.readAddress, definition::Hex2(toggled))
          .error != engine::EditError::None) {
    return false;
  }
  Commit(false);
  return true;
}

void PanelEdit::FocusEntered(int row, PanelBox box) {
  const PanelRow* shown = Row(row);
  if (shown != nullptr && !Locked(*shown, box)) {
    focusedRegister_ = shown->registerLine;
    KeepFocusedTexts();
  }
}

void PanelEdit::FocusLeft(int row, PanelBox box) {
  const PanelRow* shown = Row(row);
  if (shown == nullptr || !Locked(*shown, box)) {
    focusedRegister_ = 0;
    KeepFocusedTexts();
  }
}

void PanelEdit::WriteRegs() {
  if (busy_) {
    return;
  }
  const BusyScope busy(busy_);
  engine::SettlePendingChanges(session_, edit_, true);
}

void PanelEdit::WriteOnChangeClicked(bool ticked) {
  edit_.writeNow = ticked;
  if (ticked) {
    WriteRegs();
  }
}

void PanelEdit::ReadAfterWriteClicked(bool ticked) {
  session_.readAfterWrite = ticked;
}

}  // namespace kestrova::frontend
