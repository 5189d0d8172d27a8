// Text of mixed sources: well-formed UTF-8 is kept, anything else is taken
// as Latin-1 (an overlong two-byte form is not well-formed).
#include "frontend/text_encoding.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace kestrova::frontend {
namespace {

TEST(TextEncoding, OnlyWellFormedUtf8IsKeptAsUtf8) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain", "plain"},
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},
      {"\xE9t\xE9", "\xC3\xA9t\xC3\xA9"},
      {"\xC1\x81", "\xC3\x81\xC2\x81"},
      {"\xC3", "\xC3\x83"},
  };
  for (const auto& [text, utf8] : cases) {
    EXPECT_EQ(ToUtf8(text), utf8) << text;
  }
}

TEST(TextEncoding, ColumnsArePaddedByCharactersNotBytes) {
  EXPECT_EQ(PadRight("\xC3\xA9t\xC3\xA9", 5), "\xC3\xA9t\xC3\xA9  ");
}

}  // namespace
}  // namespace kestrova::frontend
