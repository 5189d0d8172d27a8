// The register panel: its pages, captions and tab rows, what the rows of
// one page show, and editing as the window's controls raise it (a keystroke
// stages, Enter or leaving the box commits, and only a commit writes; bit
// cells, drop-downs and scroll bars commit at once).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../engine/engine_fixture.hpp"
#include "engine/register_edit.hpp"
#include "engine/register_operations.hpp"
#include "frontend/panel_edit.hpp"
#include "frontend/panel_view.hpp"

namespace kestrova::frontend {
namespace {

constexpr std::int16_t kBusI2cUsb = 2;
constexpr std::int16_t kBusI2cNoHardware = 11;
constexpr std::int16_t kBusMicrowire = 1;
constexpr std::int16_t kBusNoChip = 13;

class Panel : public engine::testing::EngineTest {
 protected:
  // Registers in the short form of support/part_text.hpp, opened without hardware.
  void LoadText(const std::string& registers, std::int16_t busType = kBusI2cNoHardware) {
    ASSERT_TRUE(store.LoadMarkupText(kestrova::testing::PartText(registers, "label=Test")));
    session.connection.link = engine::kLinkNone;
    session.connection.busType = busType;
    session.OnPartOpened();
  }

  // Group captions and, per group, its page captions.
  std::vector<std::vector<std::string>> Captions() const {
    std::vector<std::vector<std::string>> out;
    for (const PanelGroup& group : model.Pages().groups) {
      out.push_back({group.caption});
      for (const PanelPage& page : group.pages) {
        out.back().push_back(page.caption);
      }
    }
    return out;
  }

  PanelModel model{session};
};

// A register at `address` with `fields` one-bit fields.
std::string Register(int address, int fields, const std::string& attributes = "") {
  const std::string hex = definition::Hex2(static_cast<std::uint32_t>(address));
  std::string text = ">register title=R" + hex + attributes;
  for (int i = 0; i < fields; ++i) {
    text += " >>bitfield label=F" + std::to_string(i) + " addr=" + hex +
            " bit=" + std::to_string(i % 8) + " value=0";
  }
  return text + " ";
}

TEST(PanelPages, FourteenPagesTakeTwoTabRowsAndShiftTheGrid) {
  constexpr int kTabHeight = 300;
  PanelPages pages{{PanelGroup{"", std::vector<PanelPage>(14)}}};
  EXPECT_EQ(pages.groups[0].ExtraTabRows(), 1);
  EXPECT_EQ(pages.GridShiftTwips(kTabHeight), kTabHeight + 20);
  EXPECT_EQ(pages.groups[0].TabStripHeightTwips(kTabHeight), kTabHeight + kTabHeight + 20 + 50);
  // Thirteen pages still fit one row; one page lays out no strip at all.
  pages.groups[0].pages.resize(13);
  EXPECT_EQ(pages.groups[0].ExtraTabRows(), 0);
  EXPECT_EQ(pages.GridShiftTwips(kTabHeight), 20);
  pages.groups[0].pages.resize(1);
  EXPECT_EQ(pages.GridShiftTwips(kTabHeight), 0);
  // The grid keeps room for the fullest page of any group.
  pages.groups.push_back(PanelGroup{"B", {PanelPage{"", {}, 7}, PanelPage{"", {}, 12}}});
  EXPECT_EQ(pages.FullestPageRows(), 12);
}

TEST_F(Panel, GroupsCaptionsAndRefusals) {
  const struct {
    const char* name;
    std::string registers;
    std::vector<std::vector<std::string>> groups;
    std::string problem;
  } cases[] = {
      {"unnamed registers join the first group's name",
       Register(0, 1) + Register(1, 1, " grouptabname=A") + Register(2, 1),
       {{"A", "00-02"}},
       ""},
      {"a page ends before a register that would make 17 rows",
       Register(0, 8) + Register(1, 8) + Register(2, 1),
       {{"", "00-01", "02"}},
       ""},
      {"a group change ends the page; a repeated name starts another group",
       Register(0, 1, " grouptabname=A") + Register(1, 1, " grouptabname=B") +
           Register(2, 1, " grouptabname=A"),
       {{"A", "00"}, {"B", "01"}, {"A", "02"}},
       ""},
      {"the group mask shows 1C as 0C",
       Register(0x1C, 1, " grouptabname=G groupaddrmask=0F") + Register(0x1D, 1),
       {{"G", "0C-0D"}},
       ""},
      {"only the read address counts, and text captions do not",
       ">register >>bitfield addr=01:81 bit=0 value=0 >>bitfield addr=400 bit=1 value=0",
       {{"", "01"}},
       ""},
      {"a page of board registers only takes the first caption",
       ">register >>bitfield addr=400 bit=0 value=0",
       {{"", "na"}},
       ""},
      {"a register of 17 shown fields fits no page",
       Register(0, 2) + Register(1, 17),
       {{""}},
       "part:7: register R01 has 17 shown bit fields; a panel page holds 16"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LoadText(c.registers);
    EXPECT_EQ(model.Load("part"), c.problem.empty());
    EXPECT_EQ(model.Problem(), c.problem);
    EXPECT_EQ(Captions(), c.groups);
    EXPECT_EQ(model.Pages().GroupTabsVisible(), c.groups.size() > 1);
  }
}

TEST_F(Panel, RowsShowAddressesBitsValuesAndLocks) {
  LoadText(
      ">register title=A format=hex textbox=disable >>bitfield label=Mode addr=01:81 bit=6:4 "
      "attr=RW value=5 >>bitfield label=Flag addr=01:81 bit=0 attr=R value=1 >register title=T "
      "textbox=true units=C format=0.00 input=0:255 display=-40:87.5 >>bitfield label=Temp "
      "addr=02 bit=7:0 value=10 >register title=C format=hex >>bitfield label=Choice addr=03 "
      "bit=1:0 value=2 >>>add type=combo timerlock=true >>>>combo label=low >>>>combo label=high "
      "value=2 >>bitfield label=Level addr=03 bit=7:2 attr=R scrollbar=true format=0 "
      "input=0:1023 display=0:1023 value=3 >>bitfield label=Gone addr=03 bit=7 visible=false "
      "value=0",
      kBusMicrowire);
  ASSERT_TRUE(model.Load("part"));
  model.SetTextWidth([](std::string_view text) { return 200 * static_cast<int>(text.size()); }, 0);
  const PanelView& view = model.Refresh(0, 0, true);
  ASSERT_EQ(view.rows.size(), 5u);
  const PanelRow& mode = view.rows[0];
  const PanelRow& flag = view.rows[1];
  const PanelRow& temp = view.rows[2];
  const PanelRow& choice = view.rows[3];
  const PanelRow& level = view.rows[4];

  // Two-line address on the first row, none below it with the same read address.
  EXPECT_EQ(mode.regAddr, "01/\r\n81");
  EXPECT_FALSE(mode.regAddrVisible);  // three-wire Microwire
  EXPECT_EQ(flag.regAddr, "");
  EXPECT_EQ(mode.regAttr, "R/W");
  EXPECT_EQ(flag.regAttr, "R");

  // The register byte, grey and locked for `textbox` "disable" on three-wire.
  EXPECT_TRUE(mode.regValueVisible);
  EXPECT_EQ(mode.regValue, "51");
  EXPECT_EQ(mode.regValueTextColour, kReadOnlyText);
  EXPECT_TRUE(mode.regValueLocked);
  EXPECT_FALSE(flag.regValueVisible);

  // Bit 6:4 lights cells for bits 6, 5, 4; the first row shows every bit,
  // the others only their own.
  std::string lit;
  std::string captions;
  for (const BitCell& cell : mode.bits) {
    lit += cell.inField ? '1' : '0';
    captions += cell.caption;
    EXPECT_EQ(cell.backColour, cell.inField ? kPanelWhite : kPanelBlack);
    EXPECT_EQ(cell.textColour, cell.inField ? kReadOnlyText : kOutOfFieldText);
  }
  EXPECT_EQ(lit, "01110000");
  EXPECT_EQ(captions, "01010001");
  EXPECT_EQ(flag.bits[7].caption, "1");
  EXPECT_TRUE(flag.bits[7].inField);
  EXPECT_EQ(flag.bits[6].caption, "");

  // A scaled value box is widened to its longest value, units move along.
  EXPECT_EQ(temp.bitValue, "-32.00");  // 0x10 halves
  EXPECT_EQ(temp.bitValueTextColour, kPanelBlack);
  EXPECT_EQ(temp.bitValueMaxLength, 6);  // "-40.00"
  EXPECT_EQ(temp.bitValueWidth, 1200);
  EXPECT_EQ(temp.unitsLeft, kUnitsLeftTwips + 1200 - kBitValueWidthTwips);

  // Choices with their item data; `timerlock` locks while reading continuously.
  ASSERT_EQ(choice.comboItems.size(), 2u);
  EXPECT_EQ(choice.comboItems[1].value, 2);
  EXPECT_EQ(choice.comboIndex, 1);
  EXPECT_TRUE(choice.comboLocked);

  // A read-only scroll bar over its raw range.
  EXPECT_EQ((std::vector<int>{level.scrollMin, level.scrollMax, level.scrollLargeChange,
                              level.scrollValue}),
            (std::vector<int>{0, 1023, 5, 3}));
  EXPECT_FALSE(level.bitValueVisible);
  // (The rows above are gone once the page is refreshed again.)
  EXPECT_FALSE(model.Refresh(0, 0, false).rows[3].comboLocked);
}

// A page's text columns fit the address heading and captions (line by line),
// its longest label and drop-down entry, never narrower than drawn nor more
// than twice as wide.
TEST(PanelColumns, FitThePagesLongestLabelAndEntry) {
  const auto width = [](std::string_view text) { return 100 * static_cast<int>(text.size()); };
  const struct {
    const char* name;
    std::vector<std::string> labels;
    std::vector<std::string> entries;  // of the first row's drop-down
    std::string address;               // of the first row
    int regAddrWidth;
    int regNameWidth;
    int bitComboWidth;
  } cases[] = {
      {"the drawn widths, the heading", {"Mode"}, {"On", "Off"}, "06", 300, 2112, 2112},
      {"the longest label", {"Mode", std::string(25, 'x'), "y"}, {}, "", 300, 2500, 2112},
      {"the longest entry and the chrome", {"Mode"}, {std::string(20, 'z')}, "", 300, 2112, 2300},
      {"the wider line of two addresses", {"Mode"}, {}, "106/\r\n86", 400, 2112, 2112},
      {"at most twice the drawn widths",
       {std::string(300, 'x')},
       {std::string(300, 'z')},
       std::string(300, 'a'),
       504,
       4224,
       4224},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<PanelRow> rows(c.labels.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
      rows[i].regName = c.labels[i];
    }
    rows[0].regAddr = c.address;
    for (const std::string& entry : c.entries) {
      rows[0].comboItems.push_back({entry, 0});
    }
    const PanelColumns columns = FitPanelColumns(rows, width, 300);
    EXPECT_EQ(columns.regAddrWidth, c.regAddrWidth);
    EXPECT_EQ(columns.regNameWidth, c.regNameWidth);
    EXPECT_EQ(columns.bitComboWidth, c.bitComboWidth);
  }
}

TEST_F(Panel, RefreshSaysWhenRowsMustBeLaidOutAgain) {
  LoadText(Register(0, 16) +
           ">register title=H >>bitfield label=Shown addr=01 bit=0 value=0 >>bitfield "
           "label=Hidden addr=01 bit=1 value=0 >>>hide addr=01 bit=0 value=0");
  ASSERT_TRUE(model.Load("part"));
  EXPECT_TRUE(model.Refresh(0, 0, false).pageChanged);
  EXPECT_FALSE(model.Refresh(0, 0, false).pageChanged);
  EXPECT_EQ(model.Refresh(0, 1, false).rows.size(), 1u);
  EXPECT_TRUE(model.View().pageChanged);
  // A condition that shows another row changes the layout of the same page.
  session.images.valueImage[1] = 1;
  EXPECT_TRUE(model.Refresh(0, 1, false).pageChanged);
  EXPECT_EQ(model.View().rows.size(), 2u);
  EXPECT_TRUE(model.Refresh(5, 0, false).rows.empty());
}

TEST(BusControls, ThreeWireAndNoChipHideTheirControls) {
  // Visibility of the 18 controls, in BusControls order (chip address and
  // register files and plots, then the reading, writing and logging ones),
  // then of the page tabs and the address captions.
  const std::string some = "00000" + std::string(13, '1') + "00";
  const std::pair<std::int16_t, std::string> cases[] = {{kBusI2cUsb, std::string(20, '1')},
                                                        {kBusMicrowire, some},
                                                        {10, some},
                                                        {kBusNoChip, std::string(19, '0') + "1"}};
  for (const auto& [bus, visible] : cases) {
    const BusControls controls = BusControlsFor(bus);
    std::string shown;
    for (const BusControl& control : controls.controls) {
      shown += control.visible ? '1' : '0';
    }
    EXPECT_EQ(shown + char('0' + controls.regTabVisible) + char('0' + controls.regAddrVisible),
              visible)
        << bus;
  }
}

// Rows: 0 Mode (drop-down, 5:4) and 1 Low (3:0) of register 01; 2 the
// write-once register 02; 3 a scaled value box; 4 a signed scroll bar.
constexpr const char* kPart =
    ">register title=Config >>bitfield label=Mode addr=01 bit=5:4 value=0 >>>add type=combo "
    ">>>>combo label=Off >>>>combo label=One >>>>combo label=Two >>>>combo label=Three "
    ">>bitfield label=Low addr=01 bit=3:0 value=0 "
    ">register title=Once writeonce=true >>bitfield label=Once addr=02 bit=7:0 value=0 "
    ">register title=Limit >>bitfield label=Limit addr=03 bit=7:0 value=0 textbox=true units=C "
    "format=0.0 input=0:255 display=0:127.5 "
    ">register title=Gain >>bitfield label=Gain addr=04 bit=7:0 value=0 scrollbar=true format=0 "
    "input=-128:127 display=-128:127";

class PanelEditing : public Panel {
 protected:
  PanelEditing() : edit(session, state, model) {
    session.readAfterWrite = false;
    messages.onRefreshPanel = [this] { model.Refresh(0, 0, false); };
    Restart();
  }
  // The part opened afresh on a chip holding 0F 00 00 00, nothing staged.
  void Restart() {
    Part(kPart);
    ASSERT_TRUE(model.Load("test"));
    library.chip = {{1, 0x0F}, {2, 0x00}, {3, 0x00}, {4, 0x00}};
    ASSERT_TRUE(engine::ReadUnmodified(session));
    state = engine::EditState{};
    model.Refresh(0, 0, false);
    library.calls.clear();
  }

  std::string Calls() const { return engine::testing::CallsText(library); }
  const PanelRow& Row(int r) const { return model.View().rows[static_cast<std::size_t>(r)]; }

  engine::EditState state;
  PanelEdit edit;
};

TEST_F(PanelEditing, KeystrokesStageAndOnlyTheCommitWrites) {
  state.writeNow = true;
  EXPECT_EQ(edit.RegValueEdited(0, "g"), "");
  EXPECT_EQ(edit.RegValueEdited(0, "1"), "1");
  EXPECT_EQ(edit.RegValueEdited(0, "1f"), "1F");
  // Half-typed values reach the other rows and the pending marks, never the chip.
  EXPECT_EQ(Calls(), "");
  EXPECT_EQ(Row(0).comboIndex, 1);
  EXPECT_TRUE(Row(0).keepRegValueText);  // the box typed into keeps "1F" as typed
  EXPECT_TRUE(state.writeRegsEnabled);
  EXPECT_FALSE(edit.ConfirmRegValue(0, "", false));  // empty text keeps the focus
  EXPECT_EQ(Calls(), "");
  EXPECT_TRUE(edit.ConfirmRegValue(0, "1F", false));
  EXPECT_EQ(Calls(), "WriteDevice 7 0 2 48 1=1F");
  EXPECT_EQ(Row(0).regValue, "1F");
  EXPECT_FALSE(Row(0).keepRegValueText);

  // A scaled field typed as text: each number staged, the raw byte written at Enter.
  library.calls.clear();
  for (const auto& [typed, shown] : std::vector<std::pair<std::string, std::string>>{
           {"-", "-"}, {".", "."}, {"1e", ""}, {"x", ""}, {"1", "1"}, {"12.5", "12.5"}}) {
    EXPECT_EQ(edit.BitValueEdited(3, typed), shown) << typed;
  }
  EXPECT_EQ(Calls(), "");
  EXPECT_EQ(Row(3).regValue, "19");
  EXPECT_FALSE(edit.ConfirmBitValue(3, "12,5", true));
  EXPECT_TRUE(edit.ConfirmBitValue(3, "12.5", true));
  EXPECT_EQ(Calls(), "WriteDevice 7 0 2 48 3=19");
  EXPECT_EQ(Row(3).bitValue, "12.5");
}

TEST_F(PanelEditing, ClicksAndChoicesCommitAtOnce) {
  enum Act { Click, ClickThenEnter, Choose, Scroll };
  const struct {
    const char* what;
    bool writeNow;
    Act act;
    int at;     // the bit cell, else the row
    int value;  // the item chosen or the scroll bar's value
    const char* calls;
    int row;            // the first row of the register acted on
    std::uint8_t byte;  // its byte afterwards
  } cases[] = {
      {"bit 0 of Low", true, Click, 8 + 7, 0, "WriteDevice 7 0 2 48 1=0E", 0, 0x0E},
      {"bit 7 outside Low", true, Click, 8 + 0, 0, "", 0, 0x0F},
      {"bit 5 of Mode, unarmed", false, Click, 2, 0, "", 0, 0x2F},
      {"Mode Two in 5:4 of 0F", true, Choose, 0, 2, "WriteDevice 7 0 2 48 1=2F", 0, 0x2F},
      {"write-once waits for Enter", true, Click, 16, 0, "", 2, 0x80},
      {"then Enter", true, ClickThenEnter, 16, 0, "WriteDevice 7 0 2 48 2=80", 2, 0x80},
      {"signed scroll bar at -56", true, Scroll, 4, -56, "WriteDevice 7 0 2 48 4=C8", 4, 0xC8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Restart();
    state.writeNow = c.writeNow;
    if (c.act == Choose) {
      edit.ComboChosen(c.at, c.value);
    } else if (c.act == Scroll) {
      edit.ScrollMoved(c.at, c.value);
    } else {
      edit.BitClicked(c.at);
    }
    if (c.act == ClickThenEnter) {
      edit.ConfirmRegValue(c.row, "80", true);
    }
    EXPECT_EQ(Calls(), c.calls);
    EXPECT_EQ(Row(c.row).byte, c.byte);
  }
}

TEST_F(PanelEditing, ARefreshLeavesTheFocusedRegistersTextsAlone) {
  edit.FocusEntered(1, PanelBox::RegValue);
  model.Refresh(0, 0, true);
  std::vector<bool> kept;
  for (const PanelRow& r : model.View().rows) {
    kept.push_back(r.keepRegValueText && r.keepBitValueText);
  }
  EXPECT_EQ(kept, (std::vector<bool>{true, true, false, false, false}));
  edit.FocusLeft(1, PanelBox::RegValue);
  model.Refresh(0, 0, true);
  EXPECT_FALSE(Row(0).keepRegValueText);
}

}  // namespace
}  // namespace kestrova::frontend
