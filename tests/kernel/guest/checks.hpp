// The groups of checks dravik-kernel-check runs, each printing one line per
// check (CheckReport) and returning its exit code.
#pragma once

#include <cstdint>
#include <string>

namespace kestrova::kerneltest {

// ---- SMBus: a real kernel adapter (i2c-stub, or the ICH controller of the
// virtual machine): transfers land in the adapter's chip, failures carry the
// library's messages, the controller lock holds across processes.
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

// ---- USB: the board gadget through libusb and the kernel's USB host stack.
// A fixed sequence of library calls whose every result is printed, one line
// per call: run once over the kernel's USB stack against the board gadget
// and once against the in-process emulated board (DRAVIK_EMULATOR=1), the two
// transcripts must read the same. Part "a" covers the transfer kinds and the
// short and long response faults, a chip nobody answers for and the stream
// (read here first); part "b" the board dropping off the bus. Only what the
// calls themselves set is compared: no live temperatures.
struct TranscriptSetup {
  std::string firmware;
  std::string control;  // the gadget's control pipe; empty in-process
  std::string part;     // "a" or "b"
};
int RunUsbTranscript(const TranscriptSetup& setup);

}  // namespace kestrova::kerneltest
