#include "usb/usb_endpoint.hpp"

#include <cstring>

namespace dravik::usb {

UsbEndpoint::UsbEndpoint(Driver* driver, const EndpointDescriptor& descriptor)
    : driver_(driver), descriptor_(descriptor) {}

bool UsbEndpoint::XferData(uint8_t* buffer, int32_t& length) {
  status_ = 0;
  usbdStatus_ = 0;
  if (driver_ == nullptr || length < 0 || (buffer == nullptr && length > 0)) {
    lastResult_ = IoResult::kFailed;
    length = 0;
    return false;
  }
  const uint32_t wanted = static_cast<uint32_t>(length);
  uint32_t returned = 0;
  lastResult_ = BeginTransfer(buffer, wanted, &returned);
  if (lastResult_ == IoResult::kTimeout) {
    // Nothing may stay outstanding on the endpoint after a time-out.
    Abort();
    length = 0;
    return false;
  }
  uint32_t moved = 0;
  const bool finished =
      lastResult_ == IoResult::kDone && FinishTransfer(buffer, wanted, returned, &moved);
  length = finished ? static_cast<int32_t>(moved) : 0;
  return finished;
}

IoResult UsbEndpoint::BeginTransfer(uint8_t* buffer, uint32_t length, uint32_t* returned) {
  return mode_ == TransferMode::kDirect ? BeginDirect(buffer, length, returned)
                                        : BeginBuffered(buffer, length, returned);
}

IoResult UsbEndpoint::BeginDirect(uint8_t* buffer, uint32_t length, uint32_t* returned) {
  usedBlock_ = false;
  TransferHeader header;
  header.endpointAddress = Address();
  WriteTransferHeader(header, inBlock_.data());
  return driver_->Control(kIoctlDirectTransfer, inBlock_.data(), kTransferHeaderSize, buffer,
                          length, returned, timeoutMs_);
}

IoResult UsbEndpoint::BeginBuffered(uint8_t* buffer, uint32_t length, uint32_t* returned) {
  TransferHeader header;
  header.timeoutSeconds = TimeoutSeconds(timeoutMs_);
  header.endpointAddress = Address();
  header.bufferOffset = kTransferHeaderSize;
  header.bufferLength = length;
  return RequestWithBlock(kIoctlBufferedTransfer, header, buffer, length, !IsIn(), returned);
}

IoResult UsbEndpoint::RequestWithBlock(uint32_t code, const TransferHeader& header,
                                       const uint8_t* data, uint32_t length, bool outgoing,
                                       uint32_t* returned) {
  usedBlock_ = true;
  if (length > kMaxBlockDataLength) {
    return IoResult::kFailed;
  }
  uint8_t* in = inBlock_.data();
  WriteTransferHeader(header, in);
  if (outgoing && length > 0) {
    std::memcpy(in + kTransferHeaderSize, data, length);
  } else {
    std::memset(in + kTransferHeaderSize, 0, length);
  }
  std::memset(outBlock_.data(), 0, kTransferHeaderSize);
  const uint32_t blockLength = kTransferHeaderSize + length;
  return driver_->Control(code, in, blockLength, outBlock_.data(), blockLength, returned,
                          timeoutMs_);
}

bool UsbEndpoint::FinishTransfer(uint8_t* buffer, uint32_t length, uint32_t returned,
                                 uint32_t* moved) {
  const uint32_t offset = usedBlock_ ? kTransferHeaderSize : 0;
  if (usedBlock_ && returned >= kTransferHeaderSize) {
    const TransferHeader answer = ReadTransferHeader(outBlock_.data());
    status_ = answer.status;
    usbdStatus_ = answer.usbdStatus;
  }
  *moved = returned > offset ? returned - offset : 0;
  if (*moved > length) {
    // A driver that claims more than the buffer holds is not believed.
    *moved = 0;
    return false;
  }
  if (usedBlock_ && Incoming() && *moved > 0) {
    std::memcpy(buffer, outBlock_.data() + kTransferHeaderSize, *moved);
  }
  return status_ == 0 && usbdStatus_ == 0;
}

void UsbEndpoint::Abort() {
  uint8_t address = Address();
  uint32_t returned = 0;
  driver_->Control(kIoctlAbortPipe, &address, 1, nullptr, 0, &returned, timeoutMs_);
}

ControlEndpoint::ControlEndpoint(Driver* driver, uint8_t maxPacketSize0)
    : UsbEndpoint(driver, EndpointDescriptor{7, 5, 0, kAttributesControl, maxPacketSize0, 0}) {
  mode_ = TransferMode::kBuffered;
}

IoResult ControlEndpoint::BeginTransfer(uint8_t* buffer, uint32_t length, uint32_t* returned) {
  TransferHeader header;
  header.bmRequestType = RequestType(setup.direction, setup.requestType, setup.target);
  header.bRequest = setup.request;
  header.wValue = setup.value;
  header.wIndex = setup.index;
  header.wLength = static_cast<uint16_t>(length);
  header.timeoutSeconds = TimeoutSeconds(timeoutMs_);
  header.endpointAddress = 0;
  header.bufferOffset = kTransferHeaderSize;
  header.bufferLength = length;
  return RequestWithBlock(kIoctlControlTransfer, header, buffer, length, !Incoming(), returned);
}

}  // namespace dravik::usb
