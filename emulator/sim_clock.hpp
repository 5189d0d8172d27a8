// The emulator's sense of time: seconds since the bench was built, or a
// manual clock that tests set and advance so simulated values repeat.
#pragma once

#include <chrono>

namespace kestrova::emulator {

class SimClock {
 public:
  SimClock() : start_(std::chrono::steady_clock::now()) {}

  double Seconds() const {
    if (manual_) {
      return manualSeconds_;
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }
  void SetManual(double seconds) {
    manual_ = true;
    manualSeconds_ = seconds;
  }
  void Advance(double seconds) { SetManual(Seconds() + seconds); }

 private:
  std::chrono::steady_clock::time_point start_;
  bool manual_ = false;
  double manualSeconds_ = 0;
};

}  // namespace kestrova::emulator
