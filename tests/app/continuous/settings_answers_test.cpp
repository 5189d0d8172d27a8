#include "continuous/settings_answers.hpp"

#include <gtest/gtest.h>

namespace kestrova::continuous {
namespace {

TEST(SetReadTime, TakesSecondsFromTenMillisecondsToOneSecond) {
  EXPECT_EQ(ReadIntervalFromAnswer("0.01"), 10);
  EXPECT_EQ(ReadIntervalFromAnswer("1"), 1000);
  EXPECT_EQ(ReadIntervalFromAnswer(".25"), 250);
  EXPECT_EQ(ReadIntervalFromAnswer("0.0125"), 12);  // 12.5 rounds to the even 12
  EXPECT_EQ(ReadIntervalFromAnswer("0.0135"), 14);  // 13.5 rounds to the even 14
  EXPECT_FALSE(ReadIntervalFromAnswer("1.5"));
  EXPECT_FALSE(ReadIntervalFromAnswer("0.005"));
  EXPECT_FALSE(ReadIntervalFromAnswer("0,5"));
  EXPECT_FALSE(ReadIntervalFromAnswer("fast"));
  EXPECT_FALSE(ReadIntervalFromAnswer(""));
}

TEST(SetLogLimit, TakesWholeNumbersOrNone) {
  EXPECT_EQ(LogLimitFromAnswer("0"), 0);
  EXPECT_EQ(LogLimitFromAnswer("1000000000"), 1000000000);
  EXPECT_EQ(LogLimitFromAnswer("none"), -1);
  EXPECT_FALSE(LogLimitFromAnswer("None"));
  EXPECT_FALSE(LogLimitFromAnswer("1000000001"));
  EXPECT_FALSE(LogLimitFromAnswer("-1"));
  EXPECT_FALSE(LogLimitFromAnswer("2.5"));
  EXPECT_FALSE(LogLimitFromAnswer("12abc"));
  EXPECT_FALSE(LogLimitFromAnswer(""));
}

TEST(SettingsBoxes, ShowTheCurrentValues) {
  EXPECT_EQ(ReadIntervalAnswerText(1000), "1");
  EXPECT_EQ(ReadIntervalAnswerText(250), "0.25");
  EXPECT_EQ(ReadIntervalAnswerText(10), "0.01");
  EXPECT_EQ(LogLimitAnswerText(-1), "none");
  EXPECT_EQ(LogLimitAnswerText(20), "20");
}

}  // namespace
}  // namespace kestrova::continuous
