// Every text the library leaves in its last-error buffer, byte for byte
// (typos included: programs match on them).
#pragma once

#include "dravik/dravik.h"

namespace dravik::messages {

// OpenDevice / CloseDevice.
inline constexpr const char* kNoDriverName = "OpenDevice: No DriverName specified";
inline constexpr const char* kIllegalInterface = "OpenDevice: Illegal interface";
inline constexpr const char* kCantCreateMutex = "OpenDevice: Can't create ICH Mutex";
inline constexpr const char* kCantOpenSmbusDriver = "OpenDevice: Can't open dravik ICH driver";
inline constexpr const char* kBoardNotFound = "OpenDevice: Can't find board with this USB VID,PID";
inline constexpr const char* kCodeFileNameNull = "Error, CodeFileName is NULL";
inline constexpr const char* kErrorOpeningFirmware = " error opening firmware file";
inline constexpr const char* kErrorReadingFirmware = "error reading firmware file";
inline constexpr const char* kInvalidHandle = "CloseUSB: Invalid Device Handle";
inline constexpr const char* kCantCloseMutex = "CloseDevice: Can't close ICH Mutex";
// Refusals of bad input the original messages do not cover.
inline constexpr const char* kHandleNull = "OpenDevice: Handle is NULL";
inline constexpr const char* kVidPidNull = "OpenDevice: VidPid is NULL";
inline constexpr const char* kFirmwarePathTooLong = "OpenDevice: Firmware path > 255 characters";
inline constexpr const char* kDriverNameTooLong = "OpenDevice: DriverName > 250 characters";
inline constexpr const char* kTooManyOpen = "OpenDevice: Too many devices open";
inline constexpr const char* kNoReenumeration =
    "OpenDevice: Board did not come back after firmware download";
inline constexpr const char* kErrorBufferNull = "LastErrorDevice: Buffer is NULL";
// Followed by the image's path, so the user knows which file to replace.
inline constexpr const char* kPlaceholderFirmware = DRAVIK_PLACEHOLDER_FIRMWARE_ERROR;

// Texts that exist for both transfer directions, indexed by Direction.
struct TransferTexts {
  const char* deviceNotOpen;
  const char* dataSizeBelowOne;
  const char* dataSizeNull;
  const char* registersNull;
  const char* dataNull;
  const char* passTooLarge;
  const char* internalError;
  // SMBus link.
  const char* addressAbove7f;
  const char* dataSizeAboveFf;
  const char* cantGetMutex;
  const char* cantReleaseMutex;
  const char* driverFailed;
  const char* wrongDriverCount;
};

inline constexpr TransferTexts kRead = {
    "ReadDevice: Device not open",
    "ReadDevice: DataSize < 1",
    "ReadDevice: DataSize is NULL",
    "ReadDevice: Registers is NULL",
    "ReadDevice: Data is NULL",
    "ReadDevice: More than 1024 registers in one pass",
    "ReadDevice: Internal error",
    "ReadDevice: I2C Address > 0x7f",
    "ReadDevice: DataSize > 0xff",
    "ReadDevice: Can't get ownership ICH Mutex",
    "ReadDevice: Can't release ICH Mutex",
    "ReadDevice: Dravik driver read failed",
    "ReadDevice: Wrong number of bytes read from Dravik driver",
};

inline constexpr TransferTexts kWrite = {
    "WriteDevice: Device not open",
    "WriteDevice: DataSize < 1",
    "WriteDevice: DataSize is NULL",
    "WriteDevice: Registers is NULL",
    "WriteDevice: Data is NULL",
    "WriteDevice: More than 1024 registers in one pass",
    "WriteDevice: Internal error",
    "WriteDevice: I2C Address > 0x7f",
    "WriteDevice: DataSize > 0xff",
    "WriteDevice: Can't get ownership ICH Mutex",
    "WriteDevice: Can't release ICH Mutex",
    "WriteDevice: Dravik driver write failed",
    "WriteDevice: Wrong number of bytes sent to Dravik driver",
};

// Board transfer protocol.
inline constexpr const char* kUnrecognizedType = "WriteDevice: Unrecongized Type";
inline constexpr const char* kAddressTooLarge = "WriteDevice: Device Address too large";
inline constexpr const char* kMicrowireTooLarge = "WriteDevice: Microwire datasize > 2";
inline constexpr const char* kQx3TooSmall = "WriteDevice: QX3Test datasize < 2";
inline constexpr const char* kCantWriteBuffer = "WriteDevice: Can't write buffer";
inline constexpr const char* kWrongBytesSent = "WriteDevice: Wrong number of bytes sent";
inline constexpr const char* kWrongBytesReturned = "ReadDevice: Wrong number of bytes returned";
inline constexpr const char* kReadRequestTooLarge = "WriteDevice: Read request > 58 registers";
inline constexpr const char* kStreamLengthZero = "ReadDevice: Stream length byte is 0";
inline constexpr const char* kStreamLengthTooLarge =
    "ReadDevice: Stream length byte > bytes requested";
inline constexpr const char* kStreamNoProgress =
    "ReadDevice: Stream response to a one-byte request carries no data";

}  // namespace dravik::messages
