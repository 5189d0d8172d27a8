// The library's diagnostic lines: printf-style, to standard output, only when
// DRAVIK_DEBUG is set (a windowed host never shows them anyway).
#pragma once

namespace dravik {

void Diagnostic(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace dravik
