#include "engine/register_view.hpp"

#include <algorithm>
#include <cmath>

#include "definition/numbers.hpp"
#include "definition/schema.hpp"
#include "definition/walk.hpp"
#include "engine/access.hpp"
#include "engine/element_formats.hpp"
#include "engine/field_bits.hpp"
#include "engine/session.hpp"
#include "markup/markup_store.hpp"

namespace kestrova::engine {

namespace {

using definition::HexToLong;

// Depths below a bit field.
constexpr int kFieldAddLevel = 4;
constexpr int kComboLevel = 5;
// Depth of the `hide` child of a register and of a bit field.
constexpr int kRegisterHideLevel = 3;
constexpr int kFieldHideLevel = 4;

struct ComboList {
  bool present = false;
  bool timerLock = false;
  std::vector<ComboItem> items;
};

ComboList ReadCombo(markup::MarkupStore& store) {
  ComboList list;
  const int fieldLine = store.XmlFileIndex();
  while (store.FindElement(kFieldAddLevel, "add")) {
    if (store.GetAttributeView("type") != "combo") {
      continue;
    }
    list.present = true;
    list.timerLock = definition::ReadComboList(store).timerLock;
    std::int64_t position = 0;
    while (store.FindElement(kComboLevel, "combo")) {
      const definition::ComboChoice choice = definition::ReadComboChoice(store);
      list.items.push_back({choice.label, choice.value ? *choice.value : position});
      ++position;
    }
    break;
  }
  store.SetXmlFileIndex(fieldLine);
  return list;
}

bool UsableScaledFormat(const FormatSpec& spec) {
  return std::isfinite(spec.inMin) && std::isfinite(spec.inMax) && std::isfinite(spec.dispMin) &&
         std::isfinite(spec.dispMax) && spec.inMax != spec.inMin && spec.dispMax != spec.dispMin &&
         (!spec.inverted || (spec.inMin > 0 && spec.dispMin > 0));
}

int FieldWidth(int high, int low) {
  return high >= low ? high - low + 1 : 0;
}

}  // namespace

std::string FormatDisplayText(const FormatSpec& spec, std::int64_t raw) {
  if (IsRawFormat(spec.format) || UsableScaledFormat(spec)) {
    return RawToDisplayText(spec, static_cast<double>(raw));
  }
  return definition::Hex2(static_cast<std::uint32_t>(raw)) + "h";
}

double FormatDisplayValue(const FormatSpec& spec, std::int64_t raw) {
  if (!IsRawFormat(spec.format) && UsableScaledFormat(spec)) {
    return RawToDisplayValue(spec, static_cast<double>(raw));
  }
  return static_cast<double>(raw);
}

std::string BitsText(std::int64_t value, int width) {
  std::string text = "0b";
  for (int bit = width - 1; bit >= 0; --bit) {
    text += ((value >> bit) & 1) != 0 ? '1' : '0';
  }
  return text;
}

int ComboIndex(const std::vector<ComboItem>& choices, std::int64_t value) {
  // Items need not be in the order of their values: an exact one wins.
  int notAbove = -1;
  for (int i = static_cast<int>(choices.size()) - 1; i >= 0; --i) {
    const std::int64_t itemValue = choices[static_cast<std::size_t>(i)].value;
    if (itemValue == value) {
      return i;
    }
    if (itemValue < value && notAbove < 0) {
      notAbove = i;
    }
  }
  return notAbove;
}

std::string ComboText(const std::vector<ComboItem>& choices, std::int64_t value) {
  const int index = ComboIndex(choices, value);
  return index < 0 ? std::string() : choices[static_cast<std::size_t>(index)].label;
}

std::int64_t RegisterValueFromFields(Session& session, int registerLine) {
  markup::MarkupStore& store = session.Store();
  const int saved = store.XmlFileIndex();
  store.SetXmlFileIndex(registerLine);
  std::int64_t value = 0;
  while (store.FindElement(3, "bitfield")) {
    value += PlaceField(store, HexToLong(store.GetAttributeView("value")), false);
  }
  store.SetXmlFileIndex(saved);
  return value;
}

namespace {

std::vector<RegisterRow> BuildRows(Session& session, const RegisterRange* range) {
  markup::MarkupStore& store = session.Store();
  const int saved = store.XmlFileIndex();
  const RegisterImages& images = session.images;
  const definition::ByteImageConditionValues conditions(
      [&images](std::int32_t address) { return images.ValueAt(address); });

  std::vector<RegisterRow> registers;
  definition::WalkOptions options;
  options.usbLink = session.connection.link == kLinkUsb;
  definition::DefinitionWalk walk(store, options);
  std::string group;
  std::int32_t groupAddrMask = definition::kDefaultGroupAddrMask;
  std::int32_t previousShownAddress = -1;
  bool anyShown = false;
  bool positioned = false;
  if (range != nullptr) {
    // Straight to the run's first register: the walk looks from the next line on.
    group = range->group;
    groupAddrMask = range->groupAddrMask;
    positioned = range->firstLine >= 1 && range->firstLine <= store.LineCount();
    if (positioned) {
      store.SetXmlFileIndex(range->firstLine - 1);
    }
  } else {
    store.SetXmlFileIndex(0);
    positioned = walk.PositionOnPart();
  }
  if (positioned) {
    while (walk.FindNextRegister()) {
      RegisterRow reg;
      reg.line = store.XmlFileIndex();
      if (range != nullptr && reg.line > range->lastLine) {
        break;
      }
      const definition::RegisterInfo info = definition::ReadRegister(store);
      if (!info.groupTabName.empty()) {
        group = info.groupTabName;
        groupAddrMask = walk.GroupAddrMask();
      }
      reg.group = group;
      reg.groupAddrMask = groupAddrMask;
      reg.title = info.title;
      reg.log = info.log;
      reg.writeOnce = info.writeOnce;
      reg.textboxDisabled = info.textbox == definition::RegisterTextbox::kDisable;
      reg.hidden = definition::DefinitionWalk::IsHidden(store, kRegisterHideLevel, conditions);
      const bool registerEdits =
          info.textbox == definition::RegisterTextbox::kTrue || info.scrollbar;
      const FormatSpec registerFormat = GetRegisterFormat(store, images);
      reg.units = store.GetAttribute("units");
      reg.format = registerFormat;
      bool firstShownRow = true;

      while (walk.FindNextBitfield()) {
        FieldRow row;
        row.registerLine = reg.line;
        row.fieldLine = store.XmlFileIndex();
        const definition::BitfieldInfo field = definition::ReadBitfield(store);
        row.label = field.label;
        row.readAddress = HexToLong(field.addr.read);
        row.writeAddress = HexToLong(field.addr.write);
        row.addressCaption = AddressCaption(store, reg.groupAddrMask, true);
        row.readAddressCaption = AddressCaption(store, reg.groupAddrMask, false);
        const Access access = GetAccess(session);
        row.accessText = access.text;
        row.readable = access.readable;
        row.writable = access.writable;
        row.readOnly = access.text == "R";
        row.visible = field.visible;
        row.hidden =
            reg.hidden || definition::DefinitionWalk::IsHidden(store, kFieldHideLevel, conditions);
        const FieldBits byteBits = FieldBitsAt(store, true);
        const FieldBits registerBits = FieldBitsAt(store, false);
        row.bitHigh = byteBits.hi;
        row.bitLow = byteBits.lo;
        row.registerBitHigh = registerBits.hi;
        row.registerBitLow = registerBits.lo;
        row.noRegisterBits = registerBits.none;
        const std::int64_t fieldValue = HexToLong(store.GetAttributeView("value"));

        // The register byte this field lives in, from every field of the
        // register at the same address.
        auto at = std::find(reg.addresses.begin(), reg.addresses.end(), row.readAddress);
        if (at == reg.addresses.end()) {
          reg.addresses.push_back(row.readAddress);
          reg.bytes.push_back(0);
          at = reg.addresses.end() - 1;
        }
        auto& byte = reg.bytes[static_cast<std::size_t>(at - reg.addresses.begin())];
        byte = static_cast<std::uint8_t>(byte + PlaceField(fieldValue, byteBits));
        reg.value += PlaceField(fieldValue, registerBits);
        if (reg.fields.empty()) {
          reg.addressCaption = row.addressCaption;
        }

        const bool shown = row.visible && !row.hidden;
        const ComboList combo = ReadCombo(store);
        row.timerLock = combo.timerLock;
        if (shown && firstShownRow && registerEdits) {
          row.editsRegister = true;
          row.control = info.textbox == definition::RegisterTextbox::kTrue
                            ? FieldControl::TextBox
                            : FieldControl::ScrollBar;
          row.format = registerFormat;
          row.units = reg.units;
          row.textBox = info.textbox == definition::RegisterTextbox::kTrue;
          row.scrollBar = info.scrollbar;
        } else if (combo.present) {
          row.control = FieldControl::Combo;
          row.choices = combo.items;
          row.raw = fieldValue;
        } else if (field.textbox || field.scrollbar) {
          row.control = field.textbox ? FieldControl::TextBox : FieldControl::ScrollBar;
          row.format = GetFormat(store, images);
          row.units = field.units;
          row.raw = fieldValue;
          row.textBox = field.textbox;
          row.scrollBar = field.scrollbar;
        } else {
          row.raw = fieldValue;
        }
        if (shown) {
          row.showsAddress = !anyShown || row.readAddress != previousShownAddress;
          previousShownAddress = row.readAddress;
          anyShown = true;
          firstShownRow = false;
        }
        reg.fields.push_back(std::move(row));
      }
      store.SetXmlFileIndex(reg.line);
      reg.displayText = FormatDisplayText(registerFormat, reg.value);

      // Second pass now that the register value and bytes are complete.
      for (FieldRow& row : reg.fields) {
        const auto at = std::find(reg.addresses.begin(), reg.addresses.end(), row.readAddress);
        row.byte = reg.bytes[static_cast<std::size_t>(at - reg.addresses.begin())];
        switch (row.control) {
          case FieldControl::Combo:
            row.displayText = ComboText(row.choices, row.raw);
            break;
          case FieldControl::TextBox:
          case FieldControl::ScrollBar:
            if (row.editsRegister) {
              row.raw = reg.value;
            }
            row.displayText = FormatDisplayText(row.format, row.raw);
            break;
          case FieldControl::Bits:
            row.displayText = BitsText(row.raw, FieldWidth(row.bitHigh, row.bitLow));
            break;
        }
      }
      registers.push_back(std::move(reg));
    }
  }
  store.SetXmlFileIndex(saved);
  return registers;
}

}  // namespace

std::vector<RegisterRow> BuildRegisterView(Session& session) {
  return BuildRows(session, nullptr);
}

std::vector<RegisterRow> BuildRegisterView(Session& session, const RegisterRange& range) {
  return BuildRows(session, &range);
}

}  // namespace kestrova::engine
