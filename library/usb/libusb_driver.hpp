// The board driver for real boards: libusb. The interface class is the set of
// attached USB devices whose vendor ID is in the board vendor list (0x0400
// and the EZ-USB boot vendor 0x04B4, more with DRAVIK_USB_VIDS=hex,hex),
// hubs excluded; with several boards attached, DRAVIK_USB_BOARD=1-2.3 keeps
// only the one at that bus and port path (as sysfs names it: it stays the
// same when the board re-enumerates after a firmware download). Each driver
// request becomes one libusb call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "usb/libusb_api.hpp"
#include "usb/usb_driver.hpp"

namespace dravik::usb {

// This driver has the direct transfer form, so the device layer uses it.
constexpr uint32_t kLibusbDriverVersion = 0x01050500;
constexpr uint16_t kDefaultBoardVendors[] = {0x0400, 0x04B4};
// The board's interface: the one with the command and response endpoints.
constexpr int kBoardInterface = 0;

// The board vendor list: the defaults, then the entries of text (comma
// separated hexadecimal IDs, "0x" allowed). Malformed entries are skipped
// with a diagnostic line.
std::vector<uint16_t> BoardVendorList(const char* text);

// The bus and port path of a device, "1-2.3"; empty when libusb has none.
constexpr std::size_t kPortPathSize = 32;
void PortPath(LibusbApi& api, libusb_device* device, char (&path)[kPortPathSize]);

// A libusb context shared by the driver class and the drivers opened from
// it; it ends when the last of them lets go.
class LibusbContext {
 public:
  LibusbContext(LibusbApi& api, libusb_context* context) : api_(api), context_(context) {}
  ~LibusbContext() { api_.Exit(context_); }
  LibusbContext(const LibusbContext&) = delete;
  LibusbContext& operator=(const LibusbContext&) = delete;
  libusb_context* Get() const { return context_; }

 private:
  LibusbApi& api_;
  libusb_context* context_;
};

class LibusbDriverClass : public DriverClass {
 public:
  // `port`: only the board at this bus and port path ("1-2.3"); empty: all.
  LibusbDriverClass(LibusbApi& api, std::vector<uint16_t> vendors, std::string port = {});
  ~LibusbDriverClass() override;
  LibusbDriverClass(const LibusbDriverClass&) = delete;
  LibusbDriverClass& operator=(const LibusbDriverClass&) = delete;

  // The real libusb with the vendor list of DRAVIK_USB_VIDS and the board
  // of DRAVIK_USB_BOARD.
  static LibusbDriverClass& Instance();

  // Enumerates afresh in a new context each time: without udev a long-lived
  // context never learns of a board that re-enumerated after a download.
  int Count() override;
  std::unique_ptr<Driver> Open(int index) override;

 private:
  void Forget();

  LibusbApi& api_;
  std::vector<uint16_t> vendors_;
  std::string port_;
  std::shared_ptr<LibusbContext> context_;
  std::vector<libusb_device*> boards_;  // referenced; from the last Count
};

// After an IN transfer timed out, the next OUT transfer (the next command)
// first reads that endpoint with this short time-out, at most this often,
// and drops what comes: an answer that arrived late.
constexpr unsigned int kLateAnswerWaitMs = 50;
constexpr int kMaxLateAnswerReads = 4;
constexpr int kLateAnswerBufferSize = 4096;
constexpr int kEndpointNumbers = 16;

class LibusbDriver : public Driver {
 public:
  // Takes over the claimed handle and a reference to device.
  LibusbDriver(LibusbApi& api, std::shared_ptr<LibusbContext> context, libusb_device* device,
               libusb_device_handle* handle);
  ~LibusbDriver() override;
  LibusbDriver(const LibusbDriver&) = delete;
  LibusbDriver& operator=(const LibusbDriver&) = delete;

  IoResult Control(uint32_t code, const uint8_t* in, uint32_t inLength, uint8_t* out,
                   uint32_t outLength, uint32_t* returned, uint32_t timeoutMs) override;

 private:
  IoResult ControlTransfer(const uint8_t* in, uint32_t inLength, uint8_t* out, uint32_t outLength,
                           uint32_t* returned);
  IoResult PipeTransfer(uint8_t endpoint, uint8_t* data, uint32_t length, uint32_t timeoutMs,
                        uint32_t* moved);
  bool HasPipe(uint8_t endpoint) const;
  int Pipe(uint8_t endpoint, uint8_t* data, int length, int* transferred, unsigned int timeoutMs);
  // Reads and drops what the IN endpoints that timed out delivered since.
  void DropLateAnswers();
  IoResult BufferedTransfer(const uint8_t* in, uint32_t inLength, uint8_t* out, uint32_t outLength,
                            uint32_t* returned);
  IoResult DirectTransfer(const uint8_t* in, uint32_t inLength, uint8_t* out, uint32_t outLength,
                          uint32_t* returned, uint32_t timeoutMs);
  void ReadEndpointTypes();
  IoResult Answer(const void* data, uint32_t size, uint8_t* out, uint32_t outLength,
                  uint32_t* returned);

  LibusbApi& api_;
  std::shared_ptr<LibusbContext> context_;
  libusb_device* device_;
  libusb_device_handle* handle_;
  // Transfer type (LIBUSB_TRANSFER_TYPE_*) by endpoint number and direction.
  uint8_t endpointTypes_[32];
  // IN endpoints (bit = number) whose last transfer timed out.
  uint32_t lateAnswers_ = 0;
  uint8_t lateAnswer_[kLateAnswerBufferSize];
};

}  // namespace dravik::usb
