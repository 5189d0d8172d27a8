#include "definition/walk.hpp"

#include <utility>

#include "definition/numbers.hpp"
#include "definition/schema.hpp"

namespace kestrova::definition {

using markup::MarkupStore;

std::int32_t ByteImageConditionValues::FieldValue(const MarkupStore& store) const {
  const std::int32_t address = HexToLong(ReadAddressPair(store).read);
  const BitRange bits = ReadBitRange(store, "bit");
  if (bits.high < 0 || bits.low < 0) {
    return 0;
  }
  const int hi = bits.high % 8;
  const int lo = bits.low % 8;
  const std::uint32_t byte = byteAt_(address);
  if (hi < lo) {
    return 0;
  }
  return static_cast<std::int32_t>((byte >> lo) & ((1u << (hi - lo + 1)) - 1u));
}

bool ConditionHolds(const MarkupStore& store, const ConditionValues& values) {
  return values.FieldValue(store) == HexToLong(store.GetAttributeView("value"));
}

DefinitionWalk::DefinitionWalk(MarkupStore& store, WalkOptions options)
    : store_(store), options_(std::move(options)) {}

bool DefinitionWalk::PositionOnPart() {
  return store_.FindElement(0, "definition") && store_.FindElement(1, "part");
}

bool DefinitionWalk::IsHidden(MarkupStore& store, int childLevel, const ConditionValues& values) {
  const int owner = store.XmlFileIndex();
  bool hidden = false;
  if (store.FindElement(childLevel, "hide")) {
    const bool holds = ConditionHolds(store, values);
    hidden = store.GetAttributeView("not") == "true" ? !holds : holds;
  }
  store.SetXmlFileIndex(owner);
  return hidden;
}

bool DefinitionWalk::FindNextRegister() {
  while (store_.FindElement(2, "register")) {
    if (!options_.usbLink && store_.GetAttributeView("usb") == "true") {
      continue;
    }
    if (options_.applyHiding && options_.values != nullptr &&
        IsHidden(store_, 3, *options_.values)) {
      continue;
    }
    const std::string_view group = store_.GetAttributeView("grouptabname");
    if (!group.empty()) {
      groupAddrMask_ = kDefaultGroupAddrMask;
      if (const auto mask = ParseHex(store_.GetAttributeView("groupaddrmask"))) {
        groupAddrMask_ = *mask;
      }
      if (options_.onGroup) {
        const std::string name(group);  // a copy: the hook may change the store
        const int cursor = store_.XmlFileIndex();
        options_.onGroup(name);
        store_.SetXmlFileIndex(cursor);
      }
    }
    return true;
  }
  return false;
}

bool DefinitionWalk::FindNextBitfield() {
  while (store_.FindElement(3, "bitfield")) {
    if (options_.applyHiding && options_.values != nullptr &&
        IsHidden(store_, 4, *options_.values)) {
      continue;
    }
    return true;
  }
  return false;
}

}  // namespace kestrova::definition
