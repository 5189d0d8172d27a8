#pragma once
// The timing of the continuous-read loop: the first step comes 500 ms after
// the start, each later one `readInterval` after the previous one started (at
// once when a step took longer). Between checks pending events run and the
// loop pauses 1 ms. The loop ends when no activity is left.

#include <functional>

#include "continuous/clock.hpp"

namespace kestrova::continuous {

inline constexpr int kFirstStepDelayMs = 500;
inline constexpr int kIdlePauseMs = 1;

struct StepLoopCalls {
  std::function<bool()> active;       // an activity is still on
  std::function<int()> readInterval;  // read afresh after every step
  std::function<void(bool firstStep)> step;
  std::function<void()> processEvents;  // may be empty
};

void RunStepLoop(Clock& clock, const StepLoopCalls& calls);

}  // namespace kestrova::continuous
