#include "step_trace.hpp"

#include <chrono>
#include <cstdlib>

namespace kestrova::mainwindow {

namespace {

std::int64_t NowMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

StepTrace::StepTrace() {
  if (const char* path = std::getenv("KESTROVA_STEP_TRACE"); path != nullptr && *path != '\0') {
    file_ = std::fopen(path, "w");
  }
}

StepTrace::~StepTrace() {
  if (file_ != nullptr) {
    std::fclose(file_);
  }
}

void StepTrace::BeginStep() {
  if (file_ != nullptr) {
    start_ = NowMicroseconds();
  }
}

void StepTrace::EndStep() {
  if (file_ != nullptr) {
    // Flushed per line: a run that is killed keeps every step it made.
    std::fprintf(file_, "%lld\t%lld\n", static_cast<long long>(start_),
                 static_cast<long long>(NowMicroseconds() - start_));
    std::fflush(file_);
  }
}

}  // namespace kestrova::mainwindow
