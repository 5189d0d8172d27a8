// The library's one diagnostic call: printf-style lines on standard error,
// written only when DRAVIK_DEBUG is set, so they never mix with a tool's data
// or JSON on standard output.
#pragma once

namespace dravik {

void Diagnostic(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace dravik
