// The kernel's own view of the board: the USB device in sysfs whose vendor
// ID is one of the board vendors, with its raw descriptors and strings.
// Independent of libusb and of the library.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::kerneltest {

struct SysfsUsbDevice {
  std::string path;  // /sys/bus/usb/devices/<port>
  int bus = 0;
  int address = 0;                   // devnum: a re-enumerated board gets a new one
  std::vector<uint8_t> descriptors;  // device descriptor, then the configuration
  std::string manufacturer;          // empty when the device has none
  std::string product;

  uint16_t Word(size_t offset) const {
    return static_cast<uint16_t>(descriptors[offset] | descriptors[offset + 1] << 8);
  }
  uint16_t BcdUsb() const { return Word(2); }
  uint16_t VendorId() const { return Word(8); }
  uint16_t ProductId() const { return Word(10); }
  uint8_t ManufacturerIndex() const { return descriptors[14]; }
  uint8_t ProductIndex() const { return descriptors[15]; }
  uint8_t SerialIndex() const { return descriptors[16]; }
  // Endpoint addresses of the configuration, in descriptor order.
  std::vector<uint8_t> EndpointAddresses() const;
  std::string Describe() const;
};

// The first device with a board vendor ID (0x0400 or 0x04B4), if any.
std::optional<SysfsUsbDevice> FindBoard();
// Waits up to timeoutMs for a board to be present.
std::optional<SysfsUsbDevice> WaitForBoard(int timeoutMs);

}  // namespace kestrova::kerneltest
