#include "engine/number_pattern.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string>

namespace kestrova::engine {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A number as decimal digits: value = 0.d1d2d3... * 10^point, i.e. the
// decimal point sits after `point` digits (point may be <= 0 or beyond them).
struct DecimalDigits {
  bool negative = false;
  std::string digits;
  int point = 0;
};

// The number with 15 significant digits, as far as a double carries them; so
// binary noise such as 0.1499999999999999 reads as the 0.15 it stands for.
DecimalDigits ToDecimalDigits(double value) {
  DecimalDigits out;
  out.negative = std::signbit(value) && value != 0;
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(value),
                                    std::chars_format::scientific, 14);
  const std::string_view text(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
  const std::size_t e = text.find('e');
  for (std::size_t i = 0; i < e; ++i) {
    if (IsDigit(text[i])) {
      out.digits.push_back(text[i]);
    }
  }
  int exponent = 0;
  std::string_view exponentText = text.substr(e + 1);
  if (!exponentText.empty() && exponentText.front() == '+') {
    exponentText.remove_prefix(1);
  }
  std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);
  out.point = exponent + 1;
  return out;
}

// Rounds to `fractionDigits` places, halves away from zero.
void RoundDigits(DecimalDigits& number, int fractionDigits) {
  const int cut = number.point + fractionDigits;
  if (cut < 0) {
    number.digits.clear();
    return;
  }
  if (cut >= static_cast<int>(number.digits.size())) {
    return;
  }
  const bool up = number.digits[static_cast<std::size_t>(cut)] >= '5';
  number.digits.resize(static_cast<std::size_t>(cut));
  if (!up) {
    return;
  }
  int i = cut - 1;
  for (; i >= 0; --i) {
    char& d = number.digits[static_cast<std::size_t>(i)];
    if (d == '9') {
      d = '0';
    } else {
      ++d;
      break;
    }
  }
  if (i < 0) {
    number.digits = "1" + number.digits;
    ++number.point;
  }
}

// The digit at decimal position `position` (0 = first digit before the point
// counting from the left end of `digits`), '0' outside the stored digits.
char DigitAt(const DecimalDigits& number, int position) {
  if (position < 0 || position >= static_cast<int>(number.digits.size())) {
    return '0';
  }
  return number.digits[static_cast<std::size_t>(position)];
}

std::string IntegerDigits(const DecimalDigits& number) {
  std::string out;
  for (int i = 0; i < number.point; ++i) {
    out.push_back(DigitAt(number, i));
  }
  const std::size_t first = out.find_first_not_of('0');
  return first == std::string::npos ? std::string() : out.substr(first);
}

std::string FractionDigits(const DecimalDigits& number, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    out.push_back(DigitAt(number, number.point + i));
  }
  return out;
}

std::string GroupThousands(const std::string& digits) {
  std::string out;
  const std::size_t n = digits.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) {
      out.push_back(',');
    }
    out.push_back(digits[i]);
  }
  return out;
}

// Literal text around the digits; a backslash takes the next character as is.
std::string Literal(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      ++i;
    }
    out.push_back(text[i]);
  }
  return out;
}

// Up to 15 significant digits, never with an exponent: the text is read
// back as a decimal number wherever it goes.
std::string GeneralForm(double value) {
  if (!std::isfinite(value) || value == 0) {
    return "0";
  }
  DecimalDigits number = ToDecimalDigits(value);
  const std::size_t significant = number.digits.find_last_not_of('0');
  number.digits.resize(significant == std::string::npos ? 0 : significant + 1);
  std::string integer = IntegerDigits(number);
  const int fractionCount = std::max(0, static_cast<int>(number.digits.size()) - number.point);
  const std::string fraction = FractionDigits(number, fractionCount);
  std::string out = number.negative ? "-" : "";
  out += integer.empty() ? "0" : integer;
  if (!fraction.empty()) {
    out += "." + fraction;
  }
  return out;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string FormatWithPattern(double value, std::string_view pattern) {
  const std::size_t first = pattern.find_first_of("0#.");
  if (first == std::string_view::npos) {
    return GeneralForm(value);
  }
  const std::size_t last = pattern.find_last_of("0#.");
  const std::string_view body = pattern.substr(first, last - first + 1);

  std::string integerPlaces;
  std::string fractionPlaces;
  bool hasPoint = false;
  bool grouping = false;
  for (const char c : body) {
    if (c == '.' && !hasPoint) {
      hasPoint = true;
    } else if (c == '0' || c == '#') {
      (hasPoint ? fractionPlaces : integerPlaces).push_back(c);
    } else if (c == ',' && !hasPoint) {
      grouping = true;
    }
  }
  const std::size_t firstZero = integerPlaces.find('0');
  const int minInteger =
      firstZero == std::string::npos ? 0 : static_cast<int>(integerPlaces.size() - firstZero);
  const int maxFraction = static_cast<int>(fractionPlaces.size());
  const std::size_t lastZero = fractionPlaces.rfind('0');
  const int minFraction = lastZero == std::string::npos ? 0 : static_cast<int>(lastZero) + 1;

  DecimalDigits number = ToDecimalDigits(std::isfinite(value) ? value : 0.0);
  RoundDigits(number, maxFraction);

  std::string integer = IntegerDigits(number);
  if (static_cast<int>(integer.size()) < minInteger) {
    integer = std::string(static_cast<std::size_t>(minInteger) - integer.size(), '0') + integer;
  }
  std::string fraction = FractionDigits(number, maxFraction);
  while (static_cast<int>(fraction.size()) > minFraction && fraction.back() == '0') {
    fraction.pop_back();
  }
  // A value that rounds to zero shows no sign.
  const bool isZero = integer.find_first_not_of('0') == std::string::npos &&
                      fraction.find_first_not_of('0') == std::string::npos;
  if (integer.empty() && fraction.empty()) {
    integer.assign(1, '0');
  }
  if (grouping) {
    integer = GroupThousands(integer);
  }
  std::string out;
  if (number.negative && !isZero) {
    out.push_back('-');
  }
  out += Literal(pattern.substr(0, first));
  out += integer;
  if (!fraction.empty()) {
    out.push_back('.');
    out += fraction;
  }
  out += Literal(pattern.substr(last + 1));
  return out;
}

}  // namespace

std::string PlainNumber(double value) {
  if (!std::isfinite(value)) {
    return std::isnan(value) ? "nan" : (value > 0 ? "inf" : "-inf");
  }
  // The shortest fixed-point text that reads back as the same number; the
  // widest (the smallest subnormal) needs about 330 characters.
  std::array<char, 400> buffer{};
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed);
  return std::string(buffer.data(), result.ptr);
}

std::string FormatNumber(double value, std::string_view pattern) {
  if (pattern.empty() || EqualsIgnoringCase(pattern, "General Number")) {
    return GeneralForm(value);
  }
  if (EqualsIgnoringCase(pattern, "Fixed")) {
    return FormatWithPattern(value, "0.00");
  }
  if (EqualsIgnoringCase(pattern, "Standard")) {
    return FormatWithPattern(value, "#,##0.00");
  }
  if (EqualsIgnoringCase(pattern, "Percent")) {
    return FormatWithPattern(value * 100, "0.00") + "%";
  }
  return FormatWithPattern(value, pattern);
}

}  // namespace kestrova::engine
