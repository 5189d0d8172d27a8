// The lock that serialises every request to the SMBus controller with any
// other program using it: an advisory flock on a shared lock file, held only
// for the duration of one driver call. A holder that dies drops the lock,
// which counts as the abandoned-holder success.
#pragma once

#include <string>

namespace dravik::smbus {

// Name of the lock file, shared with other programs using the controller.
inline constexpr const char* kLockName = "Access_SMBUS.HTP.Method";
// How long a transfer waits for another holder.
constexpr int kLockWaitMs = 10000;

// /run/lock/Access_SMBUS.HTP.Method, or the same name in the temp folder when
// /run/lock is not writable; DRAVIK_SMBUS_LOCK names another file (tests).
std::string LockFilePath();

class ControllerLock {
 public:
  ControllerLock() = default;
  ControllerLock(const ControllerLock&) = delete;
  ControllerLock& operator=(const ControllerLock&) = delete;
  ~ControllerLock();

  // Opens (creating when missing) the lock file; false when it cannot.
  bool Create(const std::string& path);
  // Waits up to timeoutMs for ownership.
  bool Acquire(int timeoutMs);
  bool Release();
  // Closes the lock file; false when the close failed.
  bool Close();

 private:
  int fd_ = -1;
  bool held_ = false;
};

// Ownership for one driver call: released explicitly so a failed release can
// be reported, and by the destructor on any other way out.
class LockOwnership {
 public:
  explicit LockOwnership(ControllerLock& lock) : lock_(lock) {}
  LockOwnership(const LockOwnership&) = delete;
  LockOwnership& operator=(const LockOwnership&) = delete;
  ~LockOwnership() {
    if (!released_) {
      lock_.Release();
    }
  }
  bool Release() {
    released_ = true;
    return lock_.Release();
  }

 private:
  ControllerLock& lock_;
  bool released_ = false;
};

}  // namespace dravik::smbus
