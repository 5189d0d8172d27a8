// OpenDevice and CloseDevice behind the exports (arguments already checked
// for null there): finding and opening the board on the USB link, with the
// firmware download and re-enumeration wait, or the SMBus controller.
#pragma once

#include <cstdint>

#include "dravik/dravik.h"
#include "usb/usb_device.hpp"

namespace dravik {

// Waits around a firmware download, in milliseconds.
constexpr int kReenumerationDelayMs = 1000;
constexpr int kReenumerationPolls = 21;
constexpr int kReenumerationPollDelayMs = 500;
// Longest firmware image and firmware path the library takes.
constexpr int kMaxFirmwareSize = 8192;
constexpr int kFirmwareNameBufferSize = 256;

// The board's identity as the caller asked for it: vendor 0 or product 0
// takes any; a wanted 0x0400/0x11xx also takes the product 0x2000 above it.
bool MatchesVidPid(uint16_t wantedVendor, uint16_t wantedProduct,
                   const usb::DeviceDescriptor& descriptor);

// The name the firmware is read from: the path, with its last character
// made a '2' on an FX2-class board (bcdUSB 0x0200 or more), so .bix reads .bi2.
// False when the path does not fit the 256-byte name buffer.
bool FirmwareFileName(const char* firmwarePath, uint16_t bcdUSB,
                      char (&name)[kFirmwareNameBufferSize]);

// The project's placeholder images start with this text (they are no board
// firmware; only the emulated board takes them).
inline constexpr char kPlaceholderFirmwareMark[] = "Kestrova emulated board firmware";

bool OpenUsbLink(uint16_t* vidPid, uint8_t forceFirmware, const char* firmwarePath,
                 DeviceHandle* handle);
bool OpenSmbusLink(const char* driverName, DeviceHandle* handle);
bool CloseOpenDevice(DeviceHandle handle);

}  // namespace dravik
