#pragma once
// When the steps of the continuous-read loop run: the first one 500 ms after
// the loop starts, each later one `readInterval` after the previous one
// started, or at once when that step took longer. The interval in force when
// a step ends sets the wait for the next one, so a new interval takes effect
// after the next step. One single-shot timer drives it: one step per timer
// event, and the event loop stays free between steps.

#include <cstdint>

namespace kestrova::continuous {

inline constexpr int kFirstStepDelayMs = 500;

class StepSchedule {
 public:
  // The loop starts; the delay until its first step.
  int Start();
  void Stop() { running_ = false; }
  bool Running() const { return running_; }

  // A step starts at `now`; true for the first step of this run of the loop.
  bool BeginStep(std::int64_t now);
  // The delay from `now`, after a step, until the next step.
  int DelayAfterStep(std::int64_t now, std::int32_t readInterval) const;

 private:
  bool running_ = false;
  bool firstStep_ = false;
  std::int64_t stepStart_ = 0;
};

}  // namespace kestrova::continuous
