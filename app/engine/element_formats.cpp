#include "engine/element_formats.hpp"

#include <algorithm>
#include <cmath>

#include "definition/numbers.hpp"
#include "definition/schema.hpp"
#include "engine/address_caption.hpp"
#include "engine/field_bits.hpp"
#include "markup/markup_store.hpp"

namespace kestrova::engine {

namespace {

using definition::HexToLong;
using definition::LeadingNumber;
using definition::ReadRealRange;

// Depths of a register's `add` and `bitfield` elements and of the `display` conditions.
constexpr int kRegisterAddLevel = 3;
constexpr int kDisplayConditionLevel = 4;

// Every `display` child of the `add` at the cursor matches the shown bytes.
bool DisplayConditionsHold(markup::MarkupStore& store, const RegisterImages& images) {
  const int addLine = store.XmlFileIndex();
  bool holds = true;
  while (holds && store.FindElement(kDisplayConditionLevel, "display")) {
    const std::int32_t address = HexToLong(ReadAddress(store));
    const std::int64_t field = ExtractField(store, images.ValueAt(address), true);
    holds = field == HexToLong(store.GetAttributeView("value"));
  }
  store.SetXmlFileIndex(addLine);
  return holds;
}

}  // namespace

std::string ReadAddress(const markup::MarkupStore& store) {
  return definition::ReadAddressPair(store).read;
}

std::string WriteAddress(const markup::MarkupStore& store) {
  return definition::ReadAddressPair(store).write;
}

std::int64_t PlaceField(const markup::MarkupStore& store, std::int64_t value, bool byteMode) {
  return PlaceField(value, FieldBitsAt(store, byteMode));
}

std::int64_t ExtractField(const markup::MarkupStore& store, std::int64_t raw, bool byteMode) {
  return ExtractField(raw, FieldBitsAt(store, byteMode));
}

FormatSpec GetFormat(markup::MarkupStore& store, const RegisterImages& images) {
  const std::string_view format = store.GetAttributeView("format");
  if (IsRawFormat(format)) {
    return RawFormatSpec(format);
  }
  const int cursor = store.XmlFileIndex();
  FormatSpec spec;
  spec.format = std::string(format);
  const definition::RealRange input = ReadRealRange(store, "input");
  const definition::RealRange display = ReadRealRange(store, "display");
  spec.inMin = input.first;
  spec.inMax = input.second;
  spec.dispMin = display.first;
  spec.dispMax = display.second;

  const std::string_view divisorAddress = store.GetAttributeView("displaydivreg");
  if (!divisorAddress.empty()) {
    double divisor = images.ValueAt(HexToLong(divisorAddress));
    const std::string_view regMin = store.GetAttributeView("displayregmin");
    if (!regMin.empty() && LeadingNumber(regMin) > divisor) {
      divisor = LeadingNumber(regMin);
    }
    // A divisor of 0 (no displayregmin to lift it) would leave no range.
    if (divisor != 0) {
      spec.dispMin /= divisor;
      spec.dispMax /= divisor;
    }
  }
  // A falling display range (100:0) ends at its first value.
  spec.limit = std::max(spec.dispMin, spec.dispMax);
  const std::string_view displayMax = store.GetAttributeView("displaymax");
  if (!displayMax.empty()) {
    // Nothing above the divided range can be written: the raw range ends there.
    spec.limit = std::min(LeadingNumber(displayMax), spec.limit);
  }

  // Conditional ranges: every `add` of type "display" after the element
  // inside its register; the last whose conditions hold wins.
  while (store.FindElement(kRegisterAddLevel, "add")) {
    if (store.GetAttributeView("type") != "display" || !DisplayConditionsHold(store, images)) {
      continue;
    }
    if (!store.GetAttributeView("input").empty()) {
      const definition::RealRange altInput = ReadRealRange(store, "input");
      spec.inMin = altInput.first;
      spec.inMax = altInput.second;
    }
    if (!store.GetAttributeView("display").empty()) {
      const definition::RealRange altDisplay = ReadRealRange(store, "display");
      spec.dispMin = altDisplay.first;
      spec.dispMax = altDisplay.second;
      spec.limit = std::max(spec.dispMin, spec.dispMax);
    }
  }
  store.SetXmlFileIndex(cursor);
  NormaliseRange(spec);
  return spec;
}

FormatSpec GetRegisterFormat(markup::MarkupStore& store, const RegisterImages& images) {
  FormatSpec spec = GetFormat(store, images);
  if (!IsRawFormat(spec.format)) {
    return spec;
  }
  const int cursor = store.XmlFileIndex();
  int highest = -1;
  while (store.FindElement(kRegisterAddLevel, "bitfield")) {
    const FieldBits bits = FieldBitsAt(store, false);
    if (!bits.none) {
      highest = std::max(highest, bits.hi);
    }
  }
  store.SetXmlFileIndex(cursor);
  const double rawMax = std::ldexp(1.0, highest + 1) - 1;
  if (rawMax > spec.inMax) {
    spec.inMax = rawMax;
    spec.dispMax = rawMax;
    spec.limit = rawMax;
  }
  return spec;
}

std::string AddressCaption(const markup::MarkupStore& store, std::int32_t groupAddressMask,
                           bool showBoth) {
  return AddressCaptionText(store.GetAttributeView("displayaddr"),
                            definition::ReadAddressPair(store), groupAddressMask, showBoth);
}

}  // namespace kestrova::engine
