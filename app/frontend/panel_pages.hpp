#pragma once
// The register panel's group tabs and page tabs, laid out once when a part is
// opened: registers go onto pages in definition order, never split; a page
// ends before a register whose rows would overflow the grid's 16 rows and at
// every change of group. Each page is captioned with the lowest and highest
// address on it. The tab strips' geometry follows from the page counts.

#include <string>
#include <string_view>
#include <vector>

#include "engine/register_view.hpp"

namespace kestrova::engine {
class Session;
}

namespace kestrova::frontend {

// Rows of the grid: one per shown bit field.
inline constexpr int kPanelRows = 16;
// Page tabs on one row of a group's page tab strip.
inline constexpr int kPageTabsPerRow = 13;
// Twips added to a multi-page strip's tab rows, and below the strip.
inline constexpr int kTabStripGapTwips = 20;
inline constexpr int kTabStripMarginTwips = 50;

struct PanelPage {
  std::string caption;              // "00-07", "0A"
  engine::RegisterRange registers;  // first and last register line, group mask and name
  int rows = 0;                     // bit-field rows the page takes
};

struct PanelGroup {
  std::string caption;  // the group tab's text; empty for a part without groups
  std::vector<PanelPage> pages;

  // Page tab rows beyond the first: (pages - 1) / 13.
  int ExtraTabRows() const;
  // What the strip's extra rows add to its height: 20 + tab height * extra rows.
  int TabShiftTwips(int tabFixedHeight) const;
  // The strip's height: tab height + shift + 50.
  int TabStripHeightTwips(int tabFixedHeight) const;
};

struct PanelPages {
  std::vector<PanelGroup> groups;  // at least one

  // `GroupTab` shows only with more than one group.
  bool GroupTabsVisible() const { return groups.size() > 1; }
  // How far the grid, its lines and header move down: the largest tab shift
  // of the groups with more than one page; 0 when no group has.
  int GridShiftTwips(int tabFixedHeight) const;
  // The rows of the part's fullest page: the grid keeps room for these, so
  // switching pages never changes the window's height and a part of short
  // pages leaves no empty rows below them.
  int FullestPageRows() const;
};

struct PanelPagesResult {
  PanelPages pages;
  // Empty on success; else "file:line: ..." of a register that fits no page.
  std::string problem;
};

// The groups and pages of the opened part (USB-only registers on the USB link
// only). Rows count every bit field whose `visible` is not "false", hidden or
// not, so a page fits the grid whatever its conditions show later.
// `fileLabel` names the definition in a problem.
PanelPagesResult BuildPanelPages(engine::Session& session, std::string_view fileLabel);

// The caption of a page from the read-address captions on it: the lowest,
// or the lowest, "-" and the highest, compared as hexadecimal numbers;
// captions that are not hexadecimal do not count. With none hexadecimal, the
// first caption.
std::string PageCaption(const std::vector<std::string>& addressCaptions);

}  // namespace kestrova::frontend
