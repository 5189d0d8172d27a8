#pragma once
// Simulated time for the read loop, fixed date and time texts, and the
// plots a test opens.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "continuous/clock.hpp"
#include "continuous/date_time_text.hpp"
#include "continuous/plot_selection.hpp"

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

// An enabled plot of `units` showing each register (its line, its name).
inline Plot PlotOf(const std::string& units,
                   const std::vector<std::pair<std::int16_t, std::string>>& registers) {
  Plot plot;
  plot.enable = true;
  plot.units = units;
  for (const auto& [line, name] : registers) {
    plot.registers[static_cast<std::size_t>(plot.registerCount++)] = {true, line, name};
  }
  return plot;
}

}  // namespace kestrova::continuous::testing
