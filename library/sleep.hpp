// The waits of OpenDevice (board re-enumeration after a firmware download)
// go through here so tests can run them instantly and count them.
#pragma once

#include <functional>

namespace dravik {

// Waits ms milliseconds (default: std::this_thread::sleep_for).
void SleepMs(int ms);

// Replaces the wait; an empty function restores the real one.
using Sleeper = std::function<void(int ms)>;
void SetSleeperForTesting(Sleeper sleeper);

}  // namespace dravik
