// The devices the library holds open, USB boards and SMBus links alike. A
// 64-bit object address does not fit the 32-bit DeviceHandle, so callers get
// small positive handle values; a handle not handed out is never followed.
#pragma once

#include <memory>

#include "dravik/dravik.h"
#include "smbus/smbus_link.hpp"
#include "usb/usb_device.hpp"

namespace dravik {

constexpr int kMaxOpenDevices = 16;
constexpr DeviceHandle kNoHandle = -1;

// Exactly one of the two is set.
struct OpenLink {
  std::unique_ptr<usb::Device> board;
  std::unique_ptr<smbus::Link> controller;
};

// Stores the link and returns its new handle; kNoHandle when the table is full
// (the link is then dropped).
DeviceHandle AddOpenLink(OpenLink link);
// nullptr for a handle the table does not hold.
OpenLink* FindOpenLink(DeviceHandle handle);
// Removes the entry and hands its objects back (both empty when not held).
OpenLink TakeOpenLink(DeviceHandle handle);
// Drops every entry; tests start from an empty table.
void CloseAllOpenLinksForTesting();

}  // namespace dravik
