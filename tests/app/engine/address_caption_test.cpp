#include "engine/address_caption.hpp"

#include <gtest/gtest.h>

namespace kestrova::engine {
namespace {

TEST(AddressCaption, ReadAddressMaskedByTheGroup) {
  EXPECT_EQ(AddressCaptionText("", "2A", 0xFF, true), "2A");
  EXPECT_EQ(AddressCaptionText("", "85", 0x7F, false), "05");
  EXPECT_EQ(AddressCaptionText("", "5", 0xFF, false), "05");
}

TEST(AddressCaption, BothAddressesWhenTheyDiffer) {
  EXPECT_EQ(AddressCaptionText("", "40:C0", 0xFF, true), "40/\r\nC0");
  EXPECT_EQ(AddressCaptionText("", "40:C0", 0xFF, false), "40");
  EXPECT_EQ(AddressCaptionText("", "40:40", 0xFF, true), "40");
  EXPECT_EQ(AddressCaptionText("", "40:c0", 0x7F, true), "40/\r\n40");
}

TEST(AddressCaption, BoardRegistersShowNa) {
  EXPECT_EQ(AddressCaptionText("", "400", 0xFF, true), "na");
  EXPECT_EQ(AddressCaptionText("", "7FF", 0xFF, true), "na");
  EXPECT_EQ(AddressCaptionText("", "3FF", 0xFF, true), "FF");
}

TEST(AddressCaption, DisplayAddrWins) {
  EXPECT_EQ(AddressCaptionText("1F3", "400", 0xFF, true), "F3");
  EXPECT_EQ(AddressCaptionText("7", "10", 0xFF, true), "07");
  EXPECT_EQ(AddressCaptionText("CFG", "10", 0xFF, true), "CFG");
}

}  // namespace
}  // namespace kestrova::engine
