#include "diagnostic.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace dravik {

void Diagnostic(const char* format, ...) {
  static const bool enabled = std::getenv("DRAVIK_DEBUG") != nullptr;
  if (!enabled) {
    return;
  }
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
}

}  // namespace dravik
