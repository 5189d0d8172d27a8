#include "usb/traced_driver.hpp"

#include <cstdio>

#include "packet_trace.hpp"
#include "usb/transfer_header.hpp"

namespace dravik::usb {
namespace {

TraceResult ResultOf(IoResult result) {
  switch (result) {
    case IoResult::kDone:
      return TraceResult::kOk;
    case IoResult::kTimeout:
      return TraceResult::kTimeout;
    case IoResult::kFailed:
      return TraceResult::kFailed;
  }
  return TraceResult::kFailed;
}

}  // namespace

IoResult TracedDriver::Control(uint32_t code, const uint8_t* in, uint32_t inLength, uint8_t* out,
                               uint32_t outLength, uint32_t* returned, uint32_t timeoutMs) {
  uint32_t moved = 0;
  const IoResult result = inner_->Control(code, in, inLength, out, outLength, &moved, timeoutMs);
  if (returned != nullptr) {
    *returned = moved;
  }
  TraceUsbRequest(code, in, inLength, out, outLength, moved, result);
  return result;
}

void TraceUsbRequest(uint32_t code, const uint8_t* in, uint32_t inLength, const uint8_t* out,
                     uint32_t outLength, uint32_t returned, IoResult result) {
  TraceRecord record;
  record.link = "usb";
  record.result = ResultOf(result);
  char target[64];
  const bool transfer = code == kIoctlControlTransfer || code == kIoctlBufferedTransfer ||
                        code == kIoctlDirectTransfer;
  if (!transfer || in == nullptr || inLength < kTransferHeaderSize) {
    // Any other driver request: what went in, else what came back.
    std::snprintf(target, sizeof target, "code=0x%06x", code);
    record.target = target;
    if (in != nullptr && inLength > 0) {
      record.direction = "out";
      record.moved = record.asked = inLength;
      record.bytes = in;
      record.byteCount = inLength;
    } else {
      const uint32_t back = returned < outLength ? returned : outLength;
      record.direction = out != nullptr && outLength > 0 ? "in" : "-";
      record.moved = back;
      record.asked = outLength;
      record.bytes = out;
      record.byteCount = back;
    }
    TraceTransfer(record);
    return;
  }

  const TransferHeader header = ReadTransferHeader(in);
  bool incoming = false;
  uint32_t asked = 0;
  uint32_t offset = kTransferHeaderSize;
  const uint8_t* outgoingData = in + kTransferHeaderSize;
  const uint8_t* incomingData = out != nullptr ? out + kTransferHeaderSize : nullptr;
  if (code == kIoctlControlTransfer) {
    incoming = (header.bmRequestType & 0x80) != 0;
    asked = header.wLength;
    std::snprintf(target, sizeof target, "ep=0x00 setup=%02x.%02x.%04x.%04x.%04x",
                  header.bmRequestType, header.bRequest, header.wValue, header.wIndex,
                  header.wLength);
  } else {
    incoming = (header.endpointAddress & 0x80) != 0;
    std::snprintf(target, sizeof target, "ep=0x%02x", header.endpointAddress);
    if (code == kIoctlBufferedTransfer) {
      asked = header.bufferLength;
    } else {
      // The direct form carries the data in the caller's buffer, both ways.
      asked = outLength;
      offset = 0;
      outgoingData = out;
      incomingData = out;
    }
  }
  record.target = target;
  record.direction = incoming ? "in" : "out";
  record.asked = asked;
  record.moved = returned > offset ? returned - offset : 0;
  if (incoming) {
    record.bytes = result == IoResult::kDone ? incomingData : nullptr;
    record.byteCount = record.bytes != nullptr ? record.moved : 0;
    const uint32_t room = outLength > offset ? outLength - offset : 0;
    if (record.byteCount > room) {
      record.byteCount = room;
    }
  } else {
    record.bytes = outgoingData;
    const uint32_t room = offset == 0 ? outLength : (inLength - offset);
    record.byteCount = asked < room ? asked : room;
  }
  if (result == IoResult::kDone && offset != 0 && out != nullptr &&
      returned >= kTransferHeaderSize) {
    const TransferHeader answer = ReadTransferHeader(out);
    if (answer.status != 0 || answer.usbdStatus != 0) {
      record.result = TraceResult::kStatus;
      record.status = answer.status;
      record.usbdStatus = answer.usbdStatus;
    }
  }
  TraceTransfer(record);
}

}  // namespace dravik::usb
