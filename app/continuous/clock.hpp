#pragma once
// The millisecond stopwatch and the 1 ms pause of the read loop, behind an
// interface so tests run the loop on simulated time.

#include <chrono>
#include <cstdint>
#include <thread>

namespace kestrova::continuous {

class Clock {
 public:
  virtual ~Clock() = default;
  // A monotonic time in milliseconds.
  virtual std::int64_t NowMilliseconds() = 0;
  virtual void SleepMilliseconds(int milliseconds) = 0;
};

class SteadyClock : public Clock {
 public:
  std::int64_t NowMilliseconds() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  void SleepMilliseconds(int milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
};

}  // namespace kestrova::continuous
