#include "handle_table.hpp"

#include <cstdint>
#include <limits>
#include <utility>

namespace dravik {
namespace {

struct Slot {
  DeviceHandle handle = 0;  // 0: free
  OpenLink link;
};

// Never destroyed: at process exit the other layers' statics may already be
// gone, and the system releases what a device still holds.
Slot* const slots = new Slot[kMaxOpenDevices];
DeviceHandle lastHandle = 0;

bool InUse(DeviceHandle handle) {
  for (int i = 0; i < kMaxOpenDevices; ++i) {
    if (slots[i].handle == handle) {
      return true;
    }
  }
  return false;
}

// Handles count up so a stale handle of a closed device does not reach
// the next one opened.
DeviceHandle NextHandle() {
  do {
    lastHandle = lastHandle == std::numeric_limits<DeviceHandle>::max() ? 1 : lastHandle + 1;
  } while (InUse(lastHandle));
  return lastHandle;
}

}  // namespace

DeviceHandle AddOpenLink(OpenLink link) {
  for (int i = 0; i < kMaxOpenDevices; ++i) {
    Slot& slot = slots[i];
    if (slot.handle == 0) {
      slot.handle = NextHandle();
      slot.link = std::move(link);
      return slot.handle;
    }
  }
  return kNoHandle;
}

OpenLink* FindOpenLink(DeviceHandle handle) {
  if (handle <= 0) {
    return nullptr;
  }
  for (int i = 0; i < kMaxOpenDevices; ++i) {
    Slot& slot = slots[i];
    if (slot.handle == handle) {
      return &slot.link;
    }
  }
  return nullptr;
}

OpenLink TakeOpenLink(DeviceHandle handle) {
  OpenLink taken;
  if (handle <= 0) {
    return taken;
  }
  for (int i = 0; i < kMaxOpenDevices; ++i) {
    Slot& slot = slots[i];
    if (slot.handle == handle) {
      slot.handle = 0;
      taken = std::move(slot.link);
      slot.link = OpenLink{};
      break;
    }
  }
  return taken;
}

void CloseAllOpenLinksForTesting() {
  for (int i = 0; i < kMaxOpenDevices; ++i) {
    Slot& slot = slots[i];
    slot.handle = 0;
    slot.link = OpenLink{};
  }
  lastHandle = 0;
}

}  // namespace dravik
