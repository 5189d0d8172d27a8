#include "usb_boards.hpp"

#include <libusb.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <sstream>

namespace kestrova::tools {

namespace {

// String indexes of a board that runs the evaluation firmware.
constexpr std::uint8_t kFirmwareManufacturer = 1;
constexpr std::uint8_t kFirmwareProduct = 2;
constexpr int kMaxPorts = 7;

std::string PortPath(libusb_device* device) {
  std::uint8_t ports[kMaxPorts] = {};
  const int count = libusb_get_port_numbers(device, ports, kMaxPorts);
  std::string path = std::to_string(libusb_get_bus_number(device));
  for (int i = 0; i < count; ++i) {
    path += (i == 0 ? "-" : ".") + std::to_string(ports[i]);
  }
  return path;
}

std::string StringDescriptor(libusb_device_handle* handle, std::uint8_t index) {
  unsigned char text[128] = {};
  if (index == 0 || libusb_get_string_descriptor_ascii(handle, index, text, sizeof text - 1) <= 0) {
    return {};
  }
  return reinterpret_cast<const char*>(text);
}

std::string OpenProblem(int status) {
  std::string text = libusb_strerror(static_cast<libusb_error>(status));
  if (status == LIBUSB_ERROR_ACCESS) {
    text +=
        " (install packaging/60-kestrova.rules into /etc/udev/rules.d, then sudo udevadm "
        "control --reload-rules && sudo udevadm trigger, and plug the board in again)";
  }
  return text;
}

struct ContextCloser {
  void operator()(libusb_context* context) const { libusb_exit(context); }
};

// The vendor IDs of the board list: 0400, 04b4, then those of `extra`
// ("hex,hex"; entries that are not hexadecimal IDs are left out), as
// libdravik reads DRAVIK_USB_VIDS.
std::vector<std::uint16_t> BoardVendors(const char* extra) {
  std::vector<std::uint16_t> vendors = {0x0400, 0x04B4};
  std::istringstream entries(extra != nullptr ? extra : "");
  for (std::string entry; std::getline(entries, entry, ',');) {
    entry.erase(0, entry.find_first_not_of(" \t"));
    entry.erase(entry.find_last_not_of(" \t") + 1);
    char* end = nullptr;
    const unsigned long id = std::strtoul(entry.c_str(), &end, 16);
    const bool whole =
        !entry.empty() && *end == '\0' && entry.find_first_of("+-") == std::string::npos;
    if (whole && id <= 0xFFFF && std::find(vendors.begin(), vendors.end(), id) == vendors.end()) {
      vendors.push_back(static_cast<std::uint16_t>(id));
    }
  }
  return vendors;
}

}  // namespace

std::vector<UsbBoard> ListUsbBoards(std::string& problem) {
  std::vector<UsbBoard> boards;
  libusb_context* raw = nullptr;
  if (const int status = libusb_init(&raw); status != 0) {
    problem =
        std::string("libusb cannot start: ") + libusb_strerror(static_cast<libusb_error>(status));
    return boards;
  }
  const std::unique_ptr<libusb_context, ContextCloser> context(raw);
  const std::vector<std::uint16_t> vendors = BoardVendors(std::getenv("DRAVIK_USB_VIDS"));
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(raw, &list);
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(list[i], &descriptor) != 0 ||
        descriptor.bDeviceClass == LIBUSB_CLASS_HUB ||
        std::find(vendors.begin(), vendors.end(), descriptor.idVendor) == vendors.end()) {
      continue;
    }
    UsbBoard board;
    board.vendorId = descriptor.idVendor;
    board.productId = descriptor.idProduct;
    board.bus = libusb_get_bus_number(list[i]);
    board.address = libusb_get_device_address(list[i]);
    board.port = PortPath(list[i]);
    board.firmwareRunning = descriptor.iManufacturer == kFirmwareManufacturer &&
                            descriptor.iProduct == kFirmwareProduct;
    libusb_device_handle* handle = nullptr;
    if (const int status = libusb_open(list[i], &handle); status != 0) {
      board.problem = OpenProblem(status);
    } else {
      board.product = StringDescriptor(handle, descriptor.iProduct);
      board.serial = StringDescriptor(handle, descriptor.iSerialNumber);
      libusb_close(handle);
    }
    boards.push_back(std::move(board));
  }
  if (count >= 0) {  // an empty list is still allocated
    libusb_free_device_list(list, 1);
  }
  std::sort(boards.begin(), boards.end(),
            [](const UsbBoard& a, const UsbBoard& b) { return a.port < b.port; });
  return boards;
}

}  // namespace kestrova::tools
