// One face of the board as a USB gadget: a gadget in the kernel's configfs
// tree holding one FunctionFS function, and the FunctionFS instance this
// program serves it through. FunctionFS hands out ep0 (events and control
// data, vendor requests to the device included) and one file per endpoint,
// found here by the endpoint address the board's own descriptors give it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kestrova::kerneltest {

class GadgetFace {
 public:
  // name: the folder below /sys/kernel/config/usb_gadget, the FunctionFS
  // instance and its mount point below /dev.
  explicit GadgetFace(std::string name) : name_(std::move(name)) {}

  // Creates the gadget with one configuration holding the function, gives
  // the function the interface and endpoints of the board's configuration
  // descriptor (full- and high-speed sets), then opens ep0 and every
  // endpoint file.
  bool Create(const std::vector<uint8_t>& configuration, std::string* error);
  // Gives the gadget the fields and strings of the board's device
  // descriptor and binds it to the device controller udc.
  bool Bind(const std::vector<uint8_t>& device, const std::string& udc, std::string* error);
  // Disconnects from the host; the kernel refuses it when not bound.
  void Unbind();

  int Ep0() const { return ep0_; }
  // The file of the endpoint with this board address.
  int Endpoint(uint8_t address) const { return endpoints_.at(address); }

 private:
  std::string name_;
  int ep0_ = -1;
  std::map<uint8_t, int> endpoints_;
};

// The first device controller the kernel offers (dummy_udc.0 in the rig);
// empty when there is none.
std::string FirstUdc();

}  // namespace kestrova::kerneltest
