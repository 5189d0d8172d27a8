#pragma once
// Hexadecimal text as the definition files write it: digits without prefix,
// read as if written with the "&H" prefix.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova::engine {

// The text read as hexadecimal (1 to 8 digits, any letter case, nothing else);
// nothing when the text is not a valid hexadecimal number.
std::optional<std::int32_t> ParseHex(std::string_view text);

// True when "&H" followed by the text is a valid number.
bool IsHexText(std::string_view text);

// The text read as hexadecimal; 0 for text that is not hexadecimal.
std::int32_t HexToLong(std::string_view text);

// Upper-case hexadecimal without leading zeros ("0" for zero), as bit-field
// values are stored in the definition.
std::string HexText(std::int64_t number);

// Upper-case hexadecimal, left-padded with "0" to at least two digits.
// Negative numbers show their 32-bit two's complement.
std::string Hex2(std::int64_t number);

}  // namespace kestrova::engine
