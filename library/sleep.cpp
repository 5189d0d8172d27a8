#include "sleep.hpp"

#include <chrono>
#include <thread>
#include <utility>

namespace dravik {
namespace {

Sleeper& TestSleeper() {
  static Sleeper sleeper;
  return sleeper;
}

}  // namespace

void SleepMs(int ms) {
  if (TestSleeper()) {
    TestSleeper()(ms);
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SetSleeperForTesting(Sleeper sleeper) {
  TestSleeper() = std::move(sleeper);
}

}  // namespace dravik
