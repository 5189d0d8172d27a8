#include "engine/attribute_pair.hpp"

#include <cctype>

#include "engine/decimal_text.hpp"

namespace kestrova::engine {

TextPair SplitPairText(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  const std::size_t colon = upper.find(':');
  if (colon == std::string::npos) {
    return {upper, upper};
  }
  return {upper.substr(0, colon), upper.substr(colon + 1)};
}

NumberPair SplitNumberPair(std::string_view text) {
  const TextPair halves = SplitPairText(text);
  return {LeadingNumber(halves.first), LeadingNumber(halves.second)};
}

}  // namespace kestrova::engine
