#include "frontend/panel_view.hpp"

#include <algorithm>
#include <cmath>

#include "definition/numbers.hpp"
#include "engine/session.hpp"

namespace kestrova::frontend {

namespace {

constexpr int kTwipsPerCharacter = 120;

// Bus codes of three-wire Microwire (board or no hardware) and of "nochip".
constexpr std::int16_t kBusMicrowire = 1;
constexpr std::int16_t kBusMicrowireNoHardware = 10;
constexpr std::int16_t kBusNoChip = 13;

// Hidden for three-wire Microwire and for "nochip".
constexpr std::array<std::string_view, 5> kHiddenWithoutAddress = {
    "IfaceAddrCombo", "IfaceAddr", "OpenReg", "SaveReg", "SelectPlot"};
// Hidden for "nochip" only.
constexpr std::array<std::string_view, 13> kHiddenWithoutChip = {
    "FileLabel",     "PlotData", "LogData",  "ReadReg",        "ReadContLabel",
    "ReadContCombo", "WriteReg", "WriteNow", "ReadAfterWrite", "SetReadTime",
    "SetLogLimit",   "ViewLog",  "Manual"};

int ToInt(double value) {
  return static_cast<int>(std::clamp(std::lround(value), -0x7FFFFFFFL, 0x7FFFFFFFL));
}

}  // namespace

BusControls BusControlsFor(std::int16_t busType) {
  BusControls bus;
  bus.threeWire = busType == kBusMicrowire || busType == kBusMicrowireNoHardware;
  bus.noChip = busType == kBusNoChip;
  bus.regTabVisible = !bus.threeWire && !bus.noChip;
  bus.regAddrVisible = !bus.threeWire;
  for (const std::string_view name : kHiddenWithoutAddress) {
    bus.controls.push_back({name, !bus.threeWire && !bus.noChip});
  }
  for (const std::string_view name : kHiddenWithoutChip) {
    bus.controls.push_back({name, !bus.noChip});
  }
  return bus;
}

PanelModel::PanelModel(engine::Session& session)
    : session_(session), textWidth_([](std::string_view text) {
        return static_cast<int>(text.size()) * kTwipsPerCharacter;
      }) {}

bool PanelModel::Load(std::string_view fileLabel) {
  PanelPagesResult result = BuildPanelPages(session_, fileLabel);
  problem_ = std::move(result.problem);
  pages_ = problem_.empty() ? std::move(result.pages) : PanelPages{{PanelGroup{}}};
  view_ = PanelView{};
  return problem_.empty();
}

PanelRow PanelModel::MakeRow(const engine::RegisterRow& reg, const engine::FieldRow& field,
                             bool firstOfRegister, const BusControls& bus,
                             bool continuousActive) const {
  PanelRow row;
  row.registerLine = reg.line;
  row.fieldLine = field.fieldLine;
  row.firstOfRegister = firstOfRegister;
  row.readAddress = field.readAddress;
  row.byte = field.byte;
  row.regAddr = firstOfRegister ? field.addressCaption : std::string();
  row.regAddrVisible = bus.regAddrVisible;
  row.regAttr = field.accessText;
  row.regName = field.label;

  if (firstOfRegister) {
    row.regValueVisible = true;
    row.regValue = definition::Hex2(field.byte);
    row.regValueTextColour = reg.textboxDisabled ? kReadOnlyText : kPanelBlack;
    row.regValueLocked = reg.textboxDisabled && bus.threeWire;
  }

  // A read-only field, or one without a text box, shows grey numbers.
  const bool greyValue = field.readOnly || !field.textBox;
  if (field.textBox) {
    row.bitValueVisible = true;
    row.bitValue = field.displayText;
    row.bitValueTextColour = greyValue ? kReadOnlyText : kPanelBlack;
    row.bitValueLocked = greyValue && bus.threeWire;
    row.bitValueHex = field.format.format == "hex";
    row.unitsVisible = true;
    row.units = field.units;
    row.unitsTextColour = row.bitValueTextColour;
    if (!engine::IsRawFormat(field.format.format) && !field.scrollBar) {
      const std::string low = engine::FormatDisplayText(field.format, ToInt(field.format.inMin));
      const std::string high = engine::FormatDisplayText(field.format, ToInt(field.format.inMax));
      const std::string& longer = high.size() > low.size() ? high : low;
      const int width = std::max(kBitValueWidthTwips, textWidth_(longer));
      row.bitValueWidth = width;
      row.unitsLeft = kUnitsLeftTwips + (width - kBitValueWidthTwips);
      row.bitValueMaxLength = static_cast<int>(longer.size());
    }
  }

  if (field.control == engine::FieldControl::Combo) {
    row.comboVisible = true;
    row.comboItems = field.choices;
    row.comboIndex = engine::ComboIndex(field.choices, field.raw);
    row.comboTextColour = field.readOnly ? kReadOnlyText : kPanelBlack;
    row.comboLocked = field.readOnly || (field.timerLock && continuousActive);
  }

  if (field.scrollBar) {
    row.scrollVisible = true;
    row.scrollMin = ToInt(field.format.inMin);
    row.scrollMax = ToInt(field.format.inMax);
    row.scrollLargeChange = (row.scrollMax - row.scrollMin + 1) / 256 + 1;
    row.scrollValue =
        std::clamp(ToInt(engine::ClampRaw(field.format, static_cast<double>(field.raw))),
                   row.scrollMin, row.scrollMax);
  }

  const bool greyBits = field.accessText == "R" || reg.textboxDisabled;
  for (int k = 0; k < 8; ++k) {
    BitCell& cell = row.bits[static_cast<std::size_t>(7 - k)];
    cell.inField = k >= field.bitLow && k <= field.bitHigh;
    if (cell.inField) {
      cell.backColour = kPanelWhite;
      cell.textColour = greyBits ? kReadOnlyText : kPanelBlack;
    } else {
      cell.backColour = kPanelBlack;
      cell.textColour = kOutOfFieldText;
    }
    // The first row shows the whole byte; the other rows only their own
    // bits, so a flag without a value box still shows its state.
    if (firstOfRegister || cell.inField) {
      cell.caption.assign(1, ((field.byte >> k) & 1) != 0 ? '1' : '0');
    }
  }
  return row;
}

const PanelView& PanelModel::Refresh(int group, int page, bool continuousActive) {
  std::vector<PanelRow> rows;
  if (group >= 0 && group < static_cast<int>(pages_.groups.size())) {
    const PanelGroup& g = pages_.groups[static_cast<std::size_t>(group)];
    if (page >= 0 && page < static_cast<int>(g.pages.size())) {
      const BusControls bus = BusControlsFor(session_.connection.busType);
      const std::vector<engine::RegisterRow> registers =
          engine::BuildRegisterView(session_, g.pages[static_cast<std::size_t>(page)].registers);
      for (const engine::RegisterRow& reg : registers) {
        if (reg.hidden) {
          continue;
        }
        for (const engine::FieldRow& field : reg.fields) {
          if (!field.visible || field.hidden || rows.size() >= kPanelRows) {
            continue;
          }
          rows.push_back(MakeRow(reg, field, field.showsAddress, bus, continuousActive));
          PanelRow& row = rows.back();
          const bool focused = row.registerLine == kept_.focusedRegister;
          const bool typing = static_cast<int>(rows.size()) - 1 == kept_.typingRow;
          row.keepRegValueText = focused || (typing && !kept_.typingBitValue);
          row.keepBitValueText = focused || (typing && kept_.typingBitValue);
        }
      }
    }
  }
  bool changed = group != view_.group || page != view_.page || rows.size() != view_.rows.size();
  for (std::size_t i = 0; !changed && i < rows.size(); ++i) {
    changed = rows[i].fieldLine != view_.rows[i].fieldLine;
  }
  view_.group = group;
  view_.page = page;
  view_.pageChanged = changed;
  view_.rows = std::move(rows);
  if (changed) {
    view_.columns = FitPanelColumns(view_.rows, textWidth_, comboChrome_);
  }
  return view_;
}

}  // namespace kestrova::frontend
