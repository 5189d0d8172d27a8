// One face of the board as a USB gadget: a gadget in the kernel's configfs
// tree (its device-descriptor fields, optional manufacturer/product strings,
// one configuration holding one FunctionFS function) and the FunctionFS
// instance this program serves it through. FunctionFS hands out ep0 (events
// and control data, vendor requests to the device included) and one file per
// endpoint, found here by the endpoint address the board's own descriptors
// give it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

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

class GadgetFace {
 public:
  // name: the folder below /sys/kernel/config/usb_gadget, the FunctionFS
  // instance (with '_' for '-') and its mount point below /dev.
  explicit GadgetFace(const std::string& name);
  ~GadgetFace();
  GadgetFace(const GadgetFace&) = delete;
  GadgetFace& operator=(const GadgetFace&) = delete;

  // Creates the gadget, mounts its function and gives it the interface and
  // endpoint descriptors of a configuration descriptor (full- and high-speed
  // sets), then opens ep0 and every endpoint file.
  bool Create(const std::vector<uint8_t>& configurationDescriptor, std::string* error);
  // Rewrites the descriptor fields; only while unbound.
  bool SetIdentity(const GadgetIdentity& identity, std::string* error);
  bool Bind(const std::string& udc, std::string* error);
  // Disconnects from the host; nothing happens when not bound.
  bool Unbind(std::string* error);

  int Ep0() const { return ep0_; }
  // The file of the endpoint with this board address; -1 when it has none.
  int Endpoint(uint8_t address) const;

 private:
  std::string root_;
  std::string function_;
  std::string mountPoint_;
  bool bound_ = false;
  int ep0_ = -1;
  std::map<uint8_t, int> endpoints_;
};

// The first device controller the kernel offers (dummy_udc.0 in the rig).
std::optional<std::string> FirstUdc();

}  // namespace kestrova::kerneltest
