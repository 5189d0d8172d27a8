#include "last_error.hpp"

#include <cstring>

namespace dravik {
namespace {
char lastError[kLastErrorSize];
}

void SetLastError(const char* message) {
  size_t length = std::strlen(message);
  if (length >= kLastErrorSize) {
    length = kLastErrorSize - 1;
  }
  std::memcpy(lastError, message, length);
  lastError[length] = '\0';
}

const char* LastErrorBuffer() { return lastError; }

}  // namespace dravik
