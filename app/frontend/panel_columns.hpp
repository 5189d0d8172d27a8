#pragma once
// The widths of the register panel's two text columns on one page: `RegName`
// and `BitCombo` grow to show the page's longest bit field label and
// drop-down entry whole, never narrower than drawn and at most twice as
// wide, so the column of buttons stays on a small screen (a longer text is
// cut and its tooltip shows it whole). The columns right of
// `RegName`, and the panel's right edge, move along, so every row stays
// aligned. Decided when a page is laid out, not at every refresh.

#include <functional>
#include <string_view>
#include <vector>

namespace kestrova::frontend {

struct PanelRow;

// Widths of texts in twips, measured in the panel's font.
using TextWidth = std::function<int(std::string_view)>;

// The drawn widths of the two columns, in twips.
inline constexpr int kRegNameWidthTwips = 2112;
inline constexpr int kBitComboWidthTwips = 2112;
inline constexpr int kMaxColumnGrowth = 2;  // times the drawn width

struct PanelColumns {
  int regNameWidth = kRegNameWidthTwips;
  int bitComboWidth = kBitComboWidthTwips;

  // How far the columns right of `RegName` move.
  int NameGrowth() const { return regNameWidth - kRegNameWidthTwips; }
  int ComboGrowth() const { return bitComboWidth - kBitComboWidthTwips; }
  // How far the panel's right edge moves.
  int Growth() const { return NameGrowth() + ComboGrowth(); }

  bool operator==(const PanelColumns&) const = default;
};

// `comboChromeTwips`: what a drop-down draws beside its text (frame and
// arrow button).
PanelColumns FitPanelColumns(const std::vector<PanelRow>& rows, const TextWidth& textWidth,
                             int comboChromeTwips);

}  // namespace kestrova::frontend
