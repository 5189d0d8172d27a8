// A fixed sequence of library calls whose every result is printed, one line
// per call: run once over the kernel's USB stack against the board gadget
// and once against the in-process emulated board (DRAVIK_EMULATOR=1), the two
// transcripts must read the same. Part "a" covers the transfer kinds and the
// short and long response faults; part "b" the board dropping off the bus.
// Only what the calls themselves set is compared: no live temperatures, no
// stream (the gadget's bench has streamed before).
#pragma once

#include <string>

namespace kestrova::kerneltest {

struct TranscriptSetup {
  std::string firmware;
  std::string control;  // the gadget's control socket; empty in-process
  std::string part;     // "a" or "b"
};

// The faults a part arms first: through the control socket on the gadget,
// through DRAVIK_EMULATOR_FAULTS in-process.
const char* TranscriptFaults(const std::string& part);

// In-process (no control socket) selects the emulated board itself.
int RunUsbTranscript(const TranscriptSetup& setup);

}  // namespace kestrova::kerneltest
