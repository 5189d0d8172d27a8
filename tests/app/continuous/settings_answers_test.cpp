#include "continuous/settings_answers.hpp"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace kestrova::continuous {
namespace {

// Answers the boxes below also refuse are rows there.
TEST(SetReadTime, TakesSecondsFromTenMillisecondsToOneSecond) {
  EXPECT_EQ(ReadIntervalFromAnswer("0.01"), 10);
  EXPECT_EQ(ReadIntervalFromAnswer("1"), 1000);
  EXPECT_EQ(ReadIntervalFromAnswer(".25"), 250);
  EXPECT_EQ(ReadIntervalFromAnswer("0.0125"), 12);  // 12.5 rounds to the even 12
  EXPECT_EQ(ReadIntervalFromAnswer("0.0135"), 14);  // 13.5 rounds to the even 14
  EXPECT_FALSE(ReadIntervalFromAnswer("0,5"));
  EXPECT_FALSE(ReadIntervalFromAnswer("fast"));
}

TEST(SetLogLimit, TakesWholeNumbersOrNone) {
  EXPECT_EQ(LogLimitFromAnswer("0"), 0);
  EXPECT_EQ(LogLimitFromAnswer("1000000000"), 1000000000);
  EXPECT_EQ(LogLimitFromAnswer("none"), -1);
  EXPECT_FALSE(LogLimitFromAnswer("1000000001"));
  EXPECT_FALSE(LogLimitFromAnswer("-1"));
  EXPECT_FALSE(LogLimitFromAnswer("12abc"));
  EXPECT_FALSE(LogLimitFromAnswer(""));
}

TEST(SettingsBoxes, AskAgainUntilAnAnswerIsTakenOrEmpty) {
  struct Case {
    bool readTime;
    std::vector<std::string> answers;
    std::int32_t before;
    std::int32_t after;
    const char* firstBox;  // title and default text
  };
  const Case cases[] = {
      {true, {"1.5", "0.005", "0.01"}, 1000, 10, "Modify Read/Log Time|1"},
      {true, {"0.005", ""}, 250, 250, "Modify Read/Log Time|0.25"},
      {true, {""}, 10, 10, "Modify Read/Log Time|0.01"},
      {false, {"2.5", "None", "none"}, 20, -1, "Modify Log Limit|20"},
      {false, {"0"}, -1, 0, "Modify Log Limit|none"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.firstBox);
    std::deque<std::string> answers(c.answers.begin(), c.answers.end());
    std::vector<std::string> boxes;
    const InputBox ask = [&](std::string_view, std::string_view title, std::string_view text) {
      boxes.push_back(std::string(title) + "|" + std::string(text));
      const std::string answer = answers.front();
      answers.pop_front();
      return answer;
    };
    std::int32_t value = c.before;
    const bool taken = c.readTime ? SetReadTime(ask, value) : SetLogLimit(ask, value);
    EXPECT_EQ(value, c.after);
    EXPECT_EQ(taken, !c.answers.back().empty());
    EXPECT_EQ(boxes.size(), c.answers.size());
    EXPECT_EQ(boxes.front(), c.firstBox);
  }
}

}  // namespace
}  // namespace kestrova::continuous
