// The few libusb calls the libusb driver makes, behind an interface so that
// tests can record the translation of driver requests without hardware.
#pragma once

#include <libusb.h>

#include <sys/types.h>
#include <cstdint>

namespace dravik::usb {

class LibusbApi {
 public:
  virtual ~LibusbApi() = default;
  virtual int Init(libusb_context** context) = 0;
  virtual void Exit(libusb_context* context) = 0;
  virtual ssize_t GetDeviceList(libusb_context* context, libusb_device*** list) = 0;
  virtual void FreeDeviceList(libusb_device** list, int unrefDevices) = 0;
  virtual libusb_device* RefDevice(libusb_device* device) = 0;
  virtual void UnrefDevice(libusb_device* device) = 0;
  virtual int GetDeviceDescriptor(libusb_device* device, libusb_device_descriptor* out) = 0;
  virtual int GetActiveConfigDescriptor(libusb_device* device,
                                        libusb_config_descriptor** config) = 0;
  virtual void FreeConfigDescriptor(libusb_config_descriptor* config) = 0;
  virtual uint8_t GetBusNumber(libusb_device* device) = 0;
  virtual uint8_t GetDeviceAddress(libusb_device* device) = 0;
  // The hub port numbers from the root down; their count, or a libusb error.
  virtual int GetPortNumbers(libusb_device* device, uint8_t* numbers, int length) = 0;
  virtual int GetDeviceSpeed(libusb_device* device) = 0;
  virtual int Open(libusb_device* device, libusb_device_handle** handle) = 0;
  virtual void Close(libusb_device_handle* handle) = 0;
  virtual int SetAutoDetachKernelDriver(libusb_device_handle* handle, int enable) = 0;
  virtual int ClaimInterface(libusb_device_handle* handle, int interfaceNumber) = 0;
  virtual int ReleaseInterface(libusb_device_handle* handle, int interfaceNumber) = 0;
  virtual int ControlTransfer(libusb_device_handle* handle, uint8_t requestType, uint8_t request,
                              uint16_t value, uint16_t index, unsigned char* data, uint16_t length,
                              unsigned int timeoutMs) = 0;
  virtual int BulkTransfer(libusb_device_handle* handle, unsigned char endpoint,
                           unsigned char* data, int length, int* transferred,
                           unsigned int timeoutMs) = 0;
  virtual int InterruptTransfer(libusb_device_handle* handle, unsigned char endpoint,
                                unsigned char* data, int length, int* transferred,
                                unsigned int timeoutMs) = 0;
  virtual int ResetDevice(libusb_device_handle* handle) = 0;
  virtual int GetStringDescriptorAscii(libusb_device_handle* handle, uint8_t index,
                                       unsigned char* data, int length) = 0;
  // libusb's own version, packed as 0xMMmmuu00.
  virtual uint32_t Version() = 0;
};

// The real libusb.
LibusbApi& SystemLibusb();

}  // namespace dravik::usb
