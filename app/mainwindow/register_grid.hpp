#pragma once
// The register panel's grid: 16 rows of controls (`RegAddr`, `RegAttr`,
// `RegName`, eight `RegBit` cells, `RegValue`, `BitValue`, `Units`,
// `BitCombo`, `BitHScroll`), the `LineAcross` and `LineDown` separators and
// the six `Title` header labels, placed at their twip positions. The rows are
// fixed controls that a page relabels, shows and hides; a page's columns
// widen `RegAddr`, `RegName` and `BitCombo` and move what lies right of them.

#include <QWidget>
#include <array>

#include "frontend/panel_columns.hpp"
#include "panel_geometry.hpp"
#include "twips.hpp"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QScrollBar;

namespace kestrova::mainwindow {

struct GridRow {
  QLabel* regAddr = nullptr;
  QLabel* regAttr = nullptr;
  QLabel* regName = nullptr;
  std::array<QLabel*, 8> regBit{};  // cell j shows bit 7 - j
  QLineEdit* regValue = nullptr;
  QLineEdit* bitValue = nullptr;
  QLabel* units = nullptr;
  QComboBox* bitCombo = nullptr;
  QScrollBar* bitHScroll = nullptr;
};

class RegisterGrid : public QWidget {
  Q_OBJECT

 public:
  explicit RegisterGrid(QWidget* parent = nullptr);

  GridRow& Row(int row) { return rows_[static_cast<size_t>(row)]; }
  QFrame* LineAcross(int line) { return lineAcross_[static_cast<size_t>(line)]; }

  // Moves everything below the tab strips down by `pixels` (multi-row page
  // tabs); the grid grows by as much.
  void SetShift(int pixels);
  int Shift() const { return shift_; }
  // Keeps room for `rows` rows (the part's fullest page), not more.
  void SetRoomRows(int rows);
  // The grid's bottom edge in twips, before the shift.
  int BottomTwips() const { return panel::LineAcrossTop(roomRows_); }
  // Ends the vertical separators at `line` (the one below the last shown row).
  void EndLinesDownAt(int line);
  // Places a row's value box and units label (a scaled value widens the box).
  void PlaceValueBox(int row, int bitValueWidthTwips, int unitsLeftTwips);
  // Lays the grid out for a page's column widths; the grid widens by their growth.
  void SetColumns(const frontend::PanelColumns& columns);
  const frontend::PanelColumns& Columns() const { return columns_; }
  // What a row's drop-down draws beside its text (frame and arrow), in twips.
  int ComboChromeTwips() const;

  const Twips& Scale() const { return twips_; }

 private:
  void Build();
  void Place(QWidget* widget, int left, int top, int width, int height);
  void PlaceRow(int row);
  void PlaceLines();
  void PlaceAll();

  Twips twips_;
  int shift_ = 0;
  int roomRows_ = panel::kRowCount;
  frontend::PanelColumns columns_;
  int linesDownEnd_ = panel::kLineDownBottom;
  std::array<GridRow, panel::kRowCount> rows_{};
  std::array<QFrame*, panel::kRowCount + 1> lineAcross_{};
  std::array<QFrame*, panel::kLineDownLefts.size()> lineDown_{};
  std::array<QLabel*, panel::kTitles.size()> titles_{};
};

}  // namespace kestrova::mainwindow
