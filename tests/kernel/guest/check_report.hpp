// One line per check for the guest script to relay: "ok   <name>: <detail>"
// or "FAIL <name>: <detail>"; the exit code says whether any check failed.
#pragma once

#include <cstdio>
#include <string>

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
  void Metric(const std::string& name, double value, const char* unit) {
    std::printf("metric %s %.1f %s\n", name.c_str(), value, unit);
    std::fflush(stdout);
  }
  int ExitCode() const { return failed_ ? 1 : 0; }

 private:
  bool failed_ = false;
};

}  // namespace kestrova::kerneltest
