#pragma once
// Where the register panel's controls sit, in twips from the panel's origin
// before the grid moves down below multi-row page tabs.

#include <array>

#include "frontend/panel_columns.hpp"

namespace kestrova::mainwindow::panel {

inline constexpr int kRowCount = 16;
inline constexpr int kRowTop = 1320;  // row 0
inline constexpr int kRowPitch = 420;
inline constexpr int kLineAcrossTop = 1260;  // above row 0; one more below row 15
inline constexpr int kLineLeft = 120;
inline constexpr int kLineRight = 7800;
inline constexpr int kLineDownTop = 960;
inline constexpr int kLineDownBottom = 7980;
inline constexpr std::array<int, 6> kLineDownLefts = {120, 420, 1020, 3240, 5460, 7800};

struct Box {
  int left;
  int width;
  int height;
};

inline constexpr Box kRegAddr = {180, frontend::kRegAddrWidthTwips, 372};
inline constexpr Box kRegAttr = {480, 492, 252};
inline constexpr Box kRegName = {1080, frontend::kRegNameWidthTwips, 252};
// Bit 7 leftmost; a gap of 60 between bits 4 and 3 splits the nibbles.
inline constexpr std::array<int, 8> kRegBitLefts = {3360, 3540, 3720, 3900, 4140, 4320, 4500, 4680};
inline constexpr Box kRegBit = {0, 168, 288};
inline constexpr Box kRegValue = {4980, 372, 288};
inline constexpr Box kBitValue = {5580, 672, 288};
inline constexpr Box kUnits = {6300, 552, 252};
inline constexpr int kUnitsFirstRowWidth = 432;
inline constexpr int kUnitsDrop = 60;  // units sit lower than their row
inline constexpr Box kBitCombo = {5580, frontend::kBitComboWidthTwips, 288};
inline constexpr Box kBitHScroll = {6780, 912, 252};

// The header row.
inline constexpr int kTitleTop = 1020;
inline constexpr int kTitleHeight = 252;
struct Title {
  int left;
  int width;
  const char* text;
};
inline constexpr std::array<Title, 6> kTitles = {{
    {180, 240, frontend::kRegAddrTitle.data()},
    {480, 540, "Attr"},
    {1080, 2160, "Register Bit Field "},
    {3360, 1620, "Register Bits (click)"},
    {5040, 420, "Hex"},
    {5580, 2220, "Bit Field Value"},
}};

inline constexpr int RowTop(int row) {
  return kRowTop + kRowPitch * row;
}
inline constexpr int LineAcrossTop(int line) {
  return kLineAcrossTop + kRowPitch * line;
}

}  // namespace kestrova::mainwindow::panel
