#include "emulator/part_chip.hpp"

#include <algorithm>

#include "definition/numbers.hpp"
#include "definition/schema.hpp"
#include "definition/walk.hpp"
#include "markup/markup_store.hpp"

namespace kestrova::emulator {
namespace {

using definition::Access;
using definition::RegBit;
using markup::MarkupStore;

constexpr int32_t kBoardRegisterBase = 0x400;
constexpr std::string_view kDegreesCelsius =
    "\xB0"
    "C";

std::string Where(const std::string& path, const MarkupStore& store) {
  return path + ":" + std::to_string(store.SourceLine(store.XmlFileIndex())) + ": ";
}

uint8_t Mask(int high, int low) {
  const int hi = std::max(high, low) % 8;
  const int lo = std::min(high, low) % 8;
  return static_cast<uint8_t>(((1u << (hi + 1)) - 1) & ~((1u << lo) - 1));
}

void ReadLinks(MarkupStore& store, PartChip& part) {
  store.PushIndex();
  if (store.FindElement(2, "interface")) {
    part.interfaceType = definition::LowerCase(definition::ReadInterface(store).type);
    if (store.FindElement(3, "addr")) {
      const auto value = definition::ReadChipAddress(store).value;
      if (value && *value >= 0 && *value <= 0xFF) {
        part.defaultAddress = static_cast<uint8_t>(*value);
      }
    }
  }
  store.PopIndex();
  store.PushIndex();
  if (store.FindElement(2, "driver")) {
    while (store.FindElement(3, "add")) {
      const definition::DriverEntry entry = definition::ReadDriverEntry(store);
      if (entry.type == "usb" && entry.vid && entry.pid && !part.usbIdentity) {
        part.usbIdentity =
            BoardIdentity{static_cast<uint16_t>(*entry.vid), static_cast<uint16_t>(*entry.pid)};
      }
    }
  }
  store.PopIndex();
}

// Depths of a register's `add` elements and of their conditions.
constexpr int kRegisterAddLevel = 3;
constexpr int kAddConditionLevel = 4;

// The `add` elements of type "display" of the register at the cursor: the
// ranges the chip switches to when its configuration bits say so. An
// alternative names its input or display range, or both; what it leaves out
// stays the register's own.
void ReadRangeAlternatives(MarkupStore& store, const definition::BitfieldInfo& format,
                           TemperatureRegister& temperature) {
  store.PushIndex();
  while (store.FindElement(kRegisterAddLevel, "add")) {
    if (store.GetAttributeView("type") != "display") {
      continue;
    }
    const definition::DisplayAlternative ranges = definition::ReadDisplayAlternative(store);
    const definition::RealRange input = ranges.input.present ? ranges.input : format.input;
    const definition::RealRange display = ranges.display.present ? ranges.display : format.display;
    TemperatureRange alternative =
        TemperatureRegister::RangeFor(input.first, input.second, display.first, display.second);
    store.PushIndex();
    while (store.FindElement(kAddConditionLevel, "display")) {
      const definition::ConditionInfo condition = definition::ReadCondition(store);
      const auto address = definition::ParseHex(condition.addr.read);
      ByteCondition byte;
      const int low = std::min(condition.bit.high, condition.bit.low) % 8;
      const uint8_t mask = Mask(condition.bit.high, condition.bit.low);
      const int64_t placed = static_cast<int64_t>(condition.value.value_or(0)) << low;
      if (address && *address >= 0 && *address <= 0xFFFF && (placed & ~int64_t{mask}) == 0) {
        byte = {static_cast<uint16_t>(*address), mask, static_cast<uint8_t>(placed)};
      } else {
        byte = {0, 0, 1};  // a value the field cannot hold: never applies
      }
      alternative.conditions.push_back(byte);
    }
    store.PopIndex();
    temperature.alternatives.push_back(std::move(alternative));
  }
  store.PopIndex();
}

// One register's fields; returns the register's temperature when it is one.
void ReadRegisterFields(MarkupStore& store, definition::DefinitionWalk& walk,
                        const std::string& path, PartChip& part) {
  const definition::RegisterInfo info = definition::ReadRegister(store);
  const definition::BitfieldInfo format = definition::ReadBitfield(store);
  const bool degrees = format.units == kDegreesCelsius;
  bool valueBitsReadOnly = true;
  TemperatureRegister temperature;
  if (format.input.present && format.display.present) {
    temperature = TemperatureRegister::FromRanges(format.input.first, format.input.second,
                                                  format.display.first, format.display.second);
  }

  store.PushIndex();
  while (walk.FindNextBitfield()) {
    const definition::BitfieldInfo field = definition::ReadBitfield(store);
    const auto read = definition::ParseHex(field.addr.read);
    const auto write = definition::ParseHex(field.addr.write);
    if (!read || !write || *read < 0 || *write < 0) {
      part.warnings.push_back(Where(path, store) + "bit field without a hexadecimal addr");
      continue;
    }
    const int32_t value = field.value.value_or(0);
    const bool writable = field.access != Access::kRead;
    if (*read >= kBoardRegisterBase) {
      if (*read <= 0xFFFF) {
        const uint8_t mask = Mask(field.bit.high, field.bit.low);
        const int low = std::min(field.bit.high, field.bit.low) % 8;
        auto it = std::find_if(part.boardRegisters.begin(), part.boardRegisters.end(),
                               [&](const auto& entry) { return entry.first == *read; });
        if (it == part.boardRegisters.end()) {
          part.boardRegisters.emplace_back(static_cast<uint16_t>(*read), 0);
          it = part.boardRegisters.end() - 1;
        }
        it->second = static_cast<uint8_t>((it->second & ~mask) | ((value << low) & mask));
      }
      continue;
    }
    part.chip->DefineField(static_cast<uint16_t>(*read), static_cast<uint16_t>(*write),
                           field.bit.high, field.bit.low, static_cast<uint32_t>(value), writable);
    if (field.regBit.kind == RegBit::Kind::kRange) {
      valueBitsReadOnly = valueBitsReadOnly && !writable;
      const int rawLow = std::min(field.regBit.range.high, field.regBit.range.low);
      const int rawHigh = std::max(field.regBit.range.high, field.regBit.range.low);
      const int byteLow = std::min(field.bit.high, field.bit.low) % 8;
      const int width = std::min(rawHigh - rawLow + 1, 8 - byteLow);
      if (rawLow >= 0 && width > 0) {
        temperature.fields.push_back({static_cast<uint16_t>(*read), rawLow, width, byteLow});
      }
    }
  }
  store.PopIndex();

  if (info.log && degrees && format.input.present && format.display.present && valueBitsReadOnly &&
      !temperature.fields.empty()) {
    ReadRangeAlternatives(store, format, temperature);
    part.temperatures.push_back({info.title, std::move(temperature)});
  }
}

}  // namespace

std::optional<PartChip> LoadPartChip(const std::string& path, std::string* error) {
  MarkupStore store;
  store.SetRetryWait([](std::chrono::milliseconds) {});
  if (!store.LoadMarkupFile(path)) {
    if (error != nullptr) {
      *error = "cannot read part definition " + path + ": " + store.LastError();
    }
    return std::nullopt;
  }
  definition::WalkOptions options;
  options.usbLink = true;
  definition::DefinitionWalk walk(store, options);
  if (!walk.PositionOnPart()) {
    if (error != nullptr) {
      *error = path + ": no part element";
    }
    return std::nullopt;
  }
  PartChip part;
  part.label = definition::ReadPart(store).label;
  part.chip = std::make_shared<RegisterChip>(part.label);
  ReadLinks(store, part);
  while (walk.FindNextRegister()) {
    ReadRegisterFields(store, walk, path, part);
  }
  return part;
}

}  // namespace kestrova::emulator
