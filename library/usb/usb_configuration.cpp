#include "usb/usb_configuration.hpp"

namespace dravik::usb {

std::unique_ptr<UsbConfiguration> UsbConfiguration::Parse(const uint8_t* bytes, size_t length,
                                                          Driver* driver) {
  if (bytes == nullptr || length < kConfigurationHeaderSize ||
      bytes[0] < kConfigurationHeaderSize || bytes[1] != kDescriptorTypeConfiguration) {
    return nullptr;
  }
  auto configuration = std::make_unique<UsbConfiguration>();
  configuration->wTotalLength_ = ReadLe16(bytes + 2);
  configuration->bNumInterfaces_ = bytes[4];
  configuration->bConfigurationValue_ = bytes[5];
  configuration->iConfiguration_ = bytes[6];
  configuration->bmAttributes_ = bytes[7];
  configuration->maxPower_ = bytes[8];
  if (configuration->wTotalLength_ < length) {
    length = configuration->wTotalLength_;
  }

  UsbInterface* current = nullptr;
  size_t position = bytes[0];
  while (position + 2 <= length) {
    const uint8_t descriptorLength = bytes[position];
    const uint8_t descriptorType = bytes[position + 1];
    if (descriptorLength < 2 || position + descriptorLength > length) {
      break;  // a zero or overlong length would walk off the descriptor
    }
    const uint8_t* d = bytes + position;
    if (descriptorType == kDescriptorTypeInterface &&
        descriptorLength >= kInterfaceDescriptorSize) {
      InterfaceDescriptor interface { d[2], d[3], d[4], d[5], d[6], d[7], d[8] };
      configuration->interfaces_.push_back(std::make_unique<UsbInterface>(interface));
      current = configuration->interfaces_.back().get();
    } else if (descriptorType == kDescriptorTypeEndpoint &&
               descriptorLength >= kEndpointDescriptorSize && current != nullptr &&
               current->EndpointCount() < current->Descriptor().bNumEndpoints &&
               current->EndpointCount() < kMaxEndpointsPerInterface) {
      EndpointDescriptor endpoint{d[0], d[1], d[2], d[3], ReadLe16(d + 4), d[6]};
      current->AddEndpoint(std::make_unique<UsbEndpoint>(driver, endpoint));
    }
    position += descriptorLength;
  }
  return configuration;
}

}  // namespace dravik::usb
