#include "engine/address_caption.hpp"

#include "engine/attribute_pair.hpp"
#include "engine/hex_text.hpp"

namespace kestrova::engine {

namespace {
constexpr std::int32_t kBoardRegisterBase = 1024;
constexpr std::int32_t kLowByte = 0xFF;
}  // namespace

std::string AddressCaptionText(std::string_view displayAddr, std::string_view addrText,
                               std::int32_t groupAddressMask, bool showBoth) {
  if (!displayAddr.empty()) {
    if (IsHexText(displayAddr)) {
      return Hex2(HexToLong(displayAddr) & kLowByte);
    }
    return std::string(displayAddr);
  }
  const TextPair halves = SplitPairText(addrText);
  const std::int32_t readAddress = HexToLong(halves.first);
  if (readAddress >= kBoardRegisterBase) {
    return "na";
  }
  const std::int32_t writeAddress = HexToLong(halves.second);
  std::string text = Hex2(readAddress & groupAddressMask);
  if (showBoth && writeAddress != readAddress) {
    text += "/";
    text += kLineBreak;
    text += Hex2(writeAddress & groupAddressMask);
  }
  return text;
}

}  // namespace kestrova::engine
