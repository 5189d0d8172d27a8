// The board transfer protocol: how ReadDevice and WriteDevice talk to the
// board's firmware. A register list is split into a chip pass (the caller's
// bus type) and a board pass (board registers, bus type 0), each pass is cut
// into command packets of at most MAX_CHUNK address-and-data bytes, sent on
// the bulk OUT command endpoint, and reads collect the chip's bytes from the
// IN response endpoint. All buffers live in the call's frame.
#pragma once

#include <cstdint>

#include "usb/usb_device.hpp"

namespace dravik::protocol {

// Budget of one packet: register-address bytes plus data bytes of a write,
// registers of a read request, bytes of a response.
constexpr int MAX_CHUNK = 58;
// Room of each pass's working lists.
constexpr int kPassCapacity = 1024;
// Entries of the open board's endpoint list.
constexpr int kCommandEndpointIndex = 1;
constexpr int kResponseEndpointIndex = 8;
constexpr int kResponseBufferSize = 64;
// The longest packet: a read request for MAX_CHUNK board registers
// (direction, type, H, device address, 2 bytes per register, count).
constexpr int kMaxPacketSize = 3 + 1 + 2 * MAX_CHUNK + 1;

constexpr uint8_t kDirectionRead = 0;
constexpr uint8_t kDirectionWrite = 1;

// Lays out one CommandPacket for n registers into packet (room for
// kMaxPacketSize bytes) and returns its length. data is read only for a
// write; noRegisterAddress leaves the header at the device address alone.
int BuildCommandPacket(uint8_t direction, int16_t busType, int16_t deviceAddress,
                       const int16_t* registers, const uint8_t* data, int n, bool noRegisterAddress,
                       uint8_t* packet);

// The per-packet checks of the bus type; nullptr when the packet may go,
// else the message to fail with.
const char* CheckPacket(int16_t busType, int16_t deviceAddress, int n, bool isWrite);

// WriteDevice on the USB link. A null data turns the call into read
// requests (one packet per non-empty pass, at most MAX_CHUNK registers each)
// without collecting the response.
bool WriteRegisters(usb::Device& device, int16_t busType, int16_t deviceAddress,
                    const int16_t* registers, const uint8_t* data, int16_t count);

// ReadDevice on the USB link. data is handed over only when the whole read
// succeeded; a BUS_STREAM read may lower *dataSize when the stream ends.
bool ReadRegisters(usb::Device& device, int16_t busType, int16_t deviceAddress,
                   const int16_t* registers, uint8_t* data, int16_t* dataSize);

}  // namespace dravik::protocol
