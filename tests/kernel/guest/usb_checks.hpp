// Checks of the USB link against the board gadget, through libusb and the
// kernel's USB host stack: enumeration, firmware download and
// re-enumeration, transfers of every kind, the time-out, throughput.
#pragma once

#include <cstdint>
#include <string>

namespace kestrova::kerneltest {

struct UsbTarget {
  std::string control;  // the gadget's control socket
  int16_t busType = 0;  // the bus of the transfers that need a chip
  uint8_t chip = 0;     // a chip on that bus
};

// OpenDevice on the bare board: download, re-enumeration, reopening.
int RunUsbOpenChecks(const std::string& firmware, const UsbTarget& target);
// Board registers, chip registers, a chip nobody answers for, mixed lists.
int RunUsbTransferChecks(const UsbTarget& target);
// The gadget holds back one response: the read times out with the library's
// message; the board then answers late, and the next transfer still gets its
// own data.
int RunUsbTimeoutChecks(const UsbTarget& target);
// Reads 58 registers per call for the given time and reports calls per second.
int RunUsbBench(const UsbTarget& target, double seconds);

}  // namespace kestrova::kerneltest
