#include "continuous/step_loop.hpp"

#include <cstdint>

namespace kestrova::continuous {

void RunStepLoop(Clock& clock, const StepLoopCalls& calls) {
  std::int64_t stepStart = clock.NowMilliseconds();
  std::int64_t threshold = kFirstStepDelayMs;
  bool firstStep = true;
  while (calls.active()) {
    const std::int64_t now = clock.NowMilliseconds();
    if (now - stepStart >= threshold) {
      stepStart = now;
      calls.step(firstStep);
      firstStep = false;
      threshold = calls.readInterval();
    }
    if (calls.processEvents) {
      calls.processEvents();
    }
    clock.SleepMilliseconds(kIdlePauseMs);
  }
}

}  // namespace kestrova::continuous
