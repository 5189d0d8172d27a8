// Any bytes as a part definition: the markup loader, the checker, the walk
// over registers and bit fields with hiding, the typed attribute readers of
// every element, the generated bit fields for unused bits, and the register
// panel's pages and the rows of each page.
//
// Properties: a document that loads saves to text that loads back to the
// same document; the checker and the walk leave the cursor and the index
// stack as they found them; every problem names the file; the panel either
// takes the part, no page holding more rows than the grid, or refuses it
// with a "file:line:" message.

#include <algorithm>
#include <cstdint>
#include <string>

#include "definition/checker.hpp"
#include "definition/numbers.hpp"
#include "definition/schema.hpp"
#include "definition/unused_bitfields.hpp"
#include "definition/walk.hpp"
#include "engine/session.hpp"
#include "frontend/panel_view.hpp"
#include "fuzz_support.hpp"
#include "markup/markup_store.hpp"
#include "support/recording_device_library.hpp"

using namespace kestrova;
using definition::DefinitionWalk;
using markup::MarkupStore;

namespace {

// Bounds the work on one input (a walk that made no progress would loop).
constexpr int kMaxSteps = 20000;
constexpr int kMaxGeneratedRegisters = 64;

// Conditions and choices sit at most two levels below a bit field.
constexpr int kDeepestChildLevel = 6;

void ReadChildren(MarkupStore& store, int level, std::string_view name, int& steps) {
  if (level > kDeepestChildLevel || !store.PushIndex()) {
    return;
  }
  while (store.FindElement(level, name) && ++steps < kMaxSteps) {
    if (name == "add") {
      definition::ReadDriverEntry(store);
      definition::ReadComboList(store);
      definition::ReadAttrRule(store);
      definition::ReadDisplayAlternative(store);
      definition::ReadOrderRule(store);
    }
    definition::ReadCondition(store);
    definition::ReadComboChoice(store);
    definition::ReadUpdateRegRule(store);
    definition::ReadPortSetting(store);
    // One level further down: the conditions and choices of an `add`.
    for (const char* child : {"combo", "attr", "display", "updatereg", "port"}) {
      ReadChildren(store, level + 1, child, steps);
    }
  }
  store.PopIndex();
}

void WalkPart(MarkupStore& store) {
  definition::ByteImageConditionValues values(
      [](std::int32_t address) { return static_cast<std::uint8_t>(address * 37 + 11); });
  definition::WalkOptions options;
  options.applyHiding = true;
  options.values = &values;
  int groups = 0;
  options.onGroup = [&groups](std::string_view name) {
    FUZZ_CHECK(!name.empty());
    ++groups;
  };
  for (const bool usb : {true, false}) {
    options.usbLink = usb;
    store.PushIndex();
    DefinitionWalk walk(store, options);
    int steps = 0;
    int generated = 0;
    if (walk.PositionOnPart()) {
      definition::ReadPart(store);
      store.PushIndex();
      if (store.FindElement(2, "driver")) {
        ReadChildren(store, 3, "add", steps);
      }
      store.PopIndex();
      store.PushIndex();
      if (store.FindElement(2, "interface")) {
        definition::ReadInterface(store);
        if (store.FindElement(3, "addr")) {
          definition::ReadChipAddress(store);
          ReadChildren(store, 4, "add", steps);
        }
      }
      store.PopIndex();
      while (walk.FindNextRegister() && ++steps < kMaxSteps) {
        const definition::RegisterInfo reg = definition::ReadRegister(store);
        FUZZ_CHECK(reg.groupAddrMask >= 0);
        ReadChildren(store, 3, "add", steps);
        ReadChildren(store, 3, "hide", steps);
        std::uint8_t coverage = 0;
        std::int32_t readAddress = 0;
        std::int32_t writeAddress = 0;
        while (walk.FindNextBitfield() && ++steps < kMaxSteps) {
          const definition::BitfieldInfo field = definition::ReadBitfield(store);
          definition::AccessText(field.access);
          readAddress = definition::HexToLong(field.addr.read);
          writeAddress = definition::HexToLong(field.addr.write);
          const int low = field.bit.low & 7;
          const int high = field.bit.high & 7;
          for (int b = std::min(low, high); b <= std::max(low, high); ++b) {
            coverage = static_cast<std::uint8_t>(coverage | (1u << b));
          }
          ReadChildren(store, 4, "add", steps);
          ReadChildren(store, 4, "hide", steps);
        }
        // What the loader does for registers of bytes 0x100..0x3FF.
        if (usb && generated < kMaxGeneratedRegisters && readAddress >= 0x100 &&
            readAddress <= 0x3FF) {
          ++generated;
          const int before = store.LineCount();
          const int inserted = definition::InsertUnusedBitfields(store, coverage, readAddress,
                                                                 writeAddress, true, 1);
          FUZZ_CHECK(inserted == -1 || store.LineCount() == before + inserted);
          FUZZ_CHECK(inserted <= 4);
        }
      }
    }
    store.PopIndex();
  }
}

// The engine's front end of a run without a window: messages answered OK.
class SilentFrontEnd : public engine::EngineFrontEnd {
 public:
  int Show(std::string_view prompt, int buttons) override { return messages.Show(prompt, buttons); }
  bool ShowFileDialog(std::string_view, std::string_view, std::string&, std::uint32_t,
                      bool) override {
    return false;
  }
  void RefreshPanel() override {}
  void SetReadRegsEnabled(bool) override {}
  void SetWriteRegsEnabled(bool) override {}
  void StopContinuous() override {}
  void SavePartSettings() override {}
  fuzz::OkMessageBox messages;
};

void ShowEveryPage(MarkupStore& store) {
  engine::RecordingDeviceLibrary library;
  SilentFrontEnd frontEnd;
  engine::Session session(store, library, frontEnd);
  for (const std::int16_t link : {engine::kLinkUsb, engine::kLinkNone}) {
    session.connection.link = link;
    session.connection.busType = link == engine::kLinkUsb ? 2 : 1;  // I2C; three-wire Microwire
    session.OnPartOpened();
    frontend::PanelModel panel(session);
    if (!panel.Load("fuzzed")) {
      FUZZ_CHECK(panel.Problem().rfind("fuzzed:", 0) == 0);
      continue;
    }
    const std::vector<frontend::PanelGroup>& groups = panel.Pages().groups;
    FUZZ_CHECK(!groups.empty());
    for (std::size_t g = 0; g < groups.size(); ++g) {
      for (std::size_t p = 0; p < groups[g].pages.size(); ++p) {
        FUZZ_CHECK(groups[g].pages[p].rows <= frontend::kPanelRows);
        const frontend::PanelView& view =
            panel.Refresh(static_cast<int>(g), static_cast<int>(p), p % 2 == 0);
        FUZZ_CHECK(view.rows.size() <= static_cast<std::size_t>(frontend::kPanelRows));
        FUZZ_CHECK(view.pageChanged);
        for (const frontend::PanelRow& row : view.rows) {
          FUZZ_CHECK(row.scrollMin <= row.scrollMax || !row.scrollVisible);
          FUZZ_CHECK(row.comboIndex < static_cast<int>(row.comboItems.size()));
        }
      }
    }
  }
  FUZZ_CHECK(store.IndexStackDepth() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::ExactCopy input(data, size);
  MarkupStore store;
  if (!store.LoadMarkupText(input.View())) {
    FUZZ_CHECK(!store.LastError().empty());
    return 0;
  }
  FUZZ_CHECK(store.LineCount() <= MarkupStore::kMaxLines);

  // Saved and loaded again, the document is the same.
  const std::string saved = store.SavedText();
  {
    MarkupStore again;
    FUZZ_CHECK(again.LoadMarkupText(saved));
    FUZZ_CHECK(again.LineCount() == store.LineCount());
    FUZZ_CHECK(again.SavedText() == saved);
  }

  const auto problems = definition::CheckDefinition(store, "fuzzed");
  for (const std::string& problem : problems) {
    FUZZ_CHECK(problem.rfind("fuzzed", 0) == 0);
  }
  FUZZ_CHECK(!definition::DefinitionProblemsMessage("fuzzed", problems).empty() ||
             problems.empty());
  FUZZ_CHECK(store.XmlFileIndex() == 0);
  FUZZ_CHECK(store.IndexStackDepth() == 0);

  WalkPart(store);
  FUZZ_CHECK(store.XmlFileIndex() == 0);
  FUZZ_CHECK(store.IndexStackDepth() == 0);
  ShowEveryPage(store);
  return 0;
}
