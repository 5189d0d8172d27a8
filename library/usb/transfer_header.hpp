// The 38-byte block that heads every transfer request to the board driver.
// Fields are kept in host order here and written to / read from the wire
// layout (little-endian, packed) explicitly, so the bytes never depend on the
// compiler's struct layout.
#pragma once

#include <cstdint>

#include "usb/usb_driver.hpp"

namespace dravik::usb {

// Byte offsets of the fields in the serialised header.
constexpr uint32_t kHeaderRequestTypeOffset = 0;
constexpr uint32_t kHeaderRequestOffset = 1;
constexpr uint32_t kHeaderValueOffset = 2;
constexpr uint32_t kHeaderIndexOffset = 4;
constexpr uint32_t kHeaderLengthOffset = 6;
constexpr uint32_t kHeaderTimeoutOffset = 8;
constexpr uint32_t kHeaderReservedOffset = 12;
constexpr uint32_t kHeaderEndpointOffset = 13;
constexpr uint32_t kHeaderStatusOffset = 14;
constexpr uint32_t kHeaderUsbdStatusOffset = 18;
constexpr uint32_t kHeaderIsoPacketOffsetOffset = 22;
constexpr uint32_t kHeaderIsoPacketLengthOffset = 26;
constexpr uint32_t kHeaderBufferOffsetOffset = 30;
constexpr uint32_t kHeaderBufferLengthOffset = 34;

struct TransferHeader {
  uint8_t bmRequestType = 0;
  uint8_t bRequest = 0;
  uint16_t wValue = 0;
  uint16_t wIndex = 0;
  uint16_t wLength = 0;
  uint32_t timeoutSeconds = 0;
  uint8_t reserved = 0;
  uint8_t endpointAddress = 0;  // 0 for the control endpoint
  uint32_t status = 0;          // must come back 0
  uint32_t usbdStatus = 0;      // must come back 0
  uint32_t isoPacketOffset = 0;
  uint32_t isoPacketLength = 0;
  uint32_t bufferOffset = 0;  // kTransferHeaderSize when the data follow the header
  uint32_t bufferLength = 0;
};

// bmRequestType from its three parts: direction (0 to device, 1 to host),
// request type (0 standard, 1 class, 2 vendor) and target (recipient).
constexpr uint8_t RequestType(uint8_t direction, uint8_t requestType, uint8_t target) {
  return static_cast<uint8_t>(((direction & 1) << 7) | ((requestType & 3) << 5) | (target & 0x1F));
}

// The header's time-out field: whole seconds, but never 0 for a time-out
// shorter than a second (0 would mean no limit).
constexpr uint32_t TimeoutSeconds(uint32_t timeoutMs) {
  return (timeoutMs > 0 && timeoutMs < 1000) ? 1 : timeoutMs / 1000;
}

// Writes the header's 38 bytes to out.
void WriteTransferHeader(const TransferHeader& header, uint8_t* out);
// Reads a header from 38 bytes.
TransferHeader ReadTransferHeader(const uint8_t* in);

// Little-endian helpers shared by the device layer and the drivers.
inline uint16_t ReadLe16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t ReadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void WriteLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void WriteLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace dravik::usb
