#include "engine/hex_text.hpp"

#include <array>

namespace kestrova::engine {

namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  return -1;
}

}  // namespace

std::optional<std::int32_t> ParseHex(std::string_view text) {
  if (text.empty()) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  for (const char c : text) {
    const int digit = HexDigitValue(c);
    if (digit < 0) {
      return std::nullopt;
    }
    value = value * 16 + static_cast<std::uint64_t>(digit);
    // A hexadecimal literal holds 32 bits; leading zeros do not count.
    if (value > 0xFFFFFFFFu) {
      return std::nullopt;
    }
  }
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

bool IsHexText(std::string_view text) {
  return ParseHex(text).has_value();
}

std::int32_t HexToLong(std::string_view text) {
  return ParseHex(text).value_or(0);
}

std::string HexText(std::int64_t number) {
  std::string text = Hex2(number);
  return text.size() > 1 && text.front() == '0' ? text.substr(1) : text;
}

std::string Hex2(std::int64_t number) {
  static constexpr std::array<char, 16> kDigits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                   '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};
  std::uint32_t value = static_cast<std::uint32_t>(number);
  std::string reversed;
  do {
    reversed.push_back(kDigits[value % 16]);
    value /= 16;
  } while (value != 0);
  if (reversed.size() < 2) {
    reversed.push_back('0');
  }
  return std::string(reversed.rbegin(), reversed.rend());
}

}  // namespace kestrova::engine
