#include "continuous/settings_answers.hpp"

#include <cmath>

#include "continuous/continuous_read.hpp"
#include "definition/numbers.hpp"

namespace kestrova::continuous {

namespace {

constexpr double kShortestSeconds = 0.01;
constexpr double kLongestSeconds = 1.0;
constexpr double kMillisecondsPerSecond = 1000.0;
constexpr std::int64_t kLargestLogLimit = 1000000000;

template <typename Parse, typename Text>
bool AskUntilTaken(const InputBox& ask, std::string_view prompt, std::string_view title,
                   std::int32_t& value, Parse parse, Text text) {
  for (;;) {
    const std::string answer = ask(prompt, title, text(value));
    if (answer.empty()) {
      return false;
    }
    if (const std::optional<std::int32_t> taken = parse(answer)) {
      value = *taken;
      return true;
    }
  }
}

}  // namespace

bool SetReadTime(const InputBox& ask, std::int32_t& readInterval) {
  return AskUntilTaken(ask, kReadTimePrompt, kReadTimeTitle, readInterval, ReadIntervalFromAnswer,
                       ReadIntervalAnswerText);
}

bool SetLogLimit(const InputBox& ask, std::int32_t& logLimit) {
  return AskUntilTaken(ask, kLogLimitPrompt, kLogLimitTitle, logLimit, LogLimitFromAnswer,
                       LogLimitAnswerText);
}

std::optional<std::int32_t> ReadIntervalFromAnswer(std::string_view answer) {
  const std::optional<double> seconds = definition::ParseDecimal(answer);
  if (!seconds || *seconds < kShortestSeconds || *seconds > kLongestSeconds) {
    return std::nullopt;
  }
  // Halves go to the even neighbour, as the box's rounding does.
  return static_cast<std::int32_t>(std::nearbyint(*seconds * kMillisecondsPerSecond));
}

std::optional<std::int32_t> LogLimitFromAnswer(std::string_view answer) {
  if (answer == "none") {
    return kNoLogLimit;
  }
  const std::optional<std::int64_t> limit = definition::ParseDecimalInteger(answer);
  if (!limit || *limit < 0 || *limit > kLargestLogLimit) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(*limit);
}

std::string ReadIntervalAnswerText(std::int32_t readIntervalMs) {
  std::string text = std::to_string(readIntervalMs / 1000);
  const std::int32_t fraction = readIntervalMs % 1000;
  if (fraction != 0) {
    std::string digits = std::to_string(1000 + fraction).substr(1);
    while (digits.back() == '0') {
      digits.pop_back();
    }
    text += "." + digits;
  }
  return text;
}

std::string LogLimitAnswerText(std::int32_t logLimit) {
  return logLimit == kNoLogLimit ? "none" : std::to_string(logLimit);
}

}  // namespace kestrova::continuous
