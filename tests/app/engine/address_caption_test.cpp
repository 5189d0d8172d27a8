#include "engine/address_caption.hpp"

#include <gtest/gtest.h>

#include <string>

namespace kestrova::engine {
namespace {

// The read address masked by the group's mask; both addresses when they
// differ and asked for; "na" for board registers; a displayaddr wins.
TEST(AddressCaption, FollowsTheAddressesTheMaskAndTheDisplayAddress) {
  const struct {
    const char* displayAddr;
    definition::AddressPair addr;
    int mask;
    bool both;
    const char* caption;
  } cases[] = {
      {"", {"2A", "2A"}, 0xFF, true, "2A"},        {"", {"85", "85"}, 0x7F, false, "05"},
      {"", {"5", "5"}, 0xFF, false, "05"},         {"", {"40", "C0"}, 0xFF, true, "40/\r\nC0"},
      {"", {"40", "C0"}, 0xFF, false, "40"},       {"", {"40", "40"}, 0xFF, true, "40"},
      {"", {"40", "C0"}, 0x7F, true, "40/\r\n40"}, {"", {"400", "400"}, 0xFF, true, "na"},
      {"", {"7FF", "7FF"}, 0xFF, true, "na"},      {"", {"3FF", "3FF"}, 0xFF, true, "FF"},
      {"1F3", {"400", "400"}, 0xFF, true, "F3"},   {"7", {"10", "10"}, 0xFF, true, "07"},
      {"CFG", {"10", "10"}, 0xFF, true, "CFG"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AddressCaptionText(c.displayAddr, c.addr, c.mask, c.both), c.caption)
        << c.addr.read << ":" << c.addr.write << " mask " << c.mask;
  }
}

}  // namespace
}  // namespace kestrova::engine
