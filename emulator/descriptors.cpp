#include "emulator/descriptors.hpp"

#include <string_view>

namespace kestrova::emulator {
namespace {

constexpr uint8_t kVendorSpecificClass = 0xFF;
constexpr uint8_t kControlMaxPacket = 64;
constexpr uint8_t kConfigurationValue = 1;
constexpr uint8_t kBusPowered = 0x80;
constexpr uint8_t kMaxPower100mA = 50;  // in 2 mA units
constexpr uint16_t kBcdDeviceCore = 0x0000;
constexpr uint16_t kBcdDeviceFirmware = 0x0100;

void PutWord(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

std::vector<uint8_t> StringDescriptor(std::string_view text) {
  std::vector<uint8_t> out;
  out.push_back(static_cast<uint8_t>(2 + 2 * text.size()));
  out.push_back(kDescriptorString);
  for (char c : text) {
    PutWord(out, static_cast<uint8_t>(c));
  }
  return out;
}

}  // namespace

const std::array<EndpointInfo, kFirmwareEndpointCount>& FirmwareEndpoints() {
  // The unused pairs stay declared (as on the real board) but the firmware
  // never arms them: transfers on them are answered with NAK.
  static const std::array<EndpointInfo, kFirmwareEndpointCount> endpoints{{
      {kCommandEndpoint, 2},
      {0x02, 2},
      {0x04, 2},
      {0x06, 2},
      {0x82, 2},
      {0x84, 2},
      {0x86, 2},
      {kResponseEndpoint, 2},
  }};
  return endpoints;
}

std::vector<uint8_t> BuildDeviceDescriptor(BoardClass boardClass, BoardIdentity identity,
                                           bool firmwareRunning) {
  const BoardClassTraits traits = TraitsOf(boardClass);
  std::vector<uint8_t> out;
  out.push_back(18);
  out.push_back(kDescriptorDevice);
  PutWord(out, traits.bcdUsb);
  out.push_back(kVendorSpecificClass);
  out.push_back(kVendorSpecificClass);
  out.push_back(kVendorSpecificClass);
  out.push_back(kControlMaxPacket);
  PutWord(out, identity.vendorId);
  PutWord(out, identity.productId);
  PutWord(out, firmwareRunning ? kBcdDeviceFirmware : kBcdDeviceCore);
  out.push_back(firmwareRunning ? kManufacturerStringIndex : 0);
  out.push_back(firmwareRunning ? kProductStringIndex : 0);
  out.push_back(0);  // no serial number
  out.push_back(1);  // one configuration
  return out;
}

std::vector<uint8_t> BuildConfigurationDescriptor(BoardClass boardClass, bool firmwareRunning) {
  const BoardClassTraits traits = TraitsOf(boardClass);
  // The bare core exposes its interface without endpoints: nothing can be
  // moved in bulk before the firmware runs.
  const size_t endpointCount = firmwareRunning ? kFirmwareEndpointCount : 0;
  const uint16_t total = static_cast<uint16_t>(9 + 9 + 7 * endpointCount);
  std::vector<uint8_t> out;
  out.push_back(9);
  out.push_back(kDescriptorConfiguration);
  PutWord(out, total);
  out.push_back(1);  // one interface
  out.push_back(kConfigurationValue);
  out.push_back(0);  // no string
  out.push_back(kBusPowered);
  out.push_back(kMaxPower100mA);

  out.push_back(9);
  out.push_back(kDescriptorInterface);
  out.push_back(0);  // interface number
  out.push_back(0);  // alternate setting
  out.push_back(static_cast<uint8_t>(endpointCount));
  out.push_back(kVendorSpecificClass);
  out.push_back(kVendorSpecificClass);
  out.push_back(kVendorSpecificClass);
  out.push_back(0);

  for (size_t i = 0; i < endpointCount; ++i) {
    const EndpointInfo& endpoint = FirmwareEndpoints()[i];
    out.push_back(7);
    out.push_back(kDescriptorEndpoint);
    out.push_back(endpoint.address);
    out.push_back(endpoint.attributes);
    PutWord(out, traits.bulkMaxPacket);
    out.push_back(0);  // interval, unused for bulk
  }
  return out;
}

std::optional<std::vector<uint8_t>> BuildStringDescriptor(uint8_t index, bool firmwareRunning) {
  if (index == 0) {
    std::vector<uint8_t> out{4, kDescriptorString};
    PutWord(out, kLanguageEnglishUs);
    return out;
  }
  if (!firmwareRunning) {
    return std::nullopt;
  }
  if (index == kManufacturerStringIndex) {
    return StringDescriptor(kManufacturerText);
  }
  if (index == kProductStringIndex) {
    return StringDescriptor(kProductText);
  }
  return std::nullopt;
}

}  // namespace kestrova::emulator
