#include "engine/address_caption.hpp"

#include "definition/numbers.hpp"
#include "engine/transfer_list.hpp"

namespace kestrova::engine {

namespace {
constexpr std::int32_t kLowByte = 0xFF;
}  // namespace

std::string AddressCaptionText(std::string_view displayAddr, const definition::AddressPair& addr,
                               std::int32_t groupAddressMask, bool showBoth) {
  if (!displayAddr.empty()) {
    if (definition::IsHexText(displayAddr)) {
      return definition::Hex2(definition::HexToLong(displayAddr) & kLowByte);
    }
    return std::string(displayAddr);
  }
  using definition::Hex2;
  using definition::HexToLong;
  const std::int32_t readAddress = HexToLong(addr.read);
  if (readAddress >= kBoardRegisterBase) {
    return "na";
  }
  const std::int32_t writeAddress = HexToLong(addr.write);
  std::string text = Hex2(static_cast<std::uint32_t>(readAddress & groupAddressMask));
  if (showBoth && writeAddress != readAddress) {
    text += "/";
    text += kLineBreak;
    text += Hex2(static_cast<std::uint32_t>(writeAddress & groupAddressMask));
  }
  return text;
}

}  // namespace kestrova::engine
