#pragma once
// The USB evaluation boards attached, as `sigrok-cli --scan` lists devices:
// the devices of libdravik's board vendor list (0400 and the EZ-USB boot
// vendor 04b4, more with DRAVIK_USB_VIDS), hubs excluded, each with its ID,
// where it is plugged in (the bus and port path DRAVIK_USB_BOARD and
// `--board` take), its serial number and whether it runs the evaluation
// firmware.

#include <cstdint>
#include <string>
#include <vector>

namespace kestrova::tools {

struct UsbBoard {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  int bus = 0;
  int address = 0;
  std::string port;  // "1-2.3"
  std::string product;
  std::string serial;  // empty when the board has none or cannot be opened
  bool firmwareRunning = false;
  // Why the board could not be opened to read its strings; empty when it could.
  std::string problem;
};

// The boards libdravik would consider; `problem` says why none can be listed
// (libusb cannot start).
std::vector<UsbBoard> ListUsbBoards(std::string& problem);

}  // namespace kestrova::tools
