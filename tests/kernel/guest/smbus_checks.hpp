// Checks of the SMBus link against a real kernel adapter (i2c-stub, or the
// ICH controller of the virtual machine): transfers land in the adapter's
// chip, failures carry the library's messages, the controller lock holds
// across processes.
#pragma once

#include <cstdint>
#include <string>

namespace kestrova::kerneltest {

struct SmbusTarget {
  std::string driverName;  // as handed to OpenDevice ("/dev/i2c-0", "i2c-")
  std::string node;        // the same adapter's device node, for the raw witness
  uint8_t chip = 0;        // an address with a chip behind it
  uint8_t absent = 0;      // an address nobody answers
};

int RunSmbusChecks(const SmbusTarget& target);
// Run while another process holds the controller lock: the transfer must
// wait its 10 s and fail with the lock message (the guest script checks the
// kernel's SMBus trace for anything sent meanwhile).
int RunSmbusLockedChecks(const SmbusTarget& target, bool write);
// Run after the lock holder was killed: the lock is free again at once.
int RunSmbusLockFreedChecks(const SmbusTarget& target);
// Reads 58 registers per call for the given time and reports calls per second.
int RunSmbusBench(const SmbusTarget& target, double seconds);

}  // namespace kestrova::kerneltest
