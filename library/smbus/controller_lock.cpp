#include "smbus/controller_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace dravik::smbus {
namespace {

constexpr const char* kRunLockFolder = "/run/lock";
// Re-try interval while another process holds the controller.
constexpr auto kLockPollInterval = std::chrono::milliseconds(2);

std::string TempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return (tmp != nullptr && tmp[0] != '\0') ? tmp : "/tmp";
}

}  // namespace

std::string LockFilePath() {
  const char* custom = std::getenv("DRAVIK_SMBUS_LOCK");
  if (custom != nullptr && custom[0] != '\0') {
    return custom;
  }
  if (::access(kRunLockFolder, W_OK) == 0) {
    return std::string(kRunLockFolder) + "/" + kLockName;
  }
  return TempFolder() + "/" + kLockName;
}

ControllerLock::~ControllerLock() {
  Close();
}

bool ControllerLock::Create(const std::string& path) {
  Close();
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    // Another user's lock file may be read-only to us; flock works on it too.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  }
  if (fd_ >= 0) {
    // Other users share the controller: let them open the file too.
    ::fchmod(fd_, 0666);
  }
  return fd_ >= 0;
}

bool ControllerLock::Acquire(int timeoutMs) {
  if (fd_ < 0) {
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
      held_ = true;
      return true;
    }
    if (errno == EINTR) {
      continue;
    }
    if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(kLockPollInterval);
  }
}

bool ControllerLock::Release() {
  if (fd_ < 0 || !held_) {
    return false;
  }
  held_ = false;
  return ::flock(fd_, LOCK_UN) == 0;
}

bool ControllerLock::Close() {
  if (fd_ < 0) {
    return true;
  }
  const int fd = fd_;
  fd_ = -1;
  held_ = false;
  return ::close(fd) == 0;
}

}  // namespace dravik::smbus
