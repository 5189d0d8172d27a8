// A configuration of an open board and its interfaces, built from the
// configuration descriptor: each interface owns one endpoint object per
// endpoint descriptor that follows it, in descriptor order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "usb/usb_endpoint.hpp"

namespace dravik::usb {

constexpr uint8_t kDescriptorTypeDevice = 1;
constexpr uint8_t kDescriptorTypeConfiguration = 2;
constexpr uint8_t kDescriptorTypeString = 3;
constexpr uint8_t kDescriptorTypeInterface = 4;
constexpr uint8_t kDescriptorTypeEndpoint = 5;
constexpr size_t kConfigurationHeaderSize = 9;
constexpr size_t kInterfaceDescriptorSize = 9;
constexpr size_t kEndpointDescriptorSize = 7;
// The endpoint list has room for 16 entries, entry 0 being the control endpoint.
constexpr size_t kMaxEndpointsPerInterface = 15;

struct InterfaceDescriptor {
  uint8_t bInterfaceNumber = 0;
  uint8_t bAlternateSetting = 0;
  uint8_t bNumEndpoints = 0;
  uint8_t bInterfaceClass = 0;
  uint8_t bInterfaceSubClass = 0;
  uint8_t bInterfaceProtocol = 0;
  uint8_t iInterface = 0;
};

class UsbInterface {
 public:
  explicit UsbInterface(const InterfaceDescriptor& descriptor) : descriptor_(descriptor) {}
  const InterfaceDescriptor& Descriptor() const { return descriptor_; }
  size_t EndpointCount() const { return endpoints_.size(); }
  UsbEndpoint* EndpointAt(size_t i) const { return endpoints_[i].get(); }
  void AddEndpoint(std::unique_ptr<UsbEndpoint> endpoint) {
    endpoints_.push_back(std::move(endpoint));
  }

 private:
  InterfaceDescriptor descriptor_;
  std::vector<std::unique_ptr<UsbEndpoint>> endpoints_;
};

class UsbConfiguration {
 public:
  // Builds a configuration from its descriptor bytes (header first); the
  // endpoints use driver. Malformed descriptors end the walk where they
  // start; nullptr when even the header is not a configuration descriptor.
  static std::unique_ptr<UsbConfiguration> Parse(const uint8_t* bytes, size_t length,
                                                 Driver* driver);

  uint16_t TotalLength() const { return wTotalLength_; }
  uint8_t ConfigurationValue() const { return bConfigurationValue_; }
  uint8_t Attributes() const { return bmAttributes_; }
  uint8_t MaxPower() const { return maxPower_; }
  size_t InterfaceCount() const { return interfaces_.size(); }
  UsbInterface* InterfaceAt(size_t i) const { return interfaces_[i].get(); }

 private:
  uint16_t wTotalLength_ = 0;
  uint8_t bNumInterfaces_ = 0;
  uint8_t bConfigurationValue_ = 0;
  uint8_t iConfiguration_ = 0;
  uint8_t bmAttributes_ = 0;
  uint8_t maxPower_ = 0;
  std::vector<std::unique_ptr<UsbInterface>> interfaces_;
};

}  // namespace dravik::usb
