#include "register_grid.hpp"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionComboBox>

namespace kestrova::mainwindow {

namespace {

// Panel text is as small as the part layouts were drawn for.
constexpr double kPanelPointSize = 8.0;

template <typename Widget>
Widget* Make(QWidget* parent, const char* name, int index) {
  auto* widget = new Widget(parent);
  widget->setObjectName(name);
  widget->setProperty("index", index);
  widget->hide();
  return widget;
}

QFrame* MakeLine(QWidget* parent, const char* name, int index, QFrame::Shape shape) {
  auto* line = Make<QFrame>(parent, name, index);
  line->setFrameShape(shape);
  line->setFrameShadow(QFrame::Plain);
  line->setLineWidth(1);
  QPalette palette = line->palette();
  palette.setColor(QPalette::WindowText, QColor(0x40, 0x40, 0x40));
  line->setPalette(palette);
  return line;
}

}  // namespace

RegisterGrid::RegisterGrid(QWidget* parent) : QWidget(parent), twips_(Twips::For(parent)) {
  setObjectName("RegisterGrid");
  QFont panelFont = font();
  panelFont.setPointSizeF(kPanelPointSize);
  setFont(panelFont);
  Build();
  PlaceAll();
}

void RegisterGrid::Build() {
  for (size_t i = 0; i < titles_.size(); ++i) {
    auto* title = Make<QLabel>(this, "Title", static_cast<int>(i));
    title->setText(panel::kTitles[i].text);
    title->show();
    titles_[i] = title;
  }
  QFont cellFont(QStringLiteral("Courier New"));
  cellFont.setStyleHint(QFont::TypeWriter);
  cellFont.setPointSizeF(kPanelPointSize);
  for (int r = 0; r < panel::kRowCount; ++r) {
    GridRow& row = Row(r);
    row.regAddr = Make<QLabel>(this, "RegAddr", r);
    row.regAddr->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    row.regAttr = Make<QLabel>(this, "RegAttr", r);
    row.regName = Make<QLabel>(this, "RegName", r);
    for (int cell = 0; cell < 8; ++cell) {
      auto* bit = Make<QLabel>(this, "RegBit", 8 * r + cell);
      bit->setAlignment(Qt::AlignCenter);
      bit->setAutoFillBackground(true);
      bit->setFont(cellFont);
      bit->setCursor(Qt::ArrowCursor);
      row.regBit[static_cast<size_t>(cell)] = bit;
    }
    row.regValue = Make<QLineEdit>(this, "RegValue", r);
    row.regValue->setAlignment(Qt::AlignRight);
    row.regValue->setTextMargins(0, 0, 0, 0);
    row.bitValue = Make<QLineEdit>(this, "BitValue", r);
    row.bitValue->setAlignment(Qt::AlignRight);
    row.bitValue->setTextMargins(0, 0, 0, 0);
    row.units = Make<QLabel>(this, "Units", r);
    row.bitCombo = Make<QComboBox>(this, "BitCombo", r);
    row.bitCombo->setSizeAdjustPolicy(QComboBox::AdjustToContentsOnFirstShow);
    row.bitHScroll = Make<QScrollBar>(this, "BitHScroll", r);
    row.bitHScroll->setOrientation(Qt::Horizontal);
  }
  for (size_t i = 0; i < lineAcross_.size(); ++i) {
    lineAcross_[i] = MakeLine(this, "LineAcross", static_cast<int>(i), QFrame::HLine);
  }
  for (size_t i = 0; i < lineDown_.size(); ++i) {
    lineDown_[i] = MakeLine(this, "LineDown", static_cast<int>(i), QFrame::VLine);
    lineDown_[i]->show();
  }
}

void RegisterGrid::Place(QWidget* widget, int left, int top, int width, int height) {
  // What lies right of `RegAddr` and of `RegName` moves with them.
  const int moved = (left >= panel::kLineDownLefts[1] ? columns_.AddrGrowth() : 0) +
                    (left >= panel::kLineDownLefts[3] ? columns_.NameGrowth() : 0);
  QRect box = twips_.Rect(left + moved, top, width, height);
  box.translate(0, shift_);
  widget->setGeometry(box);
}

void RegisterGrid::PlaceRow(int r) {
  GridRow& row = Row(r);
  const int top = panel::RowTop(r);
  Place(row.regAddr, panel::kRegAddr.left, top, columns_.regAddrWidth, panel::kRegAddr.height);
  Place(row.regAttr, panel::kRegAttr.left, top, panel::kRegAttr.width, panel::kRegAttr.height);
  Place(row.regName, panel::kRegName.left, top, columns_.regNameWidth, panel::kRegName.height);
  for (size_t cell = 0; cell < 8; ++cell) {
    Place(row.regBit[cell], panel::kRegBitLefts[cell], top, panel::kRegBit.width,
          panel::kRegBit.height);
  }
  Place(row.regValue, panel::kRegValue.left, top, panel::kRegValue.width, panel::kRegValue.height);
  PlaceValueBox(r, panel::kBitValue.width, panel::kUnits.left);
  Place(row.bitCombo, panel::kBitCombo.left, top, columns_.bitComboWidth, panel::kBitCombo.height);
  Place(row.bitHScroll, panel::kBitHScroll.left, top, panel::kBitHScroll.width,
        panel::kBitHScroll.height);
}

void RegisterGrid::PlaceValueBox(int r, int bitValueWidthTwips, int unitsLeftTwips) {
  GridRow& row = Row(r);
  const int top = panel::RowTop(r);
  Place(row.bitValue, panel::kBitValue.left, top, bitValueWidthTwips, panel::kBitValue.height);
  const int unitsWidth = r == 0 ? panel::kUnitsFirstRowWidth : panel::kUnits.width;
  Place(row.units, unitsLeftTwips, top + panel::kUnitsDrop, unitsWidth, panel::kUnits.height);
}

void RegisterGrid::PlaceLines() {
  const int onePixel = twips_.ToTwips(1);
  for (size_t i = 0; i < lineAcross_.size(); ++i) {
    Place(lineAcross_[i], panel::kLineLeft, panel::LineAcrossTop(static_cast<int>(i)),
          panel::kLineRight + columns_.Growth() - panel::kLineLeft + onePixel, onePixel);
  }
  for (size_t i = 0; i < lineDown_.size(); ++i) {
    // The right edge moves with the drop-down column too; Place adds the others.
    const int growth = i + 1 == lineDown_.size() ? columns_.ComboGrowth() : 0;
    Place(lineDown_[i], panel::kLineDownLefts[i] + growth, panel::kLineDownTop, onePixel,
          linesDownEnd_ - panel::kLineDownTop);
  }
  for (size_t i = 0; i < titles_.size(); ++i) {
    // The titles over the text columns widen with them.
    const panel::Title& title = panel::kTitles[i];
    const int growth = title.left < panel::kLineDownLefts[1] ? columns_.AddrGrowth()
                       : title.left == panel::kRegName.left  ? columns_.NameGrowth()
                       : title.left == panel::kBitCombo.left ? columns_.ComboGrowth()
                                                             : 0;
    Place(titles_[i], title.left + onePixel, panel::kTitleTop, title.width + growth,
          panel::kTitleHeight);
  }
  const QRect bottom =
      twips_.Rect(0, 0, panel::kLineRight + columns_.Growth() + 2 * panel::kLineLeft,
                  BottomTwips() + panel::kLineLeft);
  setFixedSize(bottom.width(), bottom.height() + shift_);
}

void RegisterGrid::PlaceAll() {
  PlaceLines();
  for (int row = 0; row < panel::kRowCount; ++row) {
    PlaceRow(row);
  }
}

void RegisterGrid::SetShift(int pixels) {
  if (pixels != shift_) {
    shift_ = pixels;
    PlaceAll();
  }
}

void RegisterGrid::SetRoomRows(int rows) {
  if (rows != roomRows_) {
    roomRows_ = rows;
    PlaceLines();
  }
}

void RegisterGrid::SetColumns(const frontend::PanelColumns& columns) {
  if (columns != columns_) {
    columns_ = columns;
    PlaceAll();
  }
}

int RegisterGrid::ComboChromeTwips() const {
  const QComboBox* combo = rows_[0].bitCombo;
  QStyleOptionComboBox option;
  option.initFrom(combo);
  const QSize empty(0, combo->fontMetrics().height());
  return twips_.ToTwips(
      combo->style()->sizeFromContents(QStyle::CT_ComboBox, &option, empty, combo).width());
}

void RegisterGrid::EndLinesDownAt(int line) {
  const int end = panel::LineAcrossTop(line);
  if (end != linesDownEnd_) {
    linesDownEnd_ = end;
    PlaceLines();
  }
}

}  // namespace kestrova::mainwindow
