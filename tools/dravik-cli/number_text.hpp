// Strict hexadecimal and decimal numbers for the command line: the whole text
// must be a number ("0x" prefix optional for hex), inside the given range.
#pragma once

#include <cstdint>
#include <string>

namespace dravik::cli {

// On failure *error says why ("not a hexadecimal number", "above 0xff").
bool ParseHex(const std::string& text, uint32_t maximum, uint32_t* value, std::string* error);
bool ParseDecimal(const std::string& text, uint32_t minimum, uint32_t maximum, uint32_t* value,
                  std::string* error);

// "0x" and at least `digits` lower-case hex digits.
std::string FormatHex(uint32_t value, int digits);

}  // namespace dravik::cli
