#include "engine/address_caption.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace kestrova::engine {
namespace {

definition::AddressPair Addr(const std::string& text) {
  const std::size_t colon = text.find(':');
  std::string upper = text;
  for (char& c : upper) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (colon == std::string::npos) {
    return {upper, upper};
  }
  return {upper.substr(0, colon), upper.substr(colon + 1)};
}

TEST(AddressCaption, ReadAddressMaskedByTheGroup) {
  EXPECT_EQ(AddressCaptionText("", Addr("2A"), 0xFF, true), "2A");
  EXPECT_EQ(AddressCaptionText("", Addr("85"), 0x7F, false), "05");
  EXPECT_EQ(AddressCaptionText("", Addr("5"), 0xFF, false), "05");
}

TEST(AddressCaption, BothAddressesWhenTheyDiffer) {
  EXPECT_EQ(AddressCaptionText("", Addr("40:C0"), 0xFF, true), "40/\r\nC0");
  EXPECT_EQ(AddressCaptionText("", Addr("40:C0"), 0xFF, false), "40");
  EXPECT_EQ(AddressCaptionText("", Addr("40:40"), 0xFF, true), "40");
  EXPECT_EQ(AddressCaptionText("", Addr("40:c0"), 0x7F, true), "40/\r\n40");
}

TEST(AddressCaption, BoardRegistersShowNa) {
  EXPECT_EQ(AddressCaptionText("", Addr("400"), 0xFF, true), "na");
  EXPECT_EQ(AddressCaptionText("", Addr("7FF"), 0xFF, true), "na");
  EXPECT_EQ(AddressCaptionText("", Addr("3FF"), 0xFF, true), "FF");
}

TEST(AddressCaption, DisplayAddrWins) {
  EXPECT_EQ(AddressCaptionText("1F3", Addr("400"), 0xFF, true), "F3");
  EXPECT_EQ(AddressCaptionText("7", Addr("10"), 0xFF, true), "07");
  EXPECT_EQ(AddressCaptionText("CFG", Addr("10"), 0xFF, true), "CFG");
}

}  // namespace
}  // namespace kestrova::engine
