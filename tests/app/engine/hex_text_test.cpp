#include "engine/hex_text.hpp"

#include <gtest/gtest.h>

namespace kestrova::engine {
namespace {

TEST(HexText, AcceptsDigitsWithoutPrefixInAnyCase) {
  EXPECT_TRUE(IsHexText("1F"));
  EXPECT_TRUE(IsHexText("1f"));
  EXPECT_TRUE(IsHexText("0"));
  EXPECT_TRUE(IsHexText("FFFFFFFF"));
  EXPECT_TRUE(IsHexText("000000000001"));  // leading zeros do not overflow
  EXPECT_EQ(HexToLong("1f"), 0x1F);
  EXPECT_EQ(HexToLong("7FFF"), 0x7FFF);
  EXPECT_EQ(HexToLong("FFFF"), 0xFFFF);
  EXPECT_EQ(HexToLong("FFFFFFFF"), -1);
  EXPECT_EQ(HexToLong("000000000001"), 1);
}

TEST(HexText, RefusesAnythingElse) {
  for (const char* bad :
       {"", "G", "1G", "&H1F", " 1F", "1F ", "-1", "+1", "100000000", "1.5", "0x10"}) {
    EXPECT_FALSE(IsHexText(bad)) << bad;
    EXPECT_EQ(HexToLong(bad), 0) << bad;
    EXPECT_FALSE(ParseHex(bad).has_value()) << bad;
  }
}

TEST(HexText, Hex2PadsToTwoUpperCaseDigits) {
  EXPECT_EQ(Hex2(0), "00");
  EXPECT_EQ(Hex2(5), "05");
  EXPECT_EQ(Hex2(10), "0A");
  EXPECT_EQ(Hex2(255), "FF");
  EXPECT_EQ(Hex2(256), "100");
  EXPECT_EQ(Hex2(0xABCDE), "ABCDE");
  EXPECT_EQ(Hex2(-1), "FFFFFFFF");
}

}  // namespace
}  // namespace kestrova::engine
