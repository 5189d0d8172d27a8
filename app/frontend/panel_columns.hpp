#pragma once
// The widths of the register panel's text columns on one page: `RegAddr`
// grows to show its "Adr" heading and each line of the page's address
// captions whole ("06/" above "86"), `RegName` and `BitCombo` the page's
// longest bit field label and drop-down entry; never narrower than drawn and
// at most twice as wide, so the column of buttons stays on a small screen (a
// longer text is cut and its tooltip shows it whole). The columns right of
// a grown one, and the panel's right edge, move along, so every row stays
// aligned. Decided when a page is laid out, not at every refresh.

#include <functional>
#include <string_view>
#include <vector>

namespace kestrova::frontend {

struct PanelRow;

// Widths of texts in twips, measured in the panel's font.
using TextWidth = std::function<int(std::string_view)>;

// The drawn widths of the columns, in twips.
inline constexpr int kRegAddrWidthTwips = 252;
inline constexpr int kRegNameWidthTwips = 2112;
inline constexpr int kBitComboWidthTwips = 2112;
inline constexpr int kMaxColumnGrowth = 2;  // times the drawn width
// The heading of the `RegAddr` column.
inline constexpr std::string_view kRegAddrTitle = "Adr";

struct PanelColumns {
  int regAddrWidth = kRegAddrWidthTwips;
  int regNameWidth = kRegNameWidthTwips;
  int bitComboWidth = kBitComboWidthTwips;

  // How far the columns right of `RegAddr`, and those right of `RegName`, move.
  int AddrGrowth() const { return regAddrWidth - kRegAddrWidthTwips; }
  int NameGrowth() const { return regNameWidth - kRegNameWidthTwips; }
  int ComboGrowth() const { return bitComboWidth - kBitComboWidthTwips; }
  // How far the panel's right edge moves.
  int Growth() const { return AddrGrowth() + NameGrowth() + ComboGrowth(); }

  bool operator==(const PanelColumns&) const = default;
};

// `comboChromeTwips`: what a drop-down draws beside its text (frame and
// arrow button).
PanelColumns FitPanelColumns(const std::vector<PanelRow>& rows, const TextWidth& textWidth,
                             int comboChromeTwips);

}  // namespace kestrova::frontend
