#pragma once
// The answers the "Set Read Time" and "Set Log Limit" input boxes take. An
// empty answer (or Cancel) leaves the setting as it was; any other answer that
// is not taken asks again.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova::continuous {

// Seconds from 0.01 to 1 inclusive, as milliseconds rounded to the nearest
// whole number (halves to even). Empty when the answer is not taken.
std::optional<std::int32_t> ReadIntervalFromAnswer(std::string_view answer);

// A whole number from 0 to 1000000000, or exactly "none" (no limit, -1).
std::optional<std::int32_t> LogLimitFromAnswer(std::string_view answer);

inline constexpr std::string_view kReadTimeTitle = "Modify Read/Log Time";
inline constexpr std::string_view kReadTimePrompt =
    "Modify Read/Log Time In Seconds\r\nValid Range Is 0.01 To 1 Second";
inline constexpr std::string_view kLogLimitTitle = "Modify Log Limit";
inline constexpr std::string_view kLogLimitPrompt =
    "Enter Iteration Limit of Log File\r\nValid range is 0 to 1000000000\r\nor \"none\" for no "
    "limit";

// An input box: shows the prompt, title and default text and returns the
// answer, empty on Cancel.
using InputBox = std::function<std::string(std::string_view prompt, std::string_view title,
                                           std::string_view defaultText)>;

// Set Read Time and Set Log Limit: ask until an answer is taken (true, the
// value set) or the answer is empty (false, the value kept).
bool SetReadTime(const InputBox& ask, std::int32_t& readInterval);
bool SetLogLimit(const InputBox& ask, std::int32_t& logLimit);

// The default texts of the two boxes: the interval in seconds ("0.25", "1"),
// the limit in decimal or "none".
std::string ReadIntervalAnswerText(std::int32_t readIntervalMs);
std::string LogLimitAnswerText(std::int32_t logLimit);

}  // namespace kestrova::continuous
