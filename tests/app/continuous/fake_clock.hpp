#pragma once
// Simulated time for the read loop, and fixed date and time texts.

#include <cstdint>
#include <string>

#include "continuous/clock.hpp"
#include "continuous/date_time_text.hpp"

namespace kestrova::continuous::testing {

class FakeClock : public Clock {
 public:
  std::int64_t NowMilliseconds() override { return now; }
  void SleepMilliseconds(int milliseconds) override { now += milliseconds; }
  std::int64_t now = 100000;
};

// Fixed date, and a time that counts the rows: "10:00:01", "10:00:02", ...
class FakeDateTime : public DateTimeText {
 public:
  std::string DateAndTime() override { return "03.05.2024 10:00:00"; }
  std::string Time() override {
    ++times;
    return "10:00:" + std::string(times < 10 ? "0" : "") + std::to_string(times);
  }
  int times = 0;
};

}  // namespace kestrova::continuous::testing
