// Editing in the register panel as the window's controls raise it: a
// keystroke stages, Enter or leaving the box commits, and only a commit
// writes; bit cells, drop-downs and scroll bars commit at once.
#include "frontend/panel_edit.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/register_edit.hpp"
#include "engine/register_operations.hpp"
#include "engine/session.hpp"
#include "frontend/panel_view.hpp"
#include "markup/markup_store.hpp"
#include "support/part_text.hpp"
#include "support/recording_device_library.hpp"
#include "support/recording_front_end.hpp"

namespace kestrova::frontend {
namespace {

// Each WriteDevice call as its (address, byte) pairs.
using WriteList = std::vector<std::vector<std::pair<int, int>>>;

// Rows: 0 Mode (drop-down, 5:4) and 1 Low (3:0) of register 01; 2 the
// write-once register 02; 3 a scaled value box; 4 a signed scroll bar.
const std::string kPart = kestrova::testing::PartText(
    ">register title=Config >>bitfield label=Mode addr=01 bit=5:4 value=0 >>>add type=combo "
    ">>>>combo label=Off >>>>combo label=One >>>>combo label=Two >>>>combo label=Three "
    ">>bitfield label=Low addr=01 bit=3:0 value=0 "
    ">register title=Once writeonce=true >>bitfield label=Once addr=02 bit=7:0 value=0 "
    ">register title=Limit >>bitfield label=Limit addr=03 bit=7:0 value=0 textbox=true units=C "
    "format=0.0 input=0:255 display=0:127.5 "
    ">register title=Gain >>bitfield label=Gain addr=04 bit=7:0 value=0 scrollbar=true format=0 "
    "input=-128:127 display=-128:127",
    "label=Test");

class PanelEditing : public ::testing::Test {
 protected:
  PanelEditing() : session(store, library, frontEnd), panel(session), edit(session, state, panel) {
    session.connection.deviceHandle = 7;
    session.connection.link = engine::kLinkUsb;
    session.connection.busType = 2;
    session.connection.deviceAddress = 0x48;
    session.readAfterWrite = false;
    frontEnd.onRefreshPanel = [this] { panel.Refresh(0, 0, false); };
    Restart();
  }
  // The part opened afresh on a chip holding 0F 00 00 00, nothing staged.
  void Restart() {
    ASSERT_TRUE(store.LoadMarkupText(kPart));
    session.OnPartOpened();
    ASSERT_TRUE(panel.Load("test"));
    session.images = engine::RegisterImages{};
    library.chip = {{1, 0x0F}, {2, 0x00}, {3, 0x00}, {4, 0x00}};
    ASSERT_TRUE(engine::ReadUnmodified(session));
    state = engine::EditState{};
    panel.Refresh(0, 0, false);
    library.calls.clear();
  }

  WriteList Writes() const {
    WriteList writes;
    for (const auto& call : library.CallsOf("WriteDevice")) {
      writes.emplace_back();
      for (std::size_t i = 0; i < call.registers.size(); ++i) {
        writes.back().emplace_back(call.registers[i], call.data[i]);
      }
    }
    return writes;
  }
  const PanelRow& Row(int r) const { return panel.View().rows[static_cast<std::size_t>(r)]; }

  markup::MarkupStore store;
  engine::RecordingDeviceLibrary library;
  test_support::RecordingFrontEnd frontEnd;
  engine::Session session;
  engine::EditState state;
  PanelModel panel;
  PanelEdit edit;
};

TEST_F(PanelEditing, KeystrokesStageAndOnlyTheCommitWrites) {
  state.writeNow = true;
  EXPECT_EQ(edit.RegValueEdited(0, "g"), "");
  EXPECT_EQ(edit.RegValueEdited(0, "1"), "1");
  EXPECT_EQ(edit.RegValueEdited(0, "1f"), "1F");
  // Half-typed values reach the other rows and the pending marks, never the chip.
  EXPECT_TRUE(Writes().empty());
  EXPECT_EQ(Row(0).comboIndex, 1);
  EXPECT_TRUE(Row(0).keepRegValueText);  // the box typed into keeps "1F" as typed
  EXPECT_TRUE(state.writeRegsEnabled);
  EXPECT_FALSE(edit.ConfirmRegValue(0, "", false));  // empty text keeps the focus
  EXPECT_TRUE(Writes().empty());
  EXPECT_TRUE(edit.ConfirmRegValue(0, "1F", false));
  EXPECT_EQ(Writes(), (WriteList{{{1, 0x1F}}}));
  EXPECT_EQ(Row(0).regValue, "1F");
  EXPECT_FALSE(Row(0).keepRegValueText);

  // A scaled field typed as text: each number staged, the raw byte written at Enter.
  library.calls.clear();
  for (const auto& [typed, shown] : std::vector<std::pair<std::string, std::string>>{
           {"-", "-"}, {".", "."}, {"1e", ""}, {"x", ""}, {"1", "1"}, {"12.5", "12.5"}}) {
    EXPECT_EQ(edit.BitValueEdited(3, typed), shown) << typed;
  }
  EXPECT_TRUE(Writes().empty());
  EXPECT_EQ(Row(3).regValue, "19");
  EXPECT_FALSE(edit.ConfirmBitValue(3, "12,5", true));
  EXPECT_TRUE(edit.ConfirmBitValue(3, "12.5", true));
  EXPECT_EQ(Writes(), (WriteList{{{3, 0x19}}}));
  EXPECT_EQ(Row(3).bitValue, "12.5");
}

TEST_F(PanelEditing, ClicksAndChoicesCommitAtOnce) {
  const struct {
    const char* what;
    bool writeNow;
    std::function<void(PanelEdit&)> act;
    WriteList writes;
    int row;            // the first row of the register acted on
    std::uint8_t byte;  // its byte afterwards
  } cases[] = {
      {"bit 0 of Low", true, [](PanelEdit& e) { e.BitClicked(8 + 7); }, {{{1, 0x0E}}}, 0, 0x0E},
      {"bit 7 outside Low", true, [](PanelEdit& e) { e.BitClicked(8 + 0); }, {}, 0, 0x0F},
      {"bit 5 of Mode, unarmed", false, [](PanelEdit& e) { e.BitClicked(2); }, {}, 0, 0x2F},
      {"Mode Two in 5:4 of 0F",
       true,
       [](PanelEdit& e) { e.ComboChosen(0, 2); },
       {{{1, 0x2F}}},
       0,
       0x2F},
      {"write-once waits for Enter", true, [](PanelEdit& e) { e.BitClicked(16); }, {}, 2, 0x80},
      {"then Enter",
       true,
       [](PanelEdit& e) {
         e.BitClicked(16);
         e.ConfirmRegValue(2, "80", true);
       },
       {{{2, 0x80}}},
       2,
       0x80},
      {"signed scroll bar at -56",
       true,
       [](PanelEdit& e) { e.ScrollMoved(4, -56); },
       {{{4, 0xC8}}},
       4,
       0xC8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Restart();
    state.writeNow = c.writeNow;
    c.act(edit);
    EXPECT_EQ(Writes(), c.writes);
    EXPECT_EQ(Row(c.row).byte, c.byte);
  }
}

TEST_F(PanelEditing, ARefreshLeavesTheFocusedRegistersTextsAlone) {
  edit.FocusEntered(1, PanelBox::RegValue);
  panel.Refresh(0, 0, true);
  std::vector<bool> kept;
  for (const PanelRow& r : panel.View().rows) {
    kept.push_back(r.keepRegValueText && r.keepBitValueText);
  }
  EXPECT_EQ(kept, (std::vector<bool>{true, true, false, false, false}));
  edit.FocusLeft(1, PanelBox::RegValue);
  panel.Refresh(0, 0, true);
  EXPECT_FALSE(Row(0).keepRegValueText);
}

}  // namespace
}  // namespace kestrova::frontend
