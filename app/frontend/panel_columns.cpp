#include "frontend/panel_columns.hpp"

#include <algorithm>

#include "frontend/panel_view.hpp"

namespace kestrova::frontend {

namespace {

// A caption of a read and a write address stands on two lines.
int WidestLine(std::string_view text, const TextWidth& textWidth) {
  int widest = 0;
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t end = std::min(text.find("\r\n", start), text.size());
    widest = std::max(widest, textWidth(text.substr(start, end - start)));
    start = end + 2;
  }
  return widest;
}

}  // namespace

PanelColumns FitPanelColumns(const std::vector<PanelRow>& rows, const TextWidth& textWidth,
                             int comboChromeTwips) {
  PanelColumns columns;
  columns.regAddrWidth = std::max(columns.regAddrWidth, textWidth(kRegAddrTitle));
  for (const PanelRow& row : rows) {
    columns.regAddrWidth = std::max(columns.regAddrWidth, WidestLine(row.regAddr, textWidth));
    columns.regNameWidth = std::max(columns.regNameWidth, textWidth(row.regName));
    for (const engine::ComboItem& item : row.comboItems) {
      columns.bitComboWidth =
          std::max(columns.bitComboWidth, textWidth(item.label) + comboChromeTwips);
    }
  }
  columns.regAddrWidth = std::min(columns.regAddrWidth, kMaxColumnGrowth * kRegAddrWidthTwips);
  columns.regNameWidth = std::min(columns.regNameWidth, kMaxColumnGrowth * kRegNameWidthTwips);
  columns.bitComboWidth = std::min(columns.bitComboWidth, kMaxColumnGrowth * kBitComboWidthTwips);
  return columns;
}

}  // namespace kestrova::frontend
