#include "grid_page.hpp"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

#include "frontend/panel_view.hpp"
#include "register_grid.hpp"
#include "text.hpp"

namespace kestrova::mainwindow {

namespace {

// Setting a control's text or palette costs a relayout and a repaint even
// when nothing changes; these leave an unchanged control alone.
template <typename Widget>
void SetText(Widget* widget, const std::string& text) {
  const QString value = FromCore(text);
  if (widget->text() != value) {
    widget->setText(value);
  }
}

struct Colour {
  QPalette::ColorRole role;
  std::uint32_t rgb;
};

void SetColours(QWidget* widget, std::initializer_list<Colour> colours) {
  const QPalette& current = widget->palette();
  bool same = true;
  for (const Colour& colour : colours) {
    same = same && current.color(colour.role) == QColor::fromRgb(colour.rgb);
  }
  if (same) {
    return;
  }
  QPalette palette = current;
  for (const Colour& colour : colours) {
    palette.setColor(colour.role, QColor::fromRgb(colour.rgb));
  }
  widget->setPalette(palette);
}

// Boxes and drop-downs: coloured text on white.
void SetBoxColour(QWidget* widget, std::uint32_t text) {
  SetColours(widget, {{QPalette::Text, text}, {QPalette::Base, frontend::kPanelWhite}});
}

void SetVisible(QWidget* widget, bool visible) {
  if (widget->isVisibleTo(widget->parentWidget()) != visible) {
    widget->setVisible(visible);
  }
}

void HideRow(GridRow& row) {
  for (QWidget* widget :
       {static_cast<QWidget*>(row.regAddr), static_cast<QWidget*>(row.regAttr),
        static_cast<QWidget*>(row.regName), static_cast<QWidget*>(row.regValue),
        static_cast<QWidget*>(row.bitValue), static_cast<QWidget*>(row.units),
        static_cast<QWidget*>(row.bitCombo), static_cast<QWidget*>(row.bitHScroll)}) {
    SetVisible(widget, false);
  }
  for (QLabel* cell : row.regBit) {
    SetVisible(cell, false);
  }
}

void FillCombo(QComboBox* combo, const frontend::PanelRow& model, bool pageChanged) {
  const int count = static_cast<int>(model.comboItems.size());
  if (pageChanged || combo->count() != count) {
    combo->clear();
    for (const engine::ComboItem& item : model.comboItems) {
      combo->addItem(FromCore(item.label), QVariant::fromValue<qlonglong>(item.value));
    }
  } else {
    // A refresh replaces only the entries whose text changed.
    for (int i = 0; i < count; ++i) {
      const QString label = FromCore(model.comboItems[static_cast<size_t>(i)].label);
      if (combo->itemText(i) != label) {
        combo->setItemText(i, label);
      }
    }
  }
  if (combo->currentIndex() != model.comboIndex) {
    combo->setCurrentIndex(model.comboIndex);
  }
}

void ShowRow(RegisterGrid& grid, int r, const frontend::PanelRow& model, bool pageChanged) {
  GridRow& row = grid.Row(r);
  const QSignalBlocker blockValue(row.regValue);
  const QSignalBlocker blockField(row.bitValue);
  const QSignalBlocker blockCombo(row.bitCombo);
  const QSignalBlocker blockScroll(row.bitHScroll);
  if (pageChanged) {
    SetText(row.regAddr, model.regAddr);
    SetVisible(row.regAddr, model.regAddrVisible);
    SetVisible(row.regAttr, true);
    SetVisible(row.regName, true);
    row.regValue->setMaxLength(frontend::kRegValueMaxLength);
    grid.PlaceValueBox(r, model.bitValueWidth, model.unitsLeft);
    row.bitValue->setMaxLength(model.bitValueMaxLength);
  }
  SetText(row.regAttr, model.regAttr);
  SetText(row.regName, model.regName);
  if (pageChanged) {
    row.regName->setToolTip(row.regName->text());  // labels longer than the column
  }

  SetVisible(row.regValue, model.regValueVisible);
  // A box whose text is the user's keeps it.
  if (model.regValueVisible && !model.keepRegValueText) {
    SetText(row.regValue, model.regValue);
  }
  if (model.regValueVisible) {
    SetBoxColour(row.regValue, model.regValueTextColour);
    row.regValue->setReadOnly(model.regValueLocked);
  }

  SetVisible(row.bitValue, model.bitValueVisible);
  SetVisible(row.units, model.unitsVisible);
  if (model.bitValueVisible && !model.keepBitValueText) {
    SetText(row.bitValue, model.bitValue);
  }
  if (model.bitValueVisible) {
    SetBoxColour(row.bitValue, model.bitValueTextColour);
    row.bitValue->setReadOnly(model.bitValueLocked);
  }
  if (model.unitsVisible) {
    SetText(row.units, model.units);
    SetColours(row.units, {{QPalette::WindowText, model.unitsTextColour}});
  }

  SetVisible(row.bitCombo, model.comboVisible);
  if (model.comboVisible) {
    FillCombo(row.bitCombo, model, pageChanged);
    row.bitCombo->setToolTip(row.bitCombo->currentText());  // entries longer than the column
    // A drop-down draws its text in the button colours.
    SetColours(row.bitCombo, {{QPalette::ButtonText, model.comboTextColour},
                              {QPalette::Text, model.comboTextColour},
                              {QPalette::Button, frontend::kPanelWhite},
                              {QPalette::Base, frontend::kPanelWhite}});
    row.bitCombo->setEnabled(!model.comboLocked);
  }

  SetVisible(row.bitHScroll, model.scrollVisible);
  if (model.scrollVisible) {
    row.bitHScroll->setRange(model.scrollMin, model.scrollMax);
    row.bitHScroll->setPageStep(model.scrollLargeChange);
    row.bitHScroll->setValue(model.scrollValue);
  }

  for (size_t cell = 0; cell < 8; ++cell) {
    QLabel* label = row.regBit[cell];
    const frontend::BitCell& bit = model.bits[cell];
    SetText(label, bit.caption);
    SetColours(label, {{QPalette::WindowText, bit.textColour}, {QPalette::Window, bit.backColour}});
    SetVisible(label, true);
  }
}

}  // namespace

void ShowPanelPage(RegisterGrid& grid, const frontend::PanelView& view) {
  if (view.pageChanged) {
    grid.SetColumns(view.columns);  // before the rows place their value boxes
  }
  const int shown = static_cast<int>(view.rows.size());
  for (int r = 0; r < panel::kRowCount; ++r) {
    if (r < shown) {
      ShowRow(grid, r, view.rows[static_cast<size_t>(r)], view.pageChanged);
    } else if (view.pageChanged) {
      HideRow(grid.Row(r));
    }
  }
  if (view.pageChanged) {
    // Separators above every shown row and below the last; the vertical
    // lines end at the last one.
    for (int line = 0; line <= panel::kRowCount; ++line) {
      SetVisible(grid.LineAcross(line), line <= shown);
    }
    grid.EndLinesDownAt(shown);
  }
}

}  // namespace kestrova::mainwindow
