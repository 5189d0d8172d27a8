#pragma once
// One page of the register panel as plain data: for each of its rows every
// text, colour, width, lock and list the row's controls show (`RegAddr`,
// `RegAttr`, `RegName`, the eight `RegBit` cells, `RegValue`, `BitValue`,
// `Units`, `BitCombo`, `BitHScroll`), and which controls the bus hides. A
// refresh builds the shown page only and says whether the rows must be laid
// out again or only take new values. Texts are the definition's (Latin-1).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/register_view.hpp"
#include "frontend/panel_columns.hpp"
#include "frontend/panel_pages.hpp"

namespace kestrova::engine {
class Session;
}

namespace kestrova::frontend {

// Colours as 0xRRGGBB.
inline constexpr std::uint32_t kPanelWhite = 0xFFFFFF;
inline constexpr std::uint32_t kPanelBlack = 0x000000;
inline constexpr std::uint32_t kReadOnlyText = 0x7C7C7C;    // read-only fields
inline constexpr std::uint32_t kOutOfFieldText = 0xA0A0A0;  // bit cells outside the field

// Design sizes of the row controls that a row may change, in twips.
inline constexpr int kBitValueWidthTwips = 672;
inline constexpr int kUnitsLeftTwips = 6300;
inline constexpr int kBitValueMaxLength = 7;
inline constexpr int kRegValueMaxLength = 2;

// One `RegBit` cell. Cell j of row r is control 8·r + j and stands for bit 7 − j.
struct BitCell {
  std::string caption;  // "0" or "1" on the first row of a register, else empty
  bool inField = false;
  std::uint32_t textColour = kPanelBlack;
  std::uint32_t backColour = kPanelWhite;
};

struct PanelRow {
  int registerLine = 0;  // xmlfileindex of the register
  int fieldLine = 0;     // xmlfileindex of the bit field

  // `RegAddr`: the address caption ("01/\r\n81" when read and write differ)
  // when the read address differs from the row above, else empty.
  std::string regAddr;
  bool regAddrVisible = true;
  std::string regAttr;  // `RegAttr`: "R", "W", "R/W"
  std::string regName;  // `RegName`: the bit field's label

  // The row shows its register byte: `RegValue` and the bit captions.
  bool firstOfRegister = false;
  // The register byte the row's field sits in, and its read address.
  std::int32_t readAddress = 0;
  std::uint8_t byte = 0;
  // The texts of `RegValue` and `BitValue` are the user's (being typed, or
  // the register has the focus): a refresh leaves them as they are.
  bool keepRegValueText = false;
  bool keepBitValueText = false;

  // `RegValue`: the byte as two upper-case hexadecimal digits.
  bool regValueVisible = false;
  std::string regValue;
  std::uint32_t regValueTextColour = kPanelBlack;
  bool regValueLocked = false;

  // `BitValue` and `Units`.
  bool bitValueVisible = false;
  std::string bitValue;
  int bitValueWidth = kBitValueWidthTwips;  // widened for a scaled value
  int bitValueMaxLength = kBitValueMaxLength;
  std::uint32_t bitValueTextColour = kPanelBlack;
  bool bitValueLocked = false;
  bool bitValueHex = false;  // the value is shown in hexadecimal ("1Fh")
  bool unitsVisible = false;
  std::string units;
  int unitsLeft = kUnitsLeftTwips;  // moved right by the widening
  std::uint32_t unitsTextColour = kPanelBlack;

  // `BitCombo`: entries with their item data, and the one the value selects.
  bool comboVisible = false;
  std::vector<engine::ComboItem> comboItems;
  int comboIndex = -1;
  std::uint32_t comboTextColour = kPanelBlack;
  bool comboLocked = false;

  // `BitHScroll` over the raw range itself: its offset (`Tag`) is 0, as
  // the bar holds every raw range.
  bool scrollVisible = false;
  int scrollMin = 0;
  int scrollMax = 0;
  int scrollLargeChange = 1;
  int scrollValue = 0;

  std::array<BitCell, 8> bits;  // index j: bit 7 − j
};

struct PanelView {
  int group = -1;
  int page = -1;
  // The rows must be laid out again: another page, or rows that came or went
  // with a condition. Otherwise only values, colours, locks and combo texts changed.
  bool pageChanged = true;
  std::vector<PanelRow> rows;  // at most kPanelRows
  PanelColumns columns;        // fitted when the rows are laid out
};

// The controls outside the grid whose visibility follows the bus.
struct BusControl {
  std::string_view name;  // objectName of the control or menu entry
  bool visible = true;
};

struct BusControls {
  bool threeWire = false;      // three-wire Microwire (with or without hardware)
  bool noChip = false;         // "nochip"
  bool regTabVisible = true;   // the current group's page tabs
  bool regAddrVisible = true;  // the rows' `RegAddr` captions
  std::vector<BusControl> controls;
};

BusControls BusControlsFor(std::int16_t busType);

// The box texts a refresh leaves alone: those of every row of the register
// whose control has the focus (`focusedRegister`, its xmlfileindex; 0 for
// none), and the one box being typed into.
struct KeptTexts {
  int focusedRegister = 0;
  int typingRow = -1;
  bool typingBitValue = false;  // the `BitValue` of typingRow, else its `RegValue`
};

class PanelModel {
 public:
  explicit PanelModel(engine::Session& session);

  // Lays out groups and pages of the opened part. False (no pages) when a
  // register fits no page; Problem() then names it by file and line.
  bool Load(std::string_view fileLabel);
  const PanelPages& Pages() const { return pages_; }
  const std::string& Problem() const { return problem_; }

  // The page `page` (0-based) of group `group` with the current values; the
  // view stays valid until the next Refresh or Load.
  // `continuousActive`: continuous read, logging or plotting runs (locks the
  // drop-downs marked `timerlock`). An unknown group or page gives no rows.
  const PanelView& Refresh(int group, int page, bool continuousActive);
  // The next Refresh lays the rows out again.
  void Invalidate() { view_.group = -1; }
  const PanelView& View() const { return view_; }

  // Widths of texts, for widening `BitValue` and fitting the columns; the
  // window measures with its font and its drop-downs' chrome. The default
  // counts 120 twips per character and no chrome.
  void SetTextWidth(TextWidth width, int comboChromeTwips) {
    textWidth_ = std::move(width);
    comboChrome_ = comboChromeTwips;
  }

  void SetKeptTexts(const KeptTexts& kept) { kept_ = kept; }

 private:
  PanelRow MakeRow(const engine::RegisterRow& reg, const engine::FieldRow& field,
                   bool firstOfRegister, const BusControls& bus, bool continuousActive) const;

  engine::Session& session_;
  PanelPages pages_;
  std::string problem_;
  PanelView view_;
  TextWidth textWidth_;
  int comboChrome_ = 0;
  KeptTexts kept_;
};

}  // namespace kestrova::frontend
