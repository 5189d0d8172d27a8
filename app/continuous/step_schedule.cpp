#include "continuous/step_schedule.hpp"

#include <algorithm>

namespace kestrova::continuous {

int StepSchedule::Start() {
  running_ = true;
  firstStep_ = true;
  return kFirstStepDelayMs;
}

bool StepSchedule::BeginStep(std::int64_t now) {
  stepStart_ = now;
  const bool first = firstStep_;
  firstStep_ = false;
  return first;
}

int StepSchedule::DelayAfterStep(std::int64_t now, std::int32_t readInterval) const {
  const std::int64_t due = stepStart_ + readInterval;
  return static_cast<int>(std::max<std::int64_t>(0, due - now));
}

}  // namespace kestrova::continuous
