// The gadget's log: one line per event on standard error, with the time
// since start, so the guest script and a reader can follow the conversation.
#pragma once

namespace kestrova::kerneltest {

void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kestrova::kerneltest
