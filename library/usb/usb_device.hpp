// The USB device layer as OpenDevice and the transfer protocol see it: one
// board object with its descriptor, endpoint list and firmware download.
// UsbDevice implements it over a Driver; tests replace it with a fake.
#pragma once

#include <cstdint>
#include <memory>

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
  // Holds the 8051 in reset, downloads the image with the board's identity
  // patched in at 0x0F08, releases the reset. On failure the library's last
  // error holds the reason and false is returned.
  virtual bool LoadFirmware(uint16_t vendorId, uint16_t productId, uint8_t* image,
                            int16_t length) = 0;
};

// The device object OpenDevice creates for the board interface class: the
// real boards through libusb, or the emulated board when it is selected.
std::unique_ptr<Device> CreateDevice();

}  // namespace dravik::usb
