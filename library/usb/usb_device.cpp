#include "usb/usb_device.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "drivers.hpp"
#include "last_error.hpp"
#include "packet_trace.hpp"
#include "usb/traced_driver.hpp"
#include "usb/usb_configuration.hpp"
#include "usb/usb_endpoint.hpp"

namespace dravik::usb {
namespace {

constexpr uint8_t kRequestGetDescriptor = 6;
constexpr uint8_t kRequestFirmwareLoad = 0xA0;
constexpr uint16_t kCpuControlFullSpeed = 0x7F92;  // EZ-USB: CPUCS
constexpr uint16_t kCpuControlHighSpeed = 0xE600;  // FX2: CPUCS
constexpr uint16_t kHighSpeedBcdUsb = 0x0200;
constexpr int32_t kChunkFullSpeed = 512;
constexpr int32_t kChunkHighSpeed = 4096;
constexpr uint16_t kLanguageUsEnglish = 0x0409;
constexpr size_t kIdentityOffset = 0x0F08;
constexpr uint32_t kBusSpeedHigh = 2;
constexpr uint32_t kDriverQueryTimeoutMs = 5000;
constexpr size_t kDeviceDescriptorSize = 18;

}  // namespace

UsbDevice::UsbDevice(DriverClass* driverClass) : driverClass_(driverClass) {}

UsbDevice::~UsbDevice() {
  Close();
}

uint8_t UsbDevice::DeviceCount() {
  if (driverClass_ == nullptr) {
    return 0;
  }
  return static_cast<uint8_t>(std::clamp(driverClass_->Count(), 0, 255));
}

bool UsbDevice::Open(uint8_t n) {
  if (IsOpen()) {
    Close();
  }
  const uint8_t count = DeviceCount();
  if (count == 0 || n >= count) {
    return false;
  }
  std::unique_ptr<Driver> driver = driverClass_->Open(n);
  if (driver == nullptr) {
    return false;
  }
  // Every request of this board goes through the trace when it is on.
  if (TraceEnabled()) {
    driver = std::make_unique<TracedDriver>(std::move(driver));
  }
  driver_ = std::move(driver);
  deviceNumber_ = n;
  control_ = std::make_unique<ControlEndpoint>(driver_.get(), 0);

  if (!ReadDeviceDescriptor()) {
    Close();
    return false;
  }
  control_->SetMaxPacketSize(descriptor_.bMaxPacketSize0);
  ReadStrings();
  ReadDriverFacts();
  ReadConfigurations();
  BuildEndpointList();

  if (configurations_[0] == nullptr || configurations_[0]->InterfaceCount() == 0) {
    Close();
    return false;
  }
  return true;
}

void UsbDevice::Close() noexcept {
  endpointCount_ = 0;
  std::fill(std::begin(endpoints_), std::end(endpoints_), nullptr);
  bulkIn_ = bulkOut_ = interruptIn_ = interruptOut_ = isocIn_ = isocOut_ = nullptr;
  for (auto& configuration : configurations_) {
    configuration.reset();
  }
  control_.reset();
  driver_.reset();
  deviceNumber_ = 0;
  descriptor_ = DeviceDescriptor{};
  manufacturer_[0] = product_[0] = serialNumber_[0] = '\0';
  deviceName_[0] = friendlyName_[0] = '\0';
  usbAddress_ = 0;
  driverVersion_ = stackVersion_ = 0;
  highSpeed_ = false;
  altSetting_ = 0;
}

Endpoint* UsbDevice::EndpointAt(int index) {
  if (index < 0 || index >= endpointCount_) {
    return nullptr;
  }
  return endpoints_[index];
}

int UsbDevice::ConfigCount() const {
  int count = 0;
  for (const auto& configuration : configurations_) {
    count += configuration != nullptr ? 1 : 0;
  }
  return count;
}

const UsbConfiguration* UsbDevice::Configuration(int index) const {
  if (index < 0 || index >= static_cast<int>(kMaxConfigurations)) {
    return nullptr;
  }
  return configurations_[index].get();
}

bool UsbDevice::ResetParentPort() {
  if (driver_ == nullptr) {
    return false;
  }
  uint32_t returned = 0;
  return driver_->Control(kIoctlResetParentPort, nullptr, 0, nullptr, 0, &returned,
                          kDriverQueryTimeoutMs) == IoResult::kDone;
}

int32_t UsbDevice::GetDescriptor(uint8_t type, uint8_t index, uint16_t language, uint8_t* buffer,
                                 int32_t length) {
  ControlSetup& setup = control_->setup;
  setup.target = kTargetDevice;
  setup.requestType = kRequestStandard;
  setup.direction = kDirectionToHost;
  setup.request = kRequestGetDescriptor;
  setup.value = static_cast<uint16_t>((type << 8) | index);
  setup.index = language;
  const uint32_t savedTimeout = control_->TimeOut();
  control_->SetTimeOut(kDescriptorTimeoutMs);
  int32_t moved = length;
  const bool ok = control_->XferData(buffer, moved);
  control_->SetTimeOut(savedTimeout);
  return ok ? moved : 0;
}

bool UsbDevice::ReadDeviceDescriptor() {
  uint8_t bytes[kDeviceDescriptorSize] = {};
  if (GetDescriptor(kDescriptorTypeDevice, 0, 0, bytes, kDeviceDescriptorSize) !=
          static_cast<int32_t>(kDeviceDescriptorSize) ||
      bytes[1] != kDescriptorTypeDevice) {
    return false;
  }
  descriptor_.bLength = bytes[0];
  descriptor_.bDescriptorType = bytes[1];
  descriptor_.bcdUSB = ReadLe16(bytes + 2);
  descriptor_.bDeviceClass = bytes[4];
  descriptor_.bDeviceSubClass = bytes[5];
  descriptor_.bDeviceProtocol = bytes[6];
  descriptor_.bMaxPacketSize0 = bytes[7];
  descriptor_.idVendor = ReadLe16(bytes + 8);
  descriptor_.idProduct = ReadLe16(bytes + 10);
  descriptor_.bcdDevice = ReadLe16(bytes + 12);
  descriptor_.iManufacturer = bytes[14];
  descriptor_.iProduct = bytes[15];
  descriptor_.iSerialNumber = bytes[16];
  descriptor_.bNumConfigurations = bytes[17];
  return true;
}

bool UsbDevice::ReadStringDescriptor(uint8_t index, uint16_t language, char* text) {
  text[0] = '\0';
  uint8_t bytes[256] = {};
  // The first two bytes tell the whole length.
  if (GetDescriptor(kDescriptorTypeString, index, language, bytes, 2) != 2 ||
      bytes[1] != kDescriptorTypeString || bytes[0] < 2) {
    return false;
  }
  const int32_t length = bytes[0];
  const int32_t moved = GetDescriptor(kDescriptorTypeString, index, language, bytes, length);
  if (moved < 2 || bytes[1] != kDescriptorTypeString) {
    return false;
  }
  // UTF-16LE to single-byte text; characters beyond Latin-1 become '?'.
  size_t out = 0;
  for (int32_t i = 2; i + 1 < moved && out + 1 < kDeviceTextSize; i += 2) {
    const uint16_t c = ReadLe16(bytes + i);
    text[out++] = c <= 0xFF ? static_cast<char>(c) : '?';
  }
  text[out] = '\0';
  return true;
}

void UsbDevice::ReadStrings() {
  if (descriptor_.iManufacturer == 0 && descriptor_.iProduct == 0 &&
      descriptor_.iSerialNumber == 0) {
    return;  // an unprogrammed board has no strings, and no language list to ask for
  }
  uint8_t languages[256] = {};
  uint16_t language = kLanguageUsEnglish;
  if (GetDescriptor(kDescriptorTypeString, 0, 0, languages, 2) == 2 && languages[0] >= 4) {
    const int32_t moved = GetDescriptor(kDescriptorTypeString, 0, 0, languages, languages[0]);
    if (moved >= 4) {
      language = ReadLe16(languages + 2);
      for (int32_t i = 2; i + 1 < moved; i += 2) {
        if (ReadLe16(languages + i) == kLanguageUsEnglish) {
          language = kLanguageUsEnglish;
        }
      }
    }
  }
  if (descriptor_.iManufacturer != 0) {
    ReadStringDescriptor(descriptor_.iManufacturer, language, manufacturer_);
  }
  if (descriptor_.iProduct != 0) {
    ReadStringDescriptor(descriptor_.iProduct, language, product_);
  }
  if (descriptor_.iSerialNumber != 0) {
    ReadStringDescriptor(descriptor_.iSerialNumber, language, serialNumber_);
  }
}

uint32_t UsbDevice::QueryDriver(uint32_t code, uint8_t* out, uint32_t outLength) {
  std::memset(out, 0, outLength);
  uint32_t returned = 0;
  if (driver_->Control(code, nullptr, 0, out, outLength, &returned, kDriverQueryTimeoutMs) !=
      IoResult::kDone) {
    std::memset(out, 0, outLength);
    return 0;
  }
  return std::min(returned, outLength);
}

void UsbDevice::ReadDriverFacts() {
  uint8_t word[4];
  QueryDriver(kIoctlUsbAddress, &usbAddress_, 1);
  QueryDriver(kIoctlDeviceName, reinterpret_cast<uint8_t*>(deviceName_), kDeviceTextSize);
  deviceName_[kDeviceTextSize - 1] = '\0';
  QueryDriver(kIoctlFriendlyName, reinterpret_cast<uint8_t*>(friendlyName_), kDeviceTextSize);
  friendlyName_[kDeviceTextSize - 1] = '\0';
  QueryDriver(kIoctlDriverVersion, word, 4);
  driverVersion_ = ReadLe32(word);
  QueryDriver(kIoctlStackVersion, word, 4);
  stackVersion_ = ReadLe32(word);
  QueryDriver(kIoctlBusSpeed, word, 4);
  highSpeed_ = ReadLe32(word) == kBusSpeedHigh;
}

void UsbDevice::ReadConfigurations() {
  const size_t count = std::min<size_t>(descriptor_.bNumConfigurations, kMaxConfigurations);
  // Configuration descriptors longer than one control block are read as far
  // as the block goes; the walk stops at the end of what came back.
  std::array<uint8_t, kMaxBlockDataLength> bytes{};
  for (size_t i = 0; i < count; ++i) {
    const uint8_t index = static_cast<uint8_t>(i);
    if (GetDescriptor(kDescriptorTypeConfiguration, index, 0, bytes.data(),
                      kConfigurationHeaderSize) != static_cast<int32_t>(kConfigurationHeaderSize)) {
      continue;
    }
    const int32_t total = std::min<int32_t>(ReadLe16(bytes.data() + 2), kMaxBlockDataLength);
    if (total < static_cast<int32_t>(kConfigurationHeaderSize)) {
      continue;
    }
    const int32_t moved =
        GetDescriptor(kDescriptorTypeConfiguration, index, 0, bytes.data(), total);
    configurations_[i] =
        UsbConfiguration::Parse(bytes.data(), static_cast<size_t>(moved), driver_.get());
  }
}

void UsbDevice::BuildEndpointList() {
  uint8_t alt = 0;
  QueryDriver(kIoctlAltInterface, &alt, 1);
  altSetting_ = alt;

  endpoints_[0] = control_.get();
  endpointCount_ = 1;
  UsbInterface* chosen = nullptr;
  if (configurations_[0] != nullptr) {
    for (size_t i = 0; i < configurations_[0]->InterfaceCount(); ++i) {
      if (configurations_[0]->InterfaceAt(i)->Descriptor().bAlternateSetting == altSetting_) {
        chosen = configurations_[0]->InterfaceAt(i);
        break;
      }
    }
  }
  if (chosen != nullptr) {
    for (size_t i = 0;
         i < chosen->EndpointCount() && endpointCount_ < static_cast<int>(kMaxEndpointListEntries);
         ++i) {
      UsbEndpoint* endpoint = chosen->EndpointAt(i);
      endpoints_[endpointCount_++] = endpoint;
      UsbEndpoint** first = nullptr;
      switch (endpoint->Attributes()) {
        case kAttributesBulk:
          first = endpoint->IsIn() ? &bulkIn_ : &bulkOut_;
          break;
        case kAttributesInterrupt:
          first = endpoint->IsIn() ? &interruptIn_ : &interruptOut_;
          break;
        case kAttributesIsochronous:
          first = endpoint->IsIn() ? &isocIn_ : &isocOut_;
          break;
        default:
          break;
      }
      if (first != nullptr && *first == nullptr) {
        *first = endpoint;
      }
    }
  }
  if (driverVersion_ < kDirectModeDriverVersion) {
    // Older drivers lack the direct form: every transfer goes buffered.
    for (int i = 0; i < endpointCount_; ++i) {
      static_cast<UsbEndpoint*>(endpoints_[i])->SetMode(TransferMode::kBuffered);
    }
  }
}

bool UsbDevice::FirmwareRequest(uint16_t address, uint8_t* data, int32_t length) {
  ControlSetup& setup = control_->setup;
  setup.target = kTargetDevice;
  setup.requestType = kRequestVendor;
  setup.direction = kDirectionToDevice;
  setup.request = kRequestFirmwareLoad;
  setup.value = address;
  setup.index = 0;
  int32_t moved = length;
  return control_->XferData(data, moved) && moved == length;
}

bool UsbDevice::Reset8051(bool hold) {
  if (!IsOpen()) {
    SetLastError("OpenUSB: 8051 reset failed");
    return false;
  }
  const uint16_t cpuControl =
      descriptor_.bcdUSB < kHighSpeedBcdUsb ? kCpuControlFullSpeed : kCpuControlHighSpeed;
  uint8_t value = hold ? 1 : 0;
  if (!FirmwareRequest(cpuControl, &value, 1)) {
    SetLastError("OpenUSB: 8051 reset failed");
    return false;
  }
  return true;
}

bool UsbDevice::LoadFirmware(uint16_t vendorId, uint16_t productId, uint8_t* image,
                             int16_t length) {
  if (!IsOpen()) {
    SetLastError("LoadFirmware: Device not open");
    return false;
  }
  if (image == nullptr || length < static_cast<int16_t>(kFirmwareMinLength) ||
      length > static_cast<int16_t>(kFirmwareMaxLength)) {
    SetLastError("LoadFirmware: Illegal code size");
    return false;
  }
  if (!Reset8051(true)) {
    return false;
  }
  // The downloaded firmware presents the identity the board had before.
  image[kIdentityOffset] = static_cast<uint8_t>(vendorId);
  image[kIdentityOffset + 1] = static_cast<uint8_t>(vendorId >> 8);
  image[kIdentityOffset + 2] = static_cast<uint8_t>(productId);
  image[kIdentityOffset + 3] = static_cast<uint8_t>(productId >> 8);

  const int32_t chunk = descriptor_.bcdUSB < kHighSpeedBcdUsb ? kChunkFullSpeed : kChunkHighSpeed;
  for (int32_t offset = 0; offset < length; offset += chunk) {
    const int32_t size = std::min<int32_t>(chunk, length - offset);
    if (!FirmwareRequest(static_cast<uint16_t>(offset), image + offset, size)) {
      SetLastError("OpenUSB: Code download failed");
      return false;  // the core stays in reset
    }
  }
  // A failed release leaves its message but the download counts as done.
  Reset8051(false);
  return true;
}

std::unique_ptr<Device> CreateDevice() {
  return std::make_unique<UsbDevice>(SelectedUsbDriverClass());
}

}  // namespace dravik::usb
