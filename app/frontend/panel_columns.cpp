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
  return columns;
}

}  // namespace kestrova::frontend
