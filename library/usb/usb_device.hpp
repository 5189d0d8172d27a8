// The USB device layer as OpenDevice and the transfer protocol see it: one
// board object with its descriptor, endpoint list and firmware download.
// UsbDevice (declared below the interface) implements it over a Driver;
// tests replace it with a fake.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "usb/usb_driver.hpp"

namespace dravik::usb {

// The 18-byte standard device descriptor, fields in host order.
struct DeviceDescriptor {
  uint8_t bLength = 0;
  uint8_t bDescriptorType = 0;
  uint16_t bcdUSB = 0;
  uint8_t bDeviceClass = 0;
  uint8_t bDeviceSubClass = 0;
  uint8_t bDeviceProtocol = 0;
  uint8_t bMaxPacketSize0 = 0;
  uint16_t idVendor = 0;
  uint16_t idProduct = 0;
  uint16_t bcdDevice = 0;
  uint8_t iManufacturer = 0;
  uint8_t iProduct = 0;
  uint8_t iSerialNumber = 0;
  uint8_t bNumConfigurations = 0;
};

constexpr uint8_t kAttributesControl = 0;
constexpr uint8_t kAttributesIsochronous = 1;
constexpr uint8_t kAttributesBulk = 2;
constexpr uint8_t kAttributesInterrupt = 3;

class Endpoint {
 public:
  virtual ~Endpoint() = default;
  virtual uint8_t Address() const = 0;
  virtual uint8_t Attributes() const = 0;
  bool IsIn() const { return (Address() & 0x80) != 0; }
  // One complete transfer. length: bytes to move in, bytes moved out.
  virtual bool XferData(uint8_t* buffer, int32_t& length) = 0;
};

class Device {
 public:
  virtual ~Device() = default;
  // Number of boards of the interface class present now (0 to 255).
  virtual uint8_t DeviceCount() = 0;
  // Opens board n (closing first when open); true on success.
  virtual bool Open(uint8_t n) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  virtual const DeviceDescriptor& Descriptor() const = 0;
  // Sent only while a driver handle is held.
  virtual bool ResetParentPort() = 0;
  // Entries of the endpoint list; entry 0 is the control endpoint.
  virtual int EndpointCount() const = 0;
  virtual Endpoint* EndpointAt(int index) = 0;  // nullptr when absent
  // True when the boards are the emulated board (see DriverClass::Emulated).
  virtual bool Emulated() const { return false; }
  // Holds the 8051 in reset, downloads the image with the board's identity
  // patched in at 0x0F08, releases the reset. On failure the library's last
  // error holds the reason and false is returned.
  virtual bool LoadFirmware(uint16_t vendorId, uint16_t productId, uint8_t* image,
                            int16_t length) = 0;
};

class ControlEndpoint;
class UsbConfiguration;
class UsbEndpoint;

constexpr size_t kMaxEndpointListEntries = 16;
constexpr size_t kMaxConfigurations = 2;
constexpr size_t kDeviceTextSize = 256;
// Drivers older than this lack the direct transfer form.
constexpr uint32_t kDirectModeDriverVersion = 0x01050500;
constexpr uint32_t kDescriptorTimeoutMs = 5000;
constexpr uint16_t kFirmwareMinLength = 4096;
constexpr uint16_t kFirmwareMaxLength = 8192;

// The board object over a driver of the board interface class: every request
// it makes is one Driver::Control call.
class UsbDevice : public Device {
 public:
  explicit UsbDevice(DriverClass* driverClass);
  ~UsbDevice() override;
  UsbDevice(const UsbDevice&) = delete;
  UsbDevice& operator=(const UsbDevice&) = delete;

  uint8_t DeviceCount() override;
  bool Open(uint8_t n) override;
  void Close() noexcept override;
  bool IsOpen() const override { return driver_ != nullptr; }
  const DeviceDescriptor& Descriptor() const override { return descriptor_; }
  bool ResetParentPort() override;
  int EndpointCount() const override { return endpointCount_; }
  Endpoint* EndpointAt(int index) override;
  bool LoadFirmware(uint16_t vendorId, uint16_t productId, uint8_t* image, int16_t length) override;
  bool Emulated() const override { return driverClass_ != nullptr && driverClass_->Emulated(); }

  // Holds (true) or releases (false) the 8051 core through its CPU control
  // register; sets "OpenUSB: 8051 reset failed" on failure.
  bool Reset8051(bool hold);

  uint8_t DeviceNumber() const { return deviceNumber_; }
  const char* Manufacturer() const { return manufacturer_; }
  const char* Product() const { return product_; }
  const char* SerialNumber() const { return serialNumber_; }
  const char* DeviceName() const { return deviceName_; }
  const char* FriendlyName() const { return friendlyName_; }
  uint8_t UsbAddress() const { return usbAddress_; }
  uint32_t DriverVersion() const { return driverVersion_; }
  uint32_t StackVersion() const { return stackVersion_; }
  bool HighSpeed() const { return highSpeed_; }
  uint8_t AltIntfc() const { return altSetting_; }
  int ConfigCount() const;
  const UsbConfiguration* Configuration(int index) const;
  ControlEndpoint* ControlEndPt() const { return control_.get(); }
  // The first endpoint of each kind and direction in the endpoint list.
  UsbEndpoint* BulkInEndPt() const { return bulkIn_; }
  UsbEndpoint* BulkOutEndPt() const { return bulkOut_; }
  UsbEndpoint* InterruptInEndPt() const { return interruptIn_; }
  UsbEndpoint* InterruptOutEndPt() const { return interruptOut_; }
  UsbEndpoint* IsocInEndPt() const { return isocIn_; }
  UsbEndpoint* IsocOutEndPt() const { return isocOut_; }

 private:
  bool ReadDeviceDescriptor();
  void ReadStrings();
  bool ReadStringDescriptor(uint8_t index, uint16_t language, char* text);
  void ReadDriverFacts();
  void ReadConfigurations();
  void BuildEndpointList();
  // A standard GET_DESCRIPTOR request on the control endpoint; the bytes moved.
  int32_t GetDescriptor(uint8_t type, uint8_t index, uint16_t language, uint8_t* buffer,
                        int32_t length);
  // A driver request answered with up to outLength bytes; the bytes returned.
  uint32_t QueryDriver(uint32_t code, uint8_t* out, uint32_t outLength);
  // One vendor request 0xA0 to the board's 8051 (code memory or CPU register).
  bool FirmwareRequest(uint16_t address, uint8_t* data, int32_t length);

  DriverClass* driverClass_;
  std::unique_ptr<Driver> driver_;
  uint8_t deviceNumber_ = 0;
  DeviceDescriptor descriptor_;
  char manufacturer_[kDeviceTextSize] = {};
  char product_[kDeviceTextSize] = {};
  char serialNumber_[kDeviceTextSize] = {};
  char deviceName_[kDeviceTextSize] = {};
  char friendlyName_[kDeviceTextSize] = {};
  uint8_t usbAddress_ = 0;
  uint32_t driverVersion_ = 0;
  uint32_t stackVersion_ = 0;
  bool highSpeed_ = false;
  uint8_t altSetting_ = 0;
  std::unique_ptr<UsbConfiguration> configurations_[kMaxConfigurations];
  std::unique_ptr<ControlEndpoint> control_;
  Endpoint* endpoints_[kMaxEndpointListEntries] = {};
  int endpointCount_ = 0;
  UsbEndpoint* bulkIn_ = nullptr;
  UsbEndpoint* bulkOut_ = nullptr;
  UsbEndpoint* interruptIn_ = nullptr;
  UsbEndpoint* interruptOut_ = nullptr;
  UsbEndpoint* isocIn_ = nullptr;
  UsbEndpoint* isocOut_ = nullptr;
};

// The device object OpenDevice creates for the board interface class: the
// real boards through libusb, or the emulated board when it is selected.
std::unique_ptr<Device> CreateDevice();

}  // namespace dravik::usb
