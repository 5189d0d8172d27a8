#include "frontend/raw_register.hpp"

#include "definition/numbers.hpp"
#include "engine/register_access.hpp"
#include "engine/session.hpp"
#include "markup/message_box.hpp"

namespace kestrova::frontend {

namespace {

// The boxes hold 16-bit numbers.
constexpr std::size_t kMaxDigits = 4;
constexpr std::size_t kByteDigits = 2;
constexpr std::uint32_t kLowByte = 0xFF;

}  // namespace

std::string RawTypedText(std::string_view text) {
  return definition::IsHexText(text) ? definition::UpperCase(text) : std::string();
}

std::string RawLeadingZerosRemoved(std::string_view text) {
  if (definition::IsHexText(text)) {
    while (text.size() > 1 && text.front() == '0') {
      text.remove_prefix(1);
    }
  }
  return std::string(text);
}

std::optional<std::int16_t> RawHexValue(std::string_view text) {
  const auto value = definition::ParseHex(text);
  if (!value || text.size() > kMaxDigits) {
    return std::nullopt;
  }
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(*value));
}

std::optional<std::int16_t> RawDataValue(std::string_view text, bool sixteenBits) {
  // An 8-bit register takes two digits at most, as the value box holds.
  return text.size() <= (sixteenBits ? kMaxDigits : kByteDigits) ? RawHexValue(text) : std::nullopt;
}

std::uint16_t RawShownValue(std::int16_t value, bool sixteenBits) {
  const auto bits = static_cast<std::uint16_t>(value);
  return sixteenBits ? bits : static_cast<std::uint16_t>(bits & kLowByte);
}

std::string RawValueText(std::int16_t value, bool sixteenBits) {
  std::string text = definition::HexText(RawShownValue(value, sixteenBits));
  const std::size_t digits = sixteenBits ? kMaxDigits : kByteDigits;
  if (text.size() < digits) {
    text.insert(0, digits - text.size(), '0');
  }
  return text;
}

bool RawRegisterDialog::Addresses(const RawInput& input, std::int16_t& bus,
                                  std::int16_t& reg) const {
  const auto busValue = RawHexValue(input.busAddress);
  const auto regValue = RawHexValue(input.registerAddress);
  if (!busValue || (!input.noRegisterAddress && !regValue)) {
    return false;
  }
  bus = *busValue;
  reg = input.noRegisterAddress ? engine::kNoRegisterAddress : *regValue;
  return true;
}

std::string RawRegisterDialog::Read(const RawInput& input) {
  lastWasWrite_ = false;
  std::int16_t bus = 0;
  std::int16_t reg = 0;
  if (!Addresses(input, bus, reg)) {
    session_.ShowMessage(kInvalidReadInput);
    return {};
  }
  std::int16_t value = 0;
  if (!engine::RegRead(session_, bus, reg, value, input.sixteenBits)) {
    return {};
  }
  return RawValueText(value, input.sixteenBits);
}

bool RawRegisterDialog::Write(const RawInput& input) {
  lastWasWrite_ = true;
  std::int16_t bus = 0;
  std::int16_t reg = 0;
  const auto value = RawDataValue(input.value, input.sixteenBits);
  if (!Addresses(input, bus, reg) || !value) {
    session_.ShowMessage(kInvalidWriteInput);
    return false;
  }
  engine::RegWrite(session_, bus, reg, *value, input.sixteenBits);
  return true;
}

std::string RawRegisterDialog::NextRegisterAddress(std::string_view text) {
  const auto value = RawHexValue(text);
  if (!value) {
    return std::string(text);
  }
  return definition::Hex2((static_cast<std::uint32_t>(*value) + 1) & kLowByte);
}

RawRegisterDialog::Repeat RawRegisterDialog::RepeatAfterIncrement(const RawInput& input) const {
  if (!input.repeat) {
    return Repeat::None;
  }
  return lastWasWrite_ ? Repeat::Write : Repeat::Read;
}

}  // namespace kestrova::frontend
