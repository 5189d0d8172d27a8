// The library's last-error text: 256 bytes, NUL-terminated, zero at load.
// A failure copies its message, terminator included, to the start; the bytes
// behind the terminator keep what a longer, earlier message left there. A
// success never clears it.
#pragma once

#include <cstddef>

namespace dravik {

constexpr size_t kLastErrorSize = 256;

void SetLastError(const char* message);
// The whole 256-byte buffer.
const char* LastErrorBuffer();

}  // namespace dravik
