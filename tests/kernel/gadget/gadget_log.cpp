#include "gadget_log.hpp"

#include <chrono>
#include <cstdarg>
#include <cstdio>

namespace kestrova::kerneltest {

void Log(const char* format, ...) {
  using Clock = std::chrono::steady_clock;
  static const Clock::time_point start = Clock::now();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  char line[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  std::fprintf(stderr, "gadget %8.3f %s\n", seconds, line);
}

}  // namespace kestrova::kerneltest
