#include "frontend/panel_columns.hpp"

#include <algorithm>

#include "frontend/panel_view.hpp"

namespace kestrova::frontend {

PanelColumns FitPanelColumns(const std::vector<PanelRow>& rows, const TextWidth& textWidth,
                             int comboChromeTwips) {
  PanelColumns columns;
  for (const PanelRow& row : rows) {
    columns.regNameWidth = std::max(columns.regNameWidth, textWidth(row.regName));
    for (const engine::ComboItem& item : row.comboItems) {
      columns.bitComboWidth =
          std::max(columns.bitComboWidth, textWidth(item.label) + comboChromeTwips);
    }
  }
  columns.regNameWidth = std::min(columns.regNameWidth, kMaxColumnGrowth * kRegNameWidthTwips);
  columns.bitComboWidth = std::min(columns.bitComboWidth, kMaxColumnGrowth * kBitComboWidthTwips);
  return columns;
}

}  // namespace kestrova::frontend
