// One USB gadget in the kernel's configfs tree: its device-descriptor
// fields, optional manufacturer/product strings, one configuration holding
// one FunctionFS function, and its binding to a device controller (UDC).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestrova::kerneltest {

struct GadgetIdentity {
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint16_t bcdDevice = 0;
  uint16_t bcdUsb = 0x0200;
  uint8_t deviceClass = 0xFF;
  // Without strings the device descriptor carries string indexes 0; with
  // them the kernel numbers manufacturer 1, product 2 (and serial 3).
  std::optional<std::string> manufacturer;
  std::optional<std::string> product;
};

class ConfigfsGadget {
 public:
  // name: the folder below /sys/kernel/config/usb_gadget; function: the
  // FunctionFS instance name (mounted with that name as its source).
  ConfigfsGadget(std::string name, std::string function);

  // Creates the folders, the configuration and the function link.
  bool Create(std::string* error);
  // Rewrites the descriptor fields; only while unbound.
  bool SetIdentity(const GadgetIdentity& identity, std::string* error);
  bool Bind(const std::string& udc, std::string* error);
  // Disconnects from the host; nothing happens when not bound.
  bool Unbind(std::string* error);

 private:
  std::string root_;
  std::string function_;
  bool bound_ = false;
};

// The first device controller the kernel offers (dummy_udc.0 in the rig).
std::optional<std::string> FirstUdc();

}  // namespace kestrova::kerneltest
