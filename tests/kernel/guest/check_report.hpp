// One line per check for the guest script to relay: "ok   <name>: <detail>"
// or "FAIL <name>: <detail>"; the exit code says whether any check failed.
#pragma once

#include <cstdio>
#include <string>

#include "library_calls.hpp"

namespace kestrova::kerneltest {

class CheckReport {
 public:
  // Reports one check; returns ok so callers can stop a dependent sequence.
  bool Check(bool ok, const std::string& name, const std::string& detail) {
    std::printf("%s %s: %s\n", ok ? "ok  " : "FAIL", name.c_str(), detail.c_str());
    std::fflush(stdout);
    failed_ = failed_ || !ok;
    return ok;
  }
  // A transfer that must fail with this message.
  bool Fails(const Transfer& t, const std::string& name, const std::string& message) {
    return Check(!t.ok && t.error == message, name,
                 t.ok ? "succeeded, expected \"" + message + "\"" : "\"" + t.error + "\"");
  }
  bool Close(DeviceHandle handle) {
    const bool closed = CloseDevice(handle) == 1;
    return Check(closed, "close", closed ? "closed" : LastError());
  }
  void Metric(const std::string& name, double value, const char* unit) {
    std::printf("metric %s %.1f %s\n", name.c_str(), value, unit);
    std::fflush(stdout);
  }
  int ExitCode() const { return failed_ ? 1 : 0; }

 private:
  bool failed_ = false;
};

}  // namespace kestrova::kerneltest
