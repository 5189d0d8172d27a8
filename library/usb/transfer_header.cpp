#include "usb/transfer_header.hpp"

namespace dravik::usb {

void WriteTransferHeader(const TransferHeader& header, uint8_t* out) {
  out[kHeaderRequestTypeOffset] = header.bmRequestType;
  out[kHeaderRequestOffset] = header.bRequest;
  WriteLe16(out + kHeaderValueOffset, header.wValue);
  WriteLe16(out + kHeaderIndexOffset, header.wIndex);
  WriteLe16(out + kHeaderLengthOffset, header.wLength);
  WriteLe32(out + kHeaderTimeoutOffset, header.timeoutSeconds);
  out[kHeaderReservedOffset] = header.reserved;
  out[kHeaderEndpointOffset] = header.endpointAddress;
  WriteLe32(out + kHeaderStatusOffset, header.status);
  WriteLe32(out + kHeaderUsbdStatusOffset, header.usbdStatus);
  WriteLe32(out + kHeaderIsoPacketOffsetOffset, header.isoPacketOffset);
  WriteLe32(out + kHeaderIsoPacketLengthOffset, header.isoPacketLength);
  WriteLe32(out + kHeaderBufferOffsetOffset, header.bufferOffset);
  WriteLe32(out + kHeaderBufferLengthOffset, header.bufferLength);
}

TransferHeader ReadTransferHeader(const uint8_t* in) {
  TransferHeader header;
  header.bmRequestType = in[kHeaderRequestTypeOffset];
  header.bRequest = in[kHeaderRequestOffset];
  header.wValue = ReadLe16(in + kHeaderValueOffset);
  header.wIndex = ReadLe16(in + kHeaderIndexOffset);
  header.wLength = ReadLe16(in + kHeaderLengthOffset);
  header.timeoutSeconds = ReadLe32(in + kHeaderTimeoutOffset);
  header.reserved = in[kHeaderReservedOffset];
  header.endpointAddress = in[kHeaderEndpointOffset];
  header.status = ReadLe32(in + kHeaderStatusOffset);
  header.usbdStatus = ReadLe32(in + kHeaderUsbdStatusOffset);
  header.isoPacketOffset = ReadLe32(in + kHeaderIsoPacketOffsetOffset);
  header.isoPacketLength = ReadLe32(in + kHeaderIsoPacketLengthOffset);
  header.bufferOffset = ReadLe32(in + kHeaderBufferOffsetOffset);
  header.bufferLength = ReadLe32(in + kHeaderBufferLengthOffset);
  return header;
}

static_assert(kHeaderBufferLengthOffset + 4 == kTransferHeaderSize);

}  // namespace dravik::usb
