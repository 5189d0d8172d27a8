// Endpoints of an open board: one complete transfer per XferData, carried as
// one driver request with the transfer header. Bulk and interrupt endpoints
// use the direct form (the caller's buffer goes to the driver as it is) or
// the buffered form (header and data copied into a block inside the
// endpoint); the control endpoint always uses the control-transfer form.
#pragma once

#include <array>
#include <cstdint>

#include "usb/transfer_header.hpp"
#include "usb/usb_device.hpp"
#include "usb/usb_driver.hpp"

namespace dravik::usb {

constexpr uint32_t kDefaultTimeoutMs = 10000;
// The largest transfer of the buffered and control forms: one firmware chunk
// of a high-speed board. Their blocks live inside the endpoint, so nothing is
// allocated per transfer; a longer request is refused.
constexpr uint32_t kMaxBlockDataLength = 4096;
constexpr uint32_t kBlockSize = kTransferHeaderSize + kMaxBlockDataLength;

enum class TransferMode : uint8_t { kBuffered = 0, kDirect = 1 };

// The 7-byte standard endpoint descriptor, fields in host order.
struct EndpointDescriptor {
  uint8_t bLength = 7;
  uint8_t bDescriptorType = 5;
  uint8_t bEndpointAddress = 0;
  uint8_t bmAttributes = 0;
  uint16_t wMaxPacketSize = 0;
  uint8_t bInterval = 0;
};

// (bits 0 to 10) x (1 + bits 11 and 12): high-bandwidth endpoints move up to
// three packets per microframe.
constexpr uint32_t MaxPacketSize(uint16_t wMaxPacketSize) {
  return (wMaxPacketSize & 0x7FFu) * (1u + ((wMaxPacketSize >> 11) & 3u));
}

class UsbEndpoint : public Endpoint {
 public:
  UsbEndpoint(Driver* driver, const EndpointDescriptor& descriptor);

  uint8_t Address() const override { return descriptor_.bEndpointAddress; }
  uint8_t Attributes() const override { return descriptor_.bmAttributes & 3; }
  bool XferData(uint8_t* buffer, int32_t& length) override;

  const EndpointDescriptor& Descriptor() const { return descriptor_; }
  uint32_t MaxPktSize() const { return MaxPacketSize(descriptor_.wMaxPacketSize); }
  uint8_t Interval() const { return descriptor_.bInterval; }

  uint32_t TimeOut() const { return timeoutMs_; }
  void SetTimeOut(uint32_t milliseconds) { timeoutMs_ = milliseconds; }
  TransferMode Mode() const { return mode_; }
  void SetMode(TransferMode mode) { mode_ = mode; }

  // What the last transfer left behind, for inspection after a failure.
  uint32_t Status() const { return status_; }
  uint32_t UsbdStatus() const { return usbdStatus_; }
  IoResult LastResult() const { return lastResult_; }

 protected:
  // Begins the transfer: one driver request. *bufferOffset receives where the
  // data sit behind the header in the returned bytes (0: direct form).
  virtual IoResult BeginDirect(uint8_t* buffer, uint32_t length, uint32_t* returned);
  virtual IoResult BeginBuffered(uint8_t* buffer, uint32_t length, uint32_t* returned);
  virtual IoResult BeginTransfer(uint8_t* buffer, uint32_t length, uint32_t* returned);
  // Whether the data of the current transfer flow from the board.
  virtual bool Incoming() const { return IsIn(); }
  // Takes the moved length and status words from the answer; true on success.
  virtual bool FinishTransfer(uint8_t* buffer, uint32_t length, uint32_t returned, uint32_t* moved);

  // A request of the block form (control or buffered): header and, for OUT,
  // the data copied into the endpoint's own block.
  IoResult RequestWithBlock(uint32_t code, const TransferHeader& header, const uint8_t* data,
                            uint32_t length, bool outgoing, uint32_t* returned);
  // Sends the abort request for this endpoint's address.
  void Abort();

  Driver* driver_;
  EndpointDescriptor descriptor_;
  uint32_t timeoutMs_ = kDefaultTimeoutMs;
  TransferMode mode_ = TransferMode::kDirect;
  bool usedBlock_ = false;  // the last request went through the block
  uint32_t status_ = 0;
  uint32_t usbdStatus_ = 0;
  IoResult lastResult_ = IoResult::kDone;
  std::array<uint8_t, kBlockSize> inBlock_{};
  std::array<uint8_t, kBlockSize> outBlock_{};
};

// The request fields of a control transfer.
struct ControlSetup {
  uint8_t target = 0;       // recipient: 0 device, 1 interface, 2 endpoint, 3 other
  uint8_t requestType = 0;  // 0 standard, 1 class, 2 vendor
  uint8_t direction = 0;    // 0 to device, 1 to host
  uint8_t request = 0;
  uint16_t value = 0;
  uint16_t index = 0;
};

constexpr uint8_t kTargetDevice = 0;
constexpr uint8_t kRequestStandard = 0;
constexpr uint8_t kRequestVendor = 2;
constexpr uint8_t kDirectionToDevice = 0;
constexpr uint8_t kDirectionToHost = 1;

class ControlEndpoint : public UsbEndpoint {
 public:
  ControlEndpoint(Driver* driver, uint8_t maxPacketSize0);

  void SetMaxPacketSize(uint8_t maxPacketSize0) { descriptor_.wMaxPacketSize = maxPacketSize0; }

  ControlSetup setup;

 protected:
  // Always the control-transfer form, whatever the mode.
  IoResult BeginTransfer(uint8_t* buffer, uint32_t length, uint32_t* returned) override;
  bool Incoming() const override { return setup.direction == kDirectionToHost; }
};

}  // namespace dravik::usb
