#include "frontend/panel_pages.hpp"

#include <algorithm>
#include <optional>

#include "definition/numbers.hpp"
#include "engine/session.hpp"
#include "markup/markup_store.hpp"

namespace kestrova::frontend {

int PanelGroup::ExtraTabRows() const {
  return pages.empty() ? 0 : (static_cast<int>(pages.size()) - 1) / kPageTabsPerRow;
}

int PanelGroup::TabShiftTwips(int tabFixedHeight) const {
  return kTabStripGapTwips + tabFixedHeight * ExtraTabRows();
}

int PanelGroup::TabStripHeightTwips(int tabFixedHeight) const {
  return tabFixedHeight + TabShiftTwips(tabFixedHeight) + kTabStripMarginTwips;
}

int PanelPages::GridShiftTwips(int tabFixedHeight) const {
  int shift = 0;
  for (const PanelGroup& group : groups) {
    if (group.pages.size() > 1) {
      shift = std::max(shift, group.TabShiftTwips(tabFixedHeight));
    }
  }
  return shift;
}

int PanelPages::FullestPageRows() const {
  int rows = 0;
  for (const PanelGroup& group : groups) {
    for (const PanelPage& page : group.pages) {
      rows = std::max(rows, page.rows);
    }
  }
  return rows;
}

std::string PageCaption(const std::vector<std::string>& addressCaptions) {
  std::optional<std::int64_t> low;
  std::optional<std::int64_t> high;
  std::string lowText;
  std::string highText;
  for (const std::string& caption : addressCaptions) {
    const auto value = definition::ParseHex(caption);
    if (!value) {
      continue;
    }
    if (!low || *value < *low) {
      low = *value;
      lowText = caption;
    }
    if (!high || *value > *high) {
      high = *value;
      highText = caption;
    }
  }
  if (!low) {
    return addressCaptions.empty() ? std::string() : addressCaptions.front();
  }
  return *low == *high ? lowText : lowText + "-" + highText;
}

PanelPagesResult BuildPanelPages(engine::Session& session, std::string_view fileLabel) {
  PanelPagesResult result;
  PanelPages& pages = result.pages;
  pages.groups.emplace_back();
  const std::vector<engine::RegisterRow> registers = engine::BuildRegisterView(session);

  std::vector<std::string> captions;  // of the page being filled
  auto closePage = [&] {
    PanelGroup& group = pages.groups.back();
    if (!group.pages.empty() && group.pages.back().caption.empty()) {
      group.pages.back().caption = PageCaption(captions);
    }
    captions.clear();
  };

  for (const engine::RegisterRow& reg : registers) {
    int rows = 0;
    for (const engine::FieldRow& field : reg.fields) {
      rows += field.visible ? 1 : 0;
    }
    if (rows > kPanelRows) {
      result.problem = std::string(fileLabel) + ":" +
                       std::to_string(session.Store().SourceLine(reg.line)) + ": register " +
                       reg.title + " has " + std::to_string(rows) +
                       " shown bit fields; a panel page holds " + std::to_string(kPanelRows);
      return result;
    }
    // Group bookkeeping: the first name names the first group; another name
    // starts the next group.
    bool newGroup = false;
    PanelGroup* group = &pages.groups.back();
    if (!reg.group.empty() && group->caption != reg.group) {
      if (pages.groups.front().caption.empty()) {
        pages.groups.front().caption = reg.group;
      } else {
        closePage();
        pages.groups.emplace_back();
        pages.groups.back().caption = reg.group;
        newGroup = true;
      }
    }
    group = &pages.groups.back();
    if (newGroup || group->pages.empty() || group->pages.back().rows + rows > kPanelRows) {
      closePage();
      PanelPage page;
      page.registers.firstLine = reg.line;
      page.registers.groupAddrMask = reg.groupAddrMask;
      page.registers.group = reg.group;
      group->pages.push_back(std::move(page));
    }
    PanelPage& page = group->pages.back();
    page.registers.lastLine = reg.line;
    page.rows += rows;
    for (const engine::FieldRow& field : reg.fields) {
      if (field.visible) {
        captions.push_back(field.readAddressCaption);
      }
    }
  }
  closePage();
  return result;
}

}  // namespace kestrova::frontend
