#pragma once
// A record of the read loop's steps for measured runs (scripts/measure-continuous):
// with KESTROVA_STEP_TRACE naming a file, every step appends one line, its
// start on the monotonic clock and its length, in microseconds, separated by
// a tab. Without the variable nothing is opened and nothing is timed.

#include <cstdint>
#include <cstdio>

namespace kestrova::mainwindow {

class StepTrace {
 public:
  StepTrace();
  ~StepTrace();
  StepTrace(const StepTrace&) = delete;
  StepTrace& operator=(const StepTrace&) = delete;

  void BeginStep();
  void EndStep();

 private:
  std::FILE* file_ = nullptr;
  std::int64_t start_ = 0;
};

}  // namespace kestrova::mainwindow
