// The library's one diagnostic call: printf-style lines on standard output,
// written only when DRAVIK_DEBUG is set (a windowed host never shows them).
#pragma once

namespace dravik {

void Diagnostic(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace dravik
