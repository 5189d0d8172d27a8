#include "continuous/settings_answers.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrova::continuous {
namespace {

// Set Read Time takes seconds from 0.01 to 1 (milliseconds rounded, halves to
// even), Set Log Limit whole numbers from 0 to 1000000000 or "none"; any other
// answer asks again, an empty one keeps the setting.
TEST(SettingsBoxes, AskAgainUntilAnAnswerIsTakenOrEmpty) {
  struct Case {
    bool readTime;
    std::vector<std::string> answers;
    std::int32_t before;
    std::int32_t after;
    const char* firstBox;  // title and default text
  };
  const Case cases[] = {
      {true, {"1.5", "0.005", "0,5", "fast", "0.01"}, 1000, 10, "Modify Read/Log Time|1"},
      {true, {"0.0125"}, 1000, 12, "Modify Read/Log Time|1"},
      {true, {"0.0135"}, 1000, 14, "Modify Read/Log Time|1"},
      {true, {".25"}, 1000, 250, "Modify Read/Log Time|1"},
      {true, {"1"}, 10, 1000, "Modify Read/Log Time|0.01"},
      {true, {"0.005", ""}, 250, 250, "Modify Read/Log Time|0.25"},
      {false, {"2.5", "None", "1000000001", "-1", "12abc", "none"}, 20, -1, "Modify Log Limit|20"},
      {false, {"0"}, -1, 0, "Modify Log Limit|none"},
      {false, {"1000000000"}, -1, 1000000000, "Modify Log Limit|none"},
      {false, {""}, 7, 7, "Modify Log Limit|7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.answers));
    std::size_t asked = 0;
    std::string firstBox;
    const InputBox ask = [&](std::string_view, std::string_view title, std::string_view text) {
      if (asked == 0) {
        firstBox = std::string(title) + "|" + std::string(text);
      }
      return c.answers.at(asked++);
    };
    std::int32_t value = c.before;
    const bool taken = c.readTime ? SetReadTime(ask, value) : SetLogLimit(ask, value);
    EXPECT_EQ(value, c.after);
    EXPECT_EQ(taken, !c.answers.back().empty());
    EXPECT_EQ(asked, c.answers.size());
    EXPECT_EQ(firstBox, c.firstBox);
  }
}

}  // namespace
}  // namespace kestrova::continuous
