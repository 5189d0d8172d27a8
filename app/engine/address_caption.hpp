#pragma once
// The address text shown in a register row.

#include <cstdint>
#include <string>
#include <string_view>

#include "definition/schema.hpp"

namespace kestrova::engine {

// Line break used in captions and messages.
inline constexpr std::string_view kLineBreak = "\r\n";

// The group mask used when a register group names none.
inline constexpr std::int32_t kDefaultGroupAddressMask = 0xFF;

// `displayaddr` when given (hexadecimal shown as two digits, other text as
// written); else "na" for a board register, else the masked read address,
// and with `showBoth` also "/", a line break and the masked write address when
// the `addr` halves differ.
std::string AddressCaptionText(std::string_view displayAddr, const definition::AddressPair& addr,
                               std::int32_t groupAddressMask, bool showBoth);

}  // namespace kestrova::engine
