#pragma once
// Number texts of the definition and settings files. Hexadecimal values are
// written without prefix ("1F", "ff"); decimal values (bit numbers, ranges,
// counts, times) are read by their leading numeric part. None of this depends
// on the locale: the decimal point is always ".".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova::definition {

// The text as a hexadecimal number: 1 to 8 hex digits, either case, nothing
// else (no sign, prefix or spaces). Eight digits wrap into the signed 32-bit
// range ("FFFFFFFF" is -1), as a 32-bit register of the program holds them.
std::optional<std::int32_t> ParseHex(std::string_view text);

// True when the text is a valid hexadecimal number (ParseHex succeeds).
bool IsHexText(std::string_view text);

// The text read as a hexadecimal number; 0 when it is not one.
std::int32_t HexToLong(std::string_view text);

// Upper-case hexadecimal without leading zeros ("0", "A", "1F").
std::string HexText(std::uint32_t value);

// Upper-case hexadecimal, left-padded with "0" to at least two digits ("0A", "1F", "100").
std::string Hex2(std::uint32_t value);

// The leading numeric part of the text, leniently: leading spaces, an optional
// sign, digits and an optional "." fraction; whatever follows is ignored. A
// text without a leading number reads as 0.
double LeadingNumber(std::string_view text);

// True when the text starts (after spaces and an optional sign) with a digit,
// or with "." and a digit: LeadingNumber then reads a real number from it.
bool HasLeadingNumber(std::string_view text);

// The whole text as a decimal integer: optional spaces, an optional sign,
// digits, optional spaces. Empty when it is anything else or outside 64 bits.
std::optional<std::int64_t> ParseDecimalInteger(std::string_view text);

// The whole text as a decimal number with an optional "." fraction.
std::optional<double> ParseDecimal(std::string_view text);

// ASCII upper and lower case of a text.
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);

}  // namespace kestrova::definition
