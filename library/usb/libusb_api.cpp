#include "usb/libusb_api.hpp"

namespace dravik::usb {
namespace {

class SystemLibusbApi : public LibusbApi {
 public:
  int Init(libusb_context** context) override { return libusb_init(context); }
  void Exit(libusb_context* context) override { libusb_exit(context); }
  ssize_t GetDeviceList(libusb_context* context, libusb_device*** list) override {
    return libusb_get_device_list(context, list);
  }
  void FreeDeviceList(libusb_device** list, int unrefDevices) override {
    libusb_free_device_list(list, unrefDevices);
  }
  libusb_device* RefDevice(libusb_device* device) override { return libusb_ref_device(device); }
  void UnrefDevice(libusb_device* device) override { libusb_unref_device(device); }
  int GetDeviceDescriptor(libusb_device* device, libusb_device_descriptor* out) override {
    return libusb_get_device_descriptor(device, out);
  }
  int GetActiveConfigDescriptor(libusb_device* device, libusb_config_descriptor** config) override {
    return libusb_get_active_config_descriptor(device, config);
  }
  void FreeConfigDescriptor(libusb_config_descriptor* config) override {
    libusb_free_config_descriptor(config);
  }
  uint8_t GetBusNumber(libusb_device* device) override { return libusb_get_bus_number(device); }
  uint8_t GetDeviceAddress(libusb_device* device) override {
    return libusb_get_device_address(device);
  }
  int GetPortNumbers(libusb_device* device, uint8_t* numbers, int length) override {
    return libusb_get_port_numbers(device, numbers, length);
  }
  int GetDeviceSpeed(libusb_device* device) override { return libusb_get_device_speed(device); }
  int Open(libusb_device* device, libusb_device_handle** handle) override {
    return libusb_open(device, handle);
  }
  void Close(libusb_device_handle* handle) override { libusb_close(handle); }
  int SetAutoDetachKernelDriver(libusb_device_handle* handle, int enable) override {
    return libusb_set_auto_detach_kernel_driver(handle, enable);
  }
  int ClaimInterface(libusb_device_handle* handle, int interfaceNumber) override {
    return libusb_claim_interface(handle, interfaceNumber);
  }
  int ReleaseInterface(libusb_device_handle* handle, int interfaceNumber) override {
    return libusb_release_interface(handle, interfaceNumber);
  }
  int ControlTransfer(libusb_device_handle* handle, uint8_t requestType, uint8_t request,
                      uint16_t value, uint16_t index, unsigned char* data, uint16_t length,
                      unsigned int timeoutMs) override {
    return libusb_control_transfer(handle, requestType, request, value, index, data, length,
                                   timeoutMs);
  }
  int BulkTransfer(libusb_device_handle* handle, unsigned char endpoint, unsigned char* data,
                   int length, int* transferred, unsigned int timeoutMs) override {
    return libusb_bulk_transfer(handle, endpoint, data, length, transferred, timeoutMs);
  }
  int InterruptTransfer(libusb_device_handle* handle, unsigned char endpoint, unsigned char* data,
                        int length, int* transferred, unsigned int timeoutMs) override {
    return libusb_interrupt_transfer(handle, endpoint, data, length, transferred, timeoutMs);
  }
  int ResetDevice(libusb_device_handle* handle) override { return libusb_reset_device(handle); }
  int GetStringDescriptorAscii(libusb_device_handle* handle, uint8_t index, unsigned char* data,
                               int length) override {
    return libusb_get_string_descriptor_ascii(handle, index, data, length);
  }
  uint32_t Version() override {
    const libusb_version* version = libusb_get_version();
    return (static_cast<uint32_t>(version->major & 0xFF) << 24) |
           (static_cast<uint32_t>(version->minor & 0xFF) << 16) |
           (static_cast<uint32_t>(version->micro & 0xFF) << 8);
  }
};

}  // namespace

LibusbApi& SystemLibusb() {
  static SystemLibusbApi api;
  return api;
}

}  // namespace dravik::usb
