#pragma once
// The answers the "Set Read Time" and "Set Log Limit" input boxes take. An
// empty answer (or Cancel) leaves the setting as it was; any other answer that
// is not taken asks again.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova::continuous {

// Seconds from 0.01 to 1 inclusive, as milliseconds rounded to the nearest
// whole number (halves to even). Empty when the answer is not taken.
std::optional<std::int32_t> ReadIntervalFromAnswer(std::string_view answer);

// A whole number from 0 to 1000000000, or exactly "none" (no limit, -1).
std::optional<std::int32_t> LogLimitFromAnswer(std::string_view answer);

// The default texts of the two boxes: the interval in seconds ("0.25", "1"),
// the limit in decimal or "none".
std::string ReadIntervalAnswerText(std::int32_t readIntervalMs);
std::string LogLimitAnswerText(std::int32_t logLimit);

}  // namespace kestrova::continuous
