// dravik-kernel-check: the guest side of the real-kernel rig. Each command
// runs one group of checks through libdravik's five exports and prints one
// line per check; the exit code is 1 when any check failed.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "check_report.hpp"
#include "checks.hpp"

namespace {

using namespace kestrova::kerneltest;

constexpr const char* kUsage =
    "usage: dravik-kernel-check COMMAND ARGS\n"
    "  smbus DRIVER NODE CHIP ABSENT      transfers, a 16-bit register, an absent chip\n"
    "  smbus-locked read|write DRIVER CHIP\n"
    "                                     while another process holds the lock\n"
    "  usb-transcript FIRMWARE CONTROL|in-process a|b\n"
    "                                     every result of a fixed call sequence\n"
    "  bench smbus|usb DRIVER BUS CHIP SECONDS\n"
    "                                     58-register reads per second\n";

uint8_t Address(const char* text) {
  return static_cast<uint8_t>(std::strtoul(text, nullptr, 0));
}

// Reads 58 registers per call for the given time and reports calls per second.
int RunBench(int16_t link, const std::string& driver, int16_t bus, uint8_t chip, double seconds) {
  CheckReport report;
  const Opened open = Open(link, driver);
  if (!report.Check(open.ok, "open", open.detail)) {
    return report.ExitCode();
  }
  int calls = 0;
  std::string firstError;
  const double start = NowMs();
  for (; NowMs() - start < seconds * 1000; ++calls) {
    const Transfer t = Read(open.handle, bus, chip, RegisterRange(0, 58));
    firstError = firstError.empty() ? t.error : firstError;
  }
  report.Check(firstError.empty(), "bench-reads",
               std::to_string(calls) + " reads of 58 registers " + firstError);
  report.Metric("58-register-reads-per-s " + driver, calls * 1000.0 / (NowMs() - start), "calls/s");
  CloseDevice(open.handle);
  return report.ExitCode();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  const std::string op = argc > 2 ? argv[2] : "";
  if (command == "smbus" && argc == 6) {
    return RunSmbusChecks(SmbusTarget{argv[2], argv[3], Address(argv[4]), Address(argv[5])});
  }
  if (command == "smbus-locked" && argc == 5 && (op == "read" || op == "write")) {
    return RunSmbusLockedChecks(SmbusTarget{argv[3], "", Address(argv[4]), 0}, op == "write");
  }
  const std::string part = argc > 4 ? argv[4] : "";
  if (command == "usb-transcript" && argc == 5 && (part == "a" || part == "b")) {
    return RunUsbTranscript({argv[2], argv[3] == std::string("in-process") ? "" : argv[3], part});
  }
  if (command == "bench" && argc == 7 && (op == "smbus" || op == "usb")) {
    return RunBench(op == "usb" ? LINK_USB : LINK_SMBUS, argv[3],
                    static_cast<int16_t>(std::strtol(argv[4], nullptr, 0)), Address(argv[5]),
                    std::strtod(argv[6], nullptr));
  }
  std::fputs(kUsage, stderr);
  return 2;
}
