#include "number_text.hpp"

#include <charconv>
#include <cstdio>

namespace dravik::cli {
namespace {

// Enough decimal digits for any value the tool takes; longer texts are
// refused before they could overflow.
constexpr std::size_t kMaxDecimalDigits = 10;

}  // namespace

bool ParseHex(const std::string& text, uint32_t maximum, uint32_t* value, std::string* error) {
  std::size_t start = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    start = 2;
  }
  const char* first = text.data() + start;
  const char* last = text.data() + text.size();
  uint64_t result = 0;
  const auto [end, ec] = std::from_chars(first, last, result, 16);
  if (first == last || end != last) {
    *error = "not a hexadecimal number";
    return false;
  }
  if (ec == std::errc::result_out_of_range || result > maximum) {
    *error = "above " + FormatHex(maximum, 1);
    return false;
  }
  *value = static_cast<uint32_t>(result);
  return true;
}

bool ParseDecimal(const std::string& text, uint32_t minimum, uint32_t maximum, uint32_t* value,
                  std::string* error) {
  if (text.empty()) {
    *error = "not a decimal number";
    return false;
  }
  uint64_t result = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') {
      *error = "not a decimal number";
      return false;
    }
    if (i >= kMaxDecimalDigits) {
      *error = "above " + std::to_string(maximum);
      return false;
    }
    result = result * 10 + static_cast<uint64_t>(text[i] - '0');
  }
  if (result < minimum || result > maximum) {
    *error = "outside " + std::to_string(minimum) + ".." + std::to_string(maximum);
    return false;
  }
  *value = static_cast<uint32_t>(result);
  return true;
}

std::string FormatHex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*x", digits, value);
  return text;
}

}  // namespace dravik::cli
