#include "diagnostics.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace dravik {

void Diagnostic(const char* format, ...) {
  const char* enabled = std::getenv("DRAVIK_DEBUG");
  if (enabled == nullptr || enabled[0] == '\0') {
    return;
  }
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(stderr, format, arguments);
  va_end(arguments);
}

}  // namespace dravik
