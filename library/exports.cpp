// The five C exports: argument checks in the order callers rely on, then the
// link. No C++ exception crosses an export: whatever escapes becomes the
// function's "Internal error" text and a 0 result.
#include <exception>
#include <new>

#include "dravik/dravik.h"
#include "handle_table.hpp"
#include "last_error.hpp"
#include "messages.hpp"
#include "open_device.hpp"
#include "protocol.hpp"
#include "smbus/smbus_link.hpp"

namespace dravik {
namespace {

template <typename Body>
uint8_t Guarded(const char* internalError, Body body) noexcept {
  try {
    return body() ? 1 : 0;
  } catch (...) {
    SetLastError(internalError);
    return 0;
  }
}

bool Fail(const char* message) {
  SetLastError(message);
  return false;
}

// The checks both transfers make before anything is sent: the handle of
// -1, the count, then a handle the library did not hand out.
OpenLink* CheckTransfer(const messages::TransferTexts& texts, DeviceHandle handle,
                        const int16_t* registers, const int16_t* dataSize) {
  if (handle == kNoHandle) {
    Fail(texts.deviceNotOpen);
    return nullptr;
  }
  if (dataSize == nullptr) {
    Fail(texts.dataSizeNull);
    return nullptr;
  }
  if (*dataSize < 1) {
    Fail(texts.dataSizeBelowOne);
    return nullptr;
  }
  OpenLink* link = FindOpenLink(handle);
  if (link == nullptr) {
    Fail(texts.deviceNotOpen);
    return nullptr;
  }
  if (registers == nullptr) {
    Fail(texts.registersNull);
    return nullptr;
  }
  return link;
}

bool ReadChecked(DeviceHandle handle, uint8_t port, int16_t busType, int16_t deviceAddress,
                 const int16_t* registers, uint8_t* data, int16_t* dataSize) {
  OpenLink* link = CheckTransfer(messages::kRead, handle, registers, dataSize);
  if (link == nullptr) {
    return false;
  }
  if (data == nullptr) {
    return Fail(messages::kRead.dataNull);
  }
  if (link->controller) {
    // The controller carries SMBus transfers only; the board's bus types
    // need the board.
    if (busType != BUS_SMBUS) {
      return Fail(messages::kUnrecognizedType);
    }
    return link->controller->Read(port, deviceAddress, registers, data, *dataSize);
  }
  return protocol::ReadRegisters(*link->board, busType, deviceAddress, registers, data, dataSize);
}

bool WriteChecked(DeviceHandle handle, uint8_t port, int16_t busType, int16_t deviceAddress,
                  const int16_t* registers, const uint8_t* data, int16_t* dataSize) {
  OpenLink* link = CheckTransfer(messages::kWrite, handle, registers, dataSize);
  if (link == nullptr) {
    return false;
  }
  if (link->controller) {
    if (busType != BUS_SMBUS) {
      return Fail(messages::kUnrecognizedType);
    }
    if (data == nullptr) {
      return Fail(messages::kWrite.dataNull);
    }
    return link->controller->Write(port, deviceAddress, registers, data, *dataSize);
  }
  return protocol::WriteRegisters(*link->board, busType, deviceAddress, registers, data, *dataSize);
}

bool OpenChecked(int16_t link, const char* driverName, uint16_t* vidPid, uint8_t forceFirmware,
                 const char* firmwarePath, DeviceHandle* handle) {
  if (driverName == nullptr || driverName[0] == '\0') {
    return Fail(messages::kNoDriverName);
  }
  if (handle == nullptr) {
    return Fail(messages::kHandleNull);
  }
  if (link == LINK_SMBUS) {
    return OpenSmbusLink(driverName, handle);
  }
  if (link != LINK_USB) {
    return Fail(messages::kIllegalInterface);
  }
  if (vidPid == nullptr) {
    return Fail(messages::kVidPidNull);
  }
  return OpenUsbLink(vidPid, forceFirmware, firmwarePath, handle);
}

}  // namespace
}  // namespace dravik

extern "C" {

DRAVIK_API uint8_t OpenDevice(int16_t link, const char* driverName, uint16_t* vidPid,
                              uint8_t forceFirmware, const char* firmwarePath,
                              DeviceHandle* handle) {
  return dravik::Guarded("OpenDevice: Internal error", [&] {
    return dravik::OpenChecked(link, driverName, vidPid, forceFirmware, firmwarePath, handle);
  });
}

DRAVIK_API uint8_t CloseDevice(DeviceHandle handle) {
  return dravik::Guarded("CloseDevice: Internal error",
                         [&] { return dravik::CloseOpenDevice(handle); });
}

DRAVIK_API uint8_t ReadDevice(DeviceHandle handle, uint8_t port, int16_t busType,
                              int16_t deviceAddress, const int16_t* registers, uint8_t* data,
                              int16_t* dataSize) {
  return dravik::Guarded(dravik::messages::kRead.internalError, [&] {
    return dravik::ReadChecked(handle, port, busType, deviceAddress, registers, data, dataSize);
  });
}

DRAVIK_API uint8_t WriteDevice(DeviceHandle handle, uint8_t port, int16_t busType,
                               int16_t deviceAddress, const int16_t* registers, const uint8_t* data,
                               int16_t* dataSize) {
  return dravik::Guarded(dravik::messages::kWrite.internalError, [&] {
    return dravik::WriteChecked(handle, port, busType, deviceAddress, registers, data, dataSize);
  });
}

DRAVIK_API uint8_t LastErrorDevice(char* buffer) {
  if (buffer == nullptr) {
    dravik::SetLastError(dravik::messages::kErrorBufferNull);
    return 0;
  }
  dravik::CopyLastError(buffer);
  return 1;
}

}  // extern "C"
