#pragma once
// Attribute pairs: "high:low" ranges and "read:write" address pairs. A single
// value counts as the same value twice.

#include <string>
#include <string_view>

namespace kestrova::engine {

struct TextPair {
  std::string first;
  std::string second;
};

struct NumberPair {
  double first = 0;
  double second = 0;
};

// The text upper-cased and split at its first colon.
TextPair SplitPairText(std::string_view text);

// The halves of the text, each read by its leading decimal number.
NumberPair SplitNumberPair(std::string_view text);

}  // namespace kestrova::engine
