// dravik-kernel-check: the guest side of the real-kernel rig. Each command
// runs one group of checks through libdravik's five exports and prints one
// line per check; the exit code is 1 when any check failed.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "smbus_checks.hpp"
#include "transcript.hpp"
#include "usb_checks.hpp"

namespace {

using namespace kestrova::kerneltest;

constexpr const char* kUsage =
    "usage: dravik-kernel-check COMMAND ARGS\n"
    "  smbus DRIVER NODE CHIP ABSENT      transfers, messages, limits\n"
    "  smbus-locked read|write DRIVER CHIP\n"
    "                                     while another process holds the lock\n"
    "  smbus-lock-freed DRIVER NODE CHIP  after the holder died\n"
    "  smbus-bench DRIVER NODE CHIP SECONDS\n"
    "  usb-open FIRMWARE CONTROL BUS CHIP download, re-enumeration, reopening\n"
    "  usb-transfers CONTROL BUS CHIP     board, chip, mixed, absent chip, stream\n"
    "  usb-timeout CONTROL BUS CHIP       a held-back response\n"

    "  usb-bench CONTROL BUS CHIP SECONDS\n"
    "  usb-transcript FIRMWARE CONTROL|in-process a|b\n"
    "                                     every result of a fixed call sequence\n";

uint8_t Address(const char* text) {
  return static_cast<uint8_t>(std::strtoul(text, nullptr, 0));
}

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    return Usage();
  }
  const std::string command = argv[1];
  if (command == "smbus" && argc == 6) {
    return RunSmbusChecks(SmbusTarget{argv[2], argv[3], Address(argv[4]), Address(argv[5])});
  }
  if (command == "smbus-locked" && argc == 5) {
    const std::string op = argv[2];
    if (op != "read" && op != "write") {
      return Usage();
    }
    return RunSmbusLockedChecks(SmbusTarget{argv[3], "", Address(argv[4]), 0}, op == "write");
  }
  if (command == "smbus-lock-freed" && argc == 5) {
    return RunSmbusLockFreedChecks(SmbusTarget{argv[2], argv[3], Address(argv[4]), 0});
  }
  if (command == "smbus-bench" && argc == 6) {
    return RunSmbusBench(SmbusTarget{argv[2], argv[3], Address(argv[4]), 0},
                         std::strtod(argv[5], nullptr));
  }
  if (command == "usb-transcript" && argc == 5) {
    const std::string control = argv[3];
    const std::string part = argv[4];
    if (part != "a" && part != "b") {
      return Usage();
    }
    return RunUsbTranscript({argv[2], control == "in-process" ? "" : control, part});
  }
  if (command.rfind("usb-", 0) == 0 && argc >= 5) {
    const bool withFirmware = command == "usb-open";
    const int first = withFirmware ? 3 : 2;
    if (argc < first + 3) {
      return Usage();
    }
    const UsbTarget target{argv[first],
                           static_cast<int16_t>(std::strtol(argv[first + 1], nullptr, 0)),
                           Address(argv[first + 2])};
    if (withFirmware && argc == 6) {
      return RunUsbOpenChecks(argv[2], target);
    }
    if (command == "usb-transfers" && argc == 5) {
      return RunUsbTransferChecks(target);
    }
    if (command == "usb-timeout" && argc == 5) {
      return RunUsbTimeoutChecks(target);
    }

    if (command == "usb-bench" && argc == 6) {
      return RunUsbBench(target, std::strtod(argv[5], nullptr));
    }
  }
  return Usage();
}
