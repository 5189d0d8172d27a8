// The library's last-error text: one 256-byte buffer for the process. A
// failure copies its message, terminator included, over the start; bytes
// behind the terminator keep what an older, longer message left there. A
// success never touches it.
#pragma once

#include <cstddef>

namespace dravik {

constexpr std::size_t kLastErrorSize = 256;

// Stores a failure's message. A message longer than 255 characters keeps its
// first 255 so the terminator still fits.
void SetLastError(const char* message);

// Copies all 256 bytes, tail included.
void CopyLastError(char* buffer);

// Zeroes the buffer as at load time; tests start from a known text.
void ResetLastErrorForTesting();

}  // namespace dravik
