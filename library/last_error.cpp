#include "last_error.hpp"

#include <cstring>

namespace dravik {
namespace {

char lastError[kLastErrorSize] = {};

}  // namespace

void SetLastError(const char* message) {
  if (message == nullptr) {
    message = "";
  }
  std::size_t length = std::strlen(message);
  if (length > kLastErrorSize - 1) {
    length = kLastErrorSize - 1;
  }
  std::memcpy(lastError, message, length);
  lastError[length] = '\0';
}

void CopyLastError(char* buffer) {
  std::memcpy(buffer, lastError, kLastErrorSize);
}

void ResetLastErrorForTesting() {
  std::memset(lastError, 0, kLastErrorSize);
}

}  // namespace dravik
