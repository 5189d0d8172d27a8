#include "definition/numbers.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace kestrova::definition {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsSpace(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsSpace(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

// Reads sign, digits and fraction from the start of `text`; `used` is the
// number of characters taken (0 when no number starts there).
double ReadNumber(std::string_view text, std::size_t& used) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const std::size_t digitsStart = i;
  std::size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) {
    ++digits;
    ++i;
  }
  if (i < text.size() && text[i] == '.') {
    std::size_t j = i + 1;
    std::size_t fractionDigits = 0;
    while (j < text.size() && IsDigit(text[j])) {
      ++fractionDigits;
      ++j;
    }
    if (digits + fractionDigits > 0) {
      digits += fractionDigits;
      i = j;
    }
  }
  used = 0;
  if (digits == 0) {
    return 0.0;
  }
  // from_chars reads the digits exactly as written, whatever the locale.
  std::string number(text.substr(digitsStart, i - digitsStart));
  if (number.front() == '.') {
    number.insert(number.begin(), '0');
  }
  double value = 0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec != std::errc()) {
    // Out of range: beyond the largest number when a digit before the point
    // is not 0, else closer to 0 than the smallest (0.000...01).
    const std::string_view whole = std::string_view(number).substr(0, number.find('.'));
    value = whole.find_first_not_of('0') == std::string_view::npos
                ? 0.0
                : std::numeric_limits<double>::infinity();
  }
  used = i;
  return negative ? -value : value;
}

}  // namespace

std::optional<std::int32_t> ParseHex(std::string_view text) {
  if (text.empty() || text.size() > 8) {
    return std::nullopt;
  }
  std::uint32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (ec != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(value);
}

bool IsHexText(std::string_view text) {
  return ParseHex(text).has_value();
}

std::int32_t HexToLong(std::string_view text) {
  return ParseHex(text).value_or(0);
}

std::string HexText(std::uint32_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  char buffer[8];
  int n = 0;
  do {
    buffer[n++] = kDigits[value & 0xF];
    value >>= 4;
  } while (value != 0);
  std::string text;
  text.reserve(static_cast<std::size_t>(n));
  while (n > 0) {
    text.push_back(buffer[--n]);
  }
  return text;
}

std::string Hex2(std::uint32_t value) {
  std::string text = HexText(value);
  if (text.size() < 2) {
    text.insert(text.begin(), '0');
  }
  return text;
}

double LeadingNumber(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) {
    text.remove_prefix(1);
  }
  std::size_t used = 0;
  const double value = ReadNumber(text, used);
  return used == 0 ? 0.0 : value;
}

bool HasLeadingNumber(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) {
    text.remove_prefix(1);
  }
  std::size_t used = 0;
  ReadNumber(text, used);
  return used > 0;
}

std::optional<std::int64_t> ParseDecimalInteger(std::string_view text) {
  text = Trim(text);
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) {
      return std::nullopt;
    }
    value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
    if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return std::nullopt;
    }
  }
  const auto signedValue = static_cast<std::int64_t>(value);
  return negative ? -signedValue : signedValue;
}

std::optional<double> ParseDecimal(std::string_view text) {
  text = Trim(text);
  std::size_t used = 0;
  const double value = ReadNumber(text, used);
  if (used == 0 || used != text.size()) {
    return std::nullopt;
  }
  return value;
}

std::string UpperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return out;
}

std::string LowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return out;
}

}  // namespace kestrova::definition
