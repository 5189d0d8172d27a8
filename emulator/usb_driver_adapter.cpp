#include "emulator/usb_driver_adapter.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kestrova::emulator {

using dravik::usb::IoResult;
namespace codes = dravik::usb;

namespace {

uint16_t Word(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

uint32_t Long(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16) |
         static_cast<uint32_t>(bytes[3]) << 24;
}

void PutLong(uint8_t* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  }
}

bool PutValue(uint8_t* out, uint32_t outLength, uint32_t* returned, uint32_t value, uint32_t size) {
  if (out == nullptr || outLength < size) {
    return false;
  }
  for (uint32_t i = 0; i < size; ++i) {
    out[i] = static_cast<uint8_t>(value >> (8 * i));
  }
  *returned = size;
  return true;
}

bool PutText(uint8_t* out, uint32_t outLength, uint32_t* returned, const char* text) {
  if (out == nullptr || outLength == 0) {
    return false;
  }
  const size_t length = std::min<size_t>(std::strlen(text), outLength - 1);
  std::memcpy(out, text, length);
  std::memset(out + length, 0, outLength - length);
  *returned = static_cast<uint32_t>(length + 1);
  return true;
}

uint32_t StatusOf(UsbOutcome outcome) {
  switch (outcome) {
    case UsbOutcome::kDone:
    case UsbOutcome::kPending:
      return 0;
    case UsbOutcome::kStall:
      return kStatusStall;
    case UsbOutcome::kGone:
      return kStatusDeviceGone;
    case UsbOutcome::kOverflow:
      return kStatusBabble;
  }
  return kStatusStall;
}

IoResult ResultOf(UsbOutcome outcome) {
  switch (outcome) {
    case UsbOutcome::kDone:
      return IoResult::kDone;
    case UsbOutcome::kPending:
      return IoResult::kTimeout;
    default:
      return IoResult::kFailed;
  }
}

// The header travels back in front of the data with the two status words.
void EchoHeader(const uint8_t* in, uint8_t* out, UsbOutcome outcome) {
  if (out != in) {
    std::memmove(out, in, codes::kTransferHeaderSize);
  }
  PutLong(out + header::kStatus1, StatusOf(outcome));
  PutLong(out + header::kStatus2, 0);
}

}  // namespace

EmulatedDriverClass::EmulatedDriverClass(std::vector<std::shared_ptr<Board>> boards)
    : boards_(std::move(boards)) {}

void EmulatedDriverClass::AddBoard(std::shared_ptr<Board> board) {
  boards_.push_back(std::move(board));
}

int EmulatedDriverClass::Count() {
  int present = 0;
  for (const auto& board : boards_) {
    present += board->NoteSearch() ? 1 : 0;
  }
  return present;
}

std::unique_ptr<dravik::usb::Driver> EmulatedDriverClass::Open(int index) {
  int present = 0;
  for (const auto& board : boards_) {
    if (!board->Connected()) {
      continue;
    }
    if (present == index) {
      return std::make_unique<EmulatedDriver>(*this, board, index);
    }
    ++present;
  }
  return nullptr;
}

EmulatedDriver::EmulatedDriver(EmulatedDriverClass& owner, std::shared_ptr<Board> board, int index)
    : owner_(owner), board_(std::move(board)), index_(index), generation_(board_->Generation()) {}

IoResult EmulatedDriver::Control(uint32_t code, const uint8_t* in, uint32_t inLength, uint8_t* out,
                                 uint32_t outLength, uint32_t* returned, uint32_t /*timeoutMs*/) {
  owner_.CountCall();
  uint32_t ignored = 0;
  if (returned == nullptr) {
    returned = &ignored;
  }
  *returned = 0;
  if (!board_->Connected() || board_->Generation() != generation_) {
    return IoResult::kFailed;
  }
  const bool highSpeed = board_->Class() == BoardClass::kHighSpeed;
  switch (code) {
    case codes::kIoctlDriverVersion:
      return PutValue(out, outLength, returned, owner_.DriverVersion(), 4) ? IoResult::kDone
                                                                           : IoResult::kFailed;
    case codes::kIoctlStackVersion:
      return PutValue(out, outLength, returned, kEmulatedStackVersion, 4) ? IoResult::kDone
                                                                          : IoResult::kFailed;
    case codes::kIoctlAltInterface:
      return PutValue(out, outLength, returned, 0, 1) ? IoResult::kDone : IoResult::kFailed;
    case codes::kIoctlUsbAddress:
      return PutValue(out, outLength, returned, 2 + generation_ % 120, 1) ? IoResult::kDone
                                                                          : IoResult::kFailed;
    case codes::kIoctlBusSpeed:
      return PutValue(out, outLength, returned, highSpeed ? kSpeedHigh : kSpeedFull, 4)
                 ? IoResult::kDone
                 : IoResult::kFailed;
    case codes::kIoctlDeviceName: {
      char name[64];
      std::snprintf(name, sizeof name, "emulated-board-%d", index_);
      return PutText(out, outLength, returned, name) ? IoResult::kDone : IoResult::kFailed;
    }
    case codes::kIoctlFriendlyName:
      return PutText(out, outLength, returned, kProductText) ? IoResult::kDone : IoResult::kFailed;
    case codes::kIoctlResetParentPort:
      return IoResult::kDone;
    case codes::kIoctlAbortPipe:
      if (in == nullptr || inLength < 1) {
        return IoResult::kFailed;
      }
      board_->Abort(in[0]);
      return IoResult::kDone;
    case codes::kIoctlControlTransfer:
      return ControlTransfer(in, inLength, out, outLength, returned);
    case codes::kIoctlBufferedTransfer:
      return BufferedTransfer(in, inLength, out, outLength, returned);
    case codes::kIoctlDirectTransfer:
      return DirectTransfer(in, inLength, out, outLength, returned);
    default:
      return IoResult::kFailed;
  }
}

IoResult EmulatedDriver::ControlTransfer(const uint8_t* in, uint32_t inLength, uint8_t* out,
                                         uint32_t outLength, uint32_t* returned) {
  if (in == nullptr || inLength < codes::kTransferHeaderSize || out == nullptr ||
      outLength < codes::kTransferHeaderSize) {
    return IoResult::kFailed;
  }
  SetupPacket setup;
  setup.bmRequestType = in[header::kSetup];
  setup.bRequest = in[header::kSetup + 1];
  setup.wValue = Word(in + header::kSetup + 2);
  setup.wIndex = Word(in + header::kSetup + 4);
  setup.wLength = Word(in + header::kSetup + 6);
  const uint32_t needed = codes::kTransferHeaderSize + setup.wLength;
  if (setup.IsIn() ? outLength < needed : inLength < needed) {
    return IoResult::kFailed;
  }
  size_t moved = 0;
  const UsbOutcome outcome = board_->Control(setup, in + codes::kTransferHeaderSize,
                                             out + codes::kTransferHeaderSize, &moved);
  EchoHeader(in, out, outcome);
  *returned = outcome == UsbOutcome::kDone
                  ? static_cast<uint32_t>(codes::kTransferHeaderSize + moved)
                  : codes::kTransferHeaderSize;
  return ResultOf(outcome);
}

IoResult EmulatedDriver::BufferedTransfer(const uint8_t* in, uint32_t inLength, uint8_t* out,
                                          uint32_t outLength, uint32_t* returned) {
  if (in == nullptr || inLength < codes::kTransferHeaderSize || out == nullptr ||
      outLength < codes::kTransferHeaderSize) {
    return IoResult::kFailed;
  }
  const uint8_t endpoint = in[header::kEndpoint];
  const uint32_t length = Long(in + header::kBufferLength);
  const bool toHost = (endpoint & 0x80) != 0;
  const uint64_t needed = uint64_t{codes::kTransferHeaderSize} + length;
  if (toHost ? outLength < needed : inLength < needed) {
    return IoResult::kFailed;
  }
  size_t moved = 0;
  // The data leave before the header is echoed: in and out may be one block.
  const UsbOutcome outcome =
      toHost ? board_->BulkIn(endpoint, out + codes::kTransferHeaderSize, length, &moved)
             : board_->BulkOut(endpoint, in + codes::kTransferHeaderSize, length, &moved);
  if (outcome == UsbOutcome::kPending) {
    return IoResult::kTimeout;
  }
  EchoHeader(in, out, outcome);
  *returned = static_cast<uint32_t>(codes::kTransferHeaderSize + moved);
  return ResultOf(outcome);
}

IoResult EmulatedDriver::DirectTransfer(const uint8_t* in, uint32_t inLength, uint8_t* out,
                                        uint32_t outLength, uint32_t* returned) {
  if (in == nullptr || inLength <= header::kEndpoint || (out == nullptr && outLength > 0)) {
    return IoResult::kFailed;
  }
  const uint8_t endpoint = in[header::kEndpoint];
  size_t moved = 0;
  const UsbOutcome outcome = (endpoint & 0x80) != 0
                                 ? board_->BulkIn(endpoint, out, outLength, &moved)
                                 : board_->BulkOut(endpoint, out, outLength, &moved);
  *returned = static_cast<uint32_t>(moved);
  return ResultOf(outcome);
}

}  // namespace kestrova::emulator
