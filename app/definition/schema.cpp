#include "definition/schema.hpp"

#include <algorithm>
#include <cmath>

#include "definition/numbers.hpp"

namespace kestrova::definition {

using markup::MarkupStore;

namespace {

// Bit numbers are small; anything else from a malformed text is held in range.
int BitNumber(std::string_view text) {
  const double value = std::clamp(LeadingNumber(text), -32768.0, 32767.0);
  return static_cast<int>(std::lround(value));
}

}  // namespace

std::optional<int> ParseTransferOrder(std::string_view text) {
  constexpr double kMaxOrder = 255;
  const double order = LeadingNumber(text);
  if (!HasLeadingNumber(text) || order < 1 || order > kMaxOrder || order != std::floor(order)) {
    return std::nullopt;
  }
  return static_cast<int>(order);
}

TextPair SplitPair(const MarkupStore& store, std::string_view name) {
  const std::string text = UpperCase(store.GetAttributeView(name));
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) {
    return {text, text};
  }
  return {text.substr(0, colon), text.substr(colon + 1)};
}

AddressPair ReadAddressPair(const MarkupStore& store) {
  TextPair pair = SplitPair(store, "addr");
  return {std::move(pair.first), std::move(pair.second)};
}

BitRange ReadBitRange(const MarkupStore& store, std::string_view name) {
  const TextPair pair = SplitPair(store, name);
  return {BitNumber(pair.first), BitNumber(pair.second)};
}

RegBit ReadRegBit(const MarkupStore& store) {
  RegBit regBit;
  const std::string_view text = store.GetAttributeView("regbit");
  if (text.empty()) {
    return regBit;
  }
  if (UpperCase(text) == "NONE") {
    regBit.kind = RegBit::Kind::kNone;
    return regBit;
  }
  regBit.kind = RegBit::Kind::kRange;
  regBit.range = ReadBitRange(store, "regbit");
  return regBit;
}

RealRange ReadRealRange(const MarkupStore& store, std::string_view name) {
  RealRange range;
  if (store.GetAttributeView(name).empty()) {
    return range;
  }
  const TextPair pair = SplitPair(store, name);
  range.present = true;
  range.first = LeadingNumber(pair.first);
  range.second = LeadingNumber(pair.second);
  return range;
}

bool ReadFlag(const MarkupStore& store, std::string_view name) {
  return store.GetAttributeView(name) == "true";
}

std::optional<std::int32_t> ReadHex(const MarkupStore& store, std::string_view name) {
  return ParseHex(store.GetAttributeView(name));
}

std::optional<double> ReadDecimal(const MarkupStore& store, std::string_view name) {
  const std::string_view text = store.GetAttributeView(name);
  if (text.empty()) {
    return std::nullopt;
  }
  return LeadingNumber(text);
}

Access ParseAccess(std::string_view text) {
  if (text == "R") {
    return Access::kRead;
  }
  if (text == "W") {
    return Access::kWrite;
  }
  return Access::kReadWrite;
}

std::string_view AccessText(Access access) {
  switch (access) {
    case Access::kRead:
      return "R";
    case Access::kWrite:
      return "W";
    case Access::kReadWrite:
      break;
  }
  return "R/W";
}

PartInfo ReadPart(const MarkupStore& store) {
  return {store.GetAttribute("label")};
}

DriverEntry ReadDriverEntry(const MarkupStore& store) {
  DriverEntry entry;
  entry.type = LowerCase(store.GetAttributeView("type"));
  entry.label = store.GetAttribute("label");
  entry.driver = store.GetAttribute("driver");
  if (entry.driver.empty()) {
    if (entry.type == "usb") {
      entry.driver = "dravik";
    } else if (entry.type == "ich") {
      entry.driver = "dravik_i2c";
    }
  }
  entry.vid = ReadHex(store, "vid");
  entry.pid = ReadHex(store, "pid");
  if (const auto port = ParseDecimal(store.GetAttributeView("Part"))) {
    entry.port = static_cast<int>(std::lround(std::clamp(*port, -32768.0, 32767.0)));
  }
  return entry;
}

PortSetting ReadPortSetting(const MarkupStore& store) {
  return {ReadHex(store, "addr"), ReadHex(store, "value")};
}

InterfaceInfo ReadInterface(const MarkupStore& store) {
  return {store.GetAttribute("type")};
}

ChipAddress ReadChipAddress(const MarkupStore& store) {
  return {ReadHex(store, "value"), store.GetAttribute("label")};
}

RegisterInfo ReadRegister(const MarkupStore& store) {
  RegisterInfo info;
  info.groupTabName = store.GetAttribute("grouptabname");
  if (!info.groupTabName.empty()) {
    info.groupAddrMask = ReadHex(store, "groupaddrmask").value_or(0xFF);
  }
  info.usb = ReadFlag(store, "usb");
  info.writeOnStartup = ReadFlag(store, "writeonstartup");
  info.readAfterWriteOnStartup = ReadFlag(store, "readafterwriteonstartup");
  info.log = ReadFlag(store, "log");
  info.title = store.GetAttribute("title");
  info.updateReg = store.GetAttribute("updatereg");
  info.writeOnce = ReadFlag(store, "writeonce");
  info.verify = ReadFlag(store, "verify");
  const std::string_view textbox = store.GetAttributeView("textbox");
  if (textbox == "true") {
    info.textbox = RegisterTextbox::kTrue;
  } else if (textbox == "disable") {
    info.textbox = RegisterTextbox::kDisable;
  }
  info.scrollbar = ReadFlag(store, "scrollbar");
  return info;
}

BitfieldInfo ReadBitfield(const MarkupStore& store) {
  BitfieldInfo info;
  info.label = store.GetAttribute("label");
  info.addr = ReadAddressPair(store);
  info.bit = ReadBitRange(store, "bit");
  info.regBit = ReadRegBit(store);
  info.access = ParseAccess(store.GetAttributeView("attr"));
  info.value = ReadHex(store, "value");
  info.checkValue = ReadHex(store, "checkvalue");
  info.visible = store.GetAttributeView("visible") != "false";
  info.textbox = ReadFlag(store, "textbox");
  info.scrollbar = ReadFlag(store, "scrollbar");
  info.units = store.GetAttribute("units");
  info.format = store.GetAttribute("format");
  info.input = ReadRealRange(store, "input");
  info.display = ReadRealRange(store, "display");
  info.displayDivReg = ReadHex(store, "displaydivreg");
  info.displayRegMin = ReadDecimal(store, "displayregmin");
  info.displayMax = ReadDecimal(store, "displaymax");
  info.displayAddr = store.GetAttribute("displayaddr");
  return info;
}

ConditionInfo ReadCondition(const MarkupStore& store) {
  ConditionInfo info;
  info.addr = ReadAddressPair(store);
  info.bit = ReadBitRange(store, "bit");
  info.regBit = ReadRegBit(store);
  info.value = ReadHex(store, "value");
  info.negate = ReadFlag(store, "not");
  return info;
}

ComboList ReadComboList(const MarkupStore& store) {
  return {ReadFlag(store, "timerlock")};
}

ComboChoice ReadComboChoice(const MarkupStore& store) {
  return {store.GetAttribute("label"), ReadHex(store, "value")};
}

AttrRule ReadAttrRule(const MarkupStore& store) {
  return {ParseAccess(store.GetAttributeView("attr"))};
}

DisplayAlternative ReadDisplayAlternative(const MarkupStore& store) {
  return {ReadRealRange(store, "input"), ReadRealRange(store, "display")};
}

UpdateRegRule ReadUpdateRegRule(const MarkupStore& store) {
  return {ReadHex(store, "addr"), store.GetAttribute("type"), ReadHex(store, "value")};
}

OrderRule ReadOrderRule(const MarkupStore& store) {
  OrderRule rule;
  rule.type = store.GetAttribute("type");
  rule.valueText = store.GetAttribute("value");
  rule.value = ParseHex(rule.valueText);
  rule.always = ReadFlag(store, "always");
  rule.order = store.GetAttribute("order");
  return rule;
}

}  // namespace kestrova::definition
