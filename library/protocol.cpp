#include "protocol.hpp"

#include <algorithm>
#include <cstring>

#include "dravik/dravik.h"
#include "last_error.hpp"
#include "messages.hpp"

namespace dravik::protocol {
namespace {

// One pass's working lists, filled in caller order.
struct Pass {
  int16_t busType = BUS_BOARD;
  int count = 0;
  int16_t registers[kPassCapacity];
  uint8_t data[kPassCapacity];
};

enum class Header { kNone, kByteAddresses, kWordAddresses };

Header HeaderOf(int16_t busType) {
  switch (busType) {
    case BUS_BOARD:
      return Header::kWordAddresses;
    case BUS_I2C:
    case BUS_SINGLEWIRE:
    case BUS_SPI:
      return Header::kByteAddresses;
    default:
      return Header::kNone;
  }
}

// Bytes one register costs of a write packet's budget.
int BudgetPerRegister(int16_t busType) {
  switch (HeaderOf(busType)) {
    case Header::kWordAddresses:
      return 3;
    case Header::kByteAddresses:
      return 2;
    case Header::kNone:
      break;
  }
  return 1;
}

bool Fail(const char* message) {
  SetLastError(message);
  return false;
}

bool IsBoardRegister(int16_t entry) {
  return entry >= BOARD_REGISTER_BASE;
}

// Splits the caller's list in order: board registers to the board pass,
// every other entry (negative ones included) to the chip pass. A stream is
// not split. False when a pass would overflow its lists.
bool SplitPasses(int16_t busType, const int16_t* registers, const uint8_t* data, int count,
                 Pass& chip, Pass& board) {
  chip.busType = busType;
  chip.count = 0;
  board.busType = BUS_BOARD;
  board.count = 0;
  for (int i = 0; i < count; ++i) {
    Pass& pass = (busType != BUS_STREAM && IsBoardRegister(registers[i])) ? board : chip;
    if (pass.count == kPassCapacity) {
      return false;
    }
    pass.registers[pass.count] = registers[i];
    if (data != nullptr) {
      pass.data[pass.count] = data[i];
    }
    ++pass.count;
  }
  return true;
}

usb::Endpoint* EndpointAt(usb::Device& device, int index) {
  return index < device.EndpointCount() ? device.EndpointAt(index) : nullptr;
}

bool SendPacket(usb::Device& device, uint8_t* packet, int length) {
  usb::Endpoint* endpoint = EndpointAt(device, kCommandEndpointIndex);
  if (endpoint == nullptr || endpoint->IsIn() || endpoint->Attributes() != usb::kAttributesBulk) {
    return Fail(messages::kWrongBytesSent);
  }
  int32_t moved = length;
  if (!endpoint->XferData(packet, moved) || moved != length) {
    return Fail(messages::kWrongBytesSent);
  }
  return true;
}

bool ReceiveResponse(usb::Device& device, uint8_t* response, int n) {
  usb::Endpoint* endpoint = EndpointAt(device, kResponseEndpointIndex);
  if (endpoint == nullptr || !endpoint->IsIn()) {
    return Fail(messages::kWrongBytesReturned);
  }
  int32_t moved = n;
  if (!endpoint->XferData(response, moved) || moved != n) {
    return Fail(messages::kWrongBytesReturned);
  }
  return true;
}

bool WritePass(usb::Device& device, const Pass& pass, int16_t deviceAddress,
               bool noRegisterAddress) {
  const int perRegister = BudgetPerRegister(pass.busType);
  int budget = perRegister * pass.count;
  int position = 0;
  uint8_t packet[kMaxPacketSize];
  while (budget > 0) {
    const int n = std::min(budget, MAX_CHUNK) / perRegister;
    if (const char* refusal = CheckPacket(pass.busType, deviceAddress, n, true)) {
      return Fail(refusal);
    }
    const int length =
        BuildCommandPacket(kDirectionWrite, pass.busType, deviceAddress, pass.registers + position,
                           pass.data + position, n, noRegisterAddress, packet);
    if (!SendPacket(device, packet, length)) {
      return false;
    }
    position += n;
    budget -= perRegister * n;
  }
  return true;
}

// One read request for n registers; the response is left on the IN endpoint.
bool SendReadRequest(usb::Device& device, int16_t busType, int16_t deviceAddress,
                     const int16_t* registers, int n, bool noRegisterAddress) {
  if (n > MAX_CHUNK) {
    return Fail(messages::kReadRequestTooLarge);
  }
  if (const char* refusal = CheckPacket(busType, deviceAddress, n, false)) {
    return Fail(refusal);
  }
  uint8_t packet[kMaxPacketSize];
  const int length = BuildCommandPacket(kDirectionRead, busType, deviceAddress, registers, nullptr,
                                        n, noRegisterAddress, packet);
  return SendPacket(device, packet, length);
}

bool RequestPass(usb::Device& device, const Pass& pass, int16_t deviceAddress,
                 bool noRegisterAddress) {
  if (pass.count == 0) {
    return true;
  }
  return SendReadRequest(device, pass.busType, deviceAddress, pass.registers, pass.count,
                         noRegisterAddress);
}

// Reads a pass chunk by chunk into result (room for kPassCapacity bytes).
bool ReadPass(usb::Device& device, const Pass& pass, int16_t deviceAddress, uint8_t* result) {
  uint8_t response[kResponseBufferSize];
  int done = 0;
  while (done < pass.count) {
    const int n = std::min(MAX_CHUNK, pass.count - done);
    const bool noRegisterAddress = pass.registers[done] == NO_REGISTER_ADDRESS;
    if (!SendReadRequest(device, pass.busType, deviceAddress, pass.registers + done, n,
                         noRegisterAddress) ||
        !ReceiveResponse(device, response, n)) {
      return false;
    }
    std::memcpy(result + done, response, static_cast<std::size_t>(n));
    done += n;
  }
  return true;
}

// A length-prefixed stream: each response's first byte is one more than the
// number of data bytes behind it; a response shorter than asked ends it.
bool ReadStream(usb::Device& device, int16_t deviceAddress, uint8_t* data, int16_t* dataSize) {
  const int count = *dataSize;
  if (count > kPassCapacity) {
    return Fail(messages::kRead.passTooLarge);
  }
  uint8_t result[kPassCapacity];
  uint8_t response[kResponseBufferSize];
  int done = 0;
  while (done < count) {
    const int n = std::min(MAX_CHUNK, count - done);
    if (!SendReadRequest(device, BUS_STREAM, deviceAddress, nullptr, n, false) ||
        !ReceiveResponse(device, response, n)) {
      return false;
    }
    const int lengthByte = response[0];
    // A zero or oversized length byte would step backwards or past the
    // response: stop there.
    if (lengthByte == 0) {
      return Fail(messages::kStreamLengthZero);
    }
    if (lengthByte > n) {
      return Fail(messages::kStreamLengthTooLarge);
    }
    // A one-byte request can never carry data, and every read of a stream
    // that fills its responses ends in one. The bytes gathered so far have
    // left the board already, so they are handed over rather than dropped.
    const bool noProgress = lengthByte == 1 && n == 1;
    if (noProgress && done == 0) {
      return Fail(messages::kStreamNoProgress);
    }
    std::memcpy(result + done, response + 1, static_cast<std::size_t>(lengthByte - 1));
    done += lengthByte - 1;
    if (lengthByte < n || noProgress) {
      std::memcpy(data, result, static_cast<std::size_t>(done));
      *dataSize = static_cast<int16_t>(done);
      return true;
    }
  }
  std::memcpy(data, result, static_cast<std::size_t>(count));
  return true;
}

}  // namespace

int BuildCommandPacket(uint8_t direction, int16_t busType, int16_t deviceAddress,
                       const int16_t* registers, const uint8_t* data, int n, bool noRegisterAddress,
                       uint8_t* packet) {
  int position = 0;
  packet[position++] = direction;
  packet[position++] = static_cast<uint8_t>(busType);
  const int headerLengthAt = position++;
  const Header header = HeaderOf(busType);
  if (header != Header::kNone) {
    packet[position++] = static_cast<uint8_t>(deviceAddress);
    if (!noRegisterAddress) {
      for (int i = 0; i < n; ++i) {
        const auto entry = static_cast<uint16_t>(registers[i]);
        if (header == Header::kWordAddresses) {
          packet[position++] = static_cast<uint8_t>(entry >> 8);
        }
        packet[position++] = static_cast<uint8_t>(entry & 0xFF);
      }
    }
  }
  packet[headerLengthAt] = static_cast<uint8_t>(position - headerLengthAt - 1);
  packet[position++] = static_cast<uint8_t>(n);
  if (direction == kDirectionWrite) {
    std::memcpy(packet + position, data, static_cast<std::size_t>(n));
    position += n;
  }
  return position;
}

const char* CheckPacket(int16_t busType, int16_t deviceAddress, int n, bool isWrite) {
  // Addresses are compared unsigned: a negative one is no bus address either.
  const auto address = static_cast<uint16_t>(deviceAddress);
  switch (busType) {
    case BUS_BOARD:
    case BUS_SPI:
      return nullptr;
    case BUS_MICROWIRE:
      return n > 2 ? messages::kMicrowireTooLarge : nullptr;
    case BUS_I2C:
      return address > 127 ? messages::kAddressTooLarge : nullptr;
    case BUS_SINGLEWIRE:
      return address > 7 ? messages::kAddressTooLarge : nullptr;
    case BUS_STREAM:
      return isWrite ? messages::kCantWriteBuffer : nullptr;
    case BUS_QX3TEST:
      return n < 2 ? messages::kQx3TooSmall : nullptr;
    default:
      return messages::kUnrecognizedType;
  }
}

bool WriteRegisters(usb::Device& device, int16_t busType, int16_t deviceAddress,
                    const int16_t* registers, const uint8_t* data, int16_t count) {
  Pass chip;
  Pass board;
  if (!SplitPasses(busType, registers, data, count, chip, board)) {
    return Fail(messages::kWrite.passTooLarge);
  }
  // "No register address" names the chip's registers; board registers are
  // always sent with their addresses.
  const bool noRegisterAddress = registers[0] == NO_REGISTER_ADDRESS;
  if (data == nullptr) {
    return RequestPass(device, chip, deviceAddress, noRegisterAddress) &&
           RequestPass(device, board, deviceAddress, false);
  }
  return WritePass(device, chip, deviceAddress, noRegisterAddress) &&
         WritePass(device, board, deviceAddress, false);
}

bool ReadRegisters(usb::Device& device, int16_t busType, int16_t deviceAddress,
                   const int16_t* registers, uint8_t* data, int16_t* dataSize) {
  if (busType == BUS_STREAM) {
    return ReadStream(device, deviceAddress, data, dataSize);
  }
  const int count = *dataSize;
  Pass chip;
  Pass board;
  if (!SplitPasses(busType, registers, nullptr, count, chip, board)) {
    return Fail(messages::kRead.passTooLarge);
  }
  uint8_t chipResult[kPassCapacity];
  uint8_t boardResult[kPassCapacity];
  if (!ReadPass(device, chip, deviceAddress, chipResult) ||
      !ReadPass(device, board, deviceAddress, boardResult)) {
    return false;
  }
  int chipTaken = 0;
  int boardTaken = 0;
  for (int i = 0; i < count; ++i) {
    data[i] = IsBoardRegister(registers[i]) ? boardResult[boardTaken++] : chipResult[chipTaken++];
  }
  return true;
}

}  // namespace dravik::protocol
