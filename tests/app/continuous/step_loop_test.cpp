#include "continuous/step_loop.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "fake_clock.hpp"

namespace kestrova::continuous {
namespace {

using testing::FakeClock;

struct Loop {
  FakeClock clock;
  bool active = true;
  int interval = 100;
  int stopAfterSteps = 4;
  int stepDuration = 0;
  std::int64_t stopAt = -1;  // the user stops at this time
  std::vector<std::int64_t> stepTimes;
  std::vector<bool> firstFlags;

  void Run() {
    const std::int64_t start = clock.now;
    StepLoopCalls calls;
    calls.active = [&] { return active; };
    calls.readInterval = [&] { return interval; };
    calls.step = [&](bool first) {
      stepTimes.push_back(clock.now - start);
      firstFlags.push_back(first);
      clock.now += stepDuration;
      if (static_cast<int>(stepTimes.size()) >= stopAfterSteps) {
        active = false;
      }
    };
    calls.processEvents = [&] {
      if (stopAt >= 0 && clock.now - start >= stopAt) {
        active = false;
      }
    };
    RunStepLoop(clock, calls);
  }
};

TEST(StepLoop, FirstStepAfter500MsThenEveryIntervalFromStepStart) {
  Loop loop;
  loop.Run();
  EXPECT_EQ(loop.stepTimes, (std::vector<std::int64_t>{500, 600, 700, 800}));
  EXPECT_EQ(loop.firstFlags, (std::vector<bool>{true, false, false, false}));
}

TEST(StepLoop, TheStepsOwnTimeCountsTowardsTheInterval) {
  Loop loop;
  loop.stepDuration = 30;
  loop.Run();
  EXPECT_EQ(loop.stepTimes, (std::vector<std::int64_t>{500, 600, 700, 800}));
}

TEST(StepLoop, AStepLongerThanTheIntervalIsFollowedAtOnce) {
  Loop loop;
  loop.stepDuration = 250;
  loop.stopAfterSteps = 3;
  loop.Run();
  // Each next step starts at the first check after the previous one: one pause later.
  EXPECT_EQ(loop.stepTimes, (std::vector<std::int64_t>{500, 751, 1002}));
}

TEST(StepLoop, AStopWithin500MsPerformsNoStep) {
  Loop loop;
  loop.stopAt = 499;
  loop.Run();
  EXPECT_TRUE(loop.stepTimes.empty());
  EXPECT_EQ(loop.clock.pauses, 500);  // one 1 ms pause per check, the last after the stop
}

TEST(StepLoop, ANewIntervalTakesEffectAfterTheNextStep) {
  FakeClock clock;
  const std::int64_t start = clock.now;
  std::vector<std::int64_t> steps;
  int interval = 100;
  StepLoopCalls calls;
  calls.active = [&] { return steps.size() < 4; };
  calls.readInterval = [&] { return interval; };
  calls.step = [&](bool) { steps.push_back(clock.now - start); };
  // The user sets 300 ms while waiting for the second step.
  calls.processEvents = [&] {
    if (clock.now - start == 550) {
      interval = 300;
    }
  };
  RunStepLoop(clock, calls);
  EXPECT_EQ(steps, (std::vector<std::int64_t>{500, 600, 900, 1200}));
}

TEST(StepLoop, NothingRunsWhenNothingIsActive) {
  Loop loop;
  loop.active = false;
  loop.Run();
  EXPECT_TRUE(loop.stepTimes.empty());
  EXPECT_EQ(loop.clock.pauses, 0);
}

}  // namespace
}  // namespace kestrova::continuous
