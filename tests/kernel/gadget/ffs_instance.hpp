// One FunctionFS instance: the file system that lets this program serve a
// USB function. It is mounted, given the interface and endpoint
// descriptors, and then hands out ep0 (events and control data) and one
// file per endpoint ("ep1", "ep2", ... in descriptor order), found here by
// the endpoint address the board's own descriptors give it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kestrova::kerneltest {

class FfsInstance {
 public:
  // name: the instance name of functions/ffs.<name>; mountPoint: where to mount it.
  FfsInstance(std::string name, std::string mountPoint);
  ~FfsInstance();
  FfsInstance(const FfsInstance&) = delete;
  FfsInstance& operator=(const FfsInstance&) = delete;

  // Mounts the instance, writes the descriptors taken from a configuration
  // descriptor (its interface and endpoint descriptors, full- and high-speed
  // sets) and opens ep0 and every endpoint file. Vendor requests to the
  // device reach ep0 too.
  bool Start(const std::vector<uint8_t>& configurationDescriptor, std::string* error);

  int Ep0() const { return ep0_; }
  // The file of the endpoint with this board address; -1 when it has none.
  int Endpoint(uint8_t address) const;
  // wMaxPacketSize of the endpoint at high speed (0 when absent).
  uint16_t MaxPacket(uint8_t address) const;

 private:
  std::string name_;
  std::string mountPoint_;
  int ep0_ = -1;
  std::map<uint8_t, int> endpoints_;
  std::map<uint8_t, uint16_t> maxPacket_;
};

}  // namespace kestrova::kerneltest
