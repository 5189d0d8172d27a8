// dravik-selfcheck: what does the device library report on this machine?
#include <cstdio>
#include <cstring>

#include "dravik/dravik.h"

namespace {

void PrintLastError(const char* when) {
  char text[DRAVIK_ERROR_TEXT_SIZE];
  std::memset(text, 0, sizeof text);
  LastErrorDevice(text);
  std::printf("%s: last error \"%s\"\n", when, text);
}

}  // namespace

int main() {
  std::printf("dravik self-check\n");
  PrintLastError("at start");

  uint16_t vidPid[2] = {0, 0};
  DeviceHandle handle = -1;
  if (OpenDevice(LINK_USB, "dravik", vidPid, 0, nullptr, &handle) != 0) {
    std::printf("USB board opened: VID=%04x PID=%04x\n", vidPid[0], vidPid[1]);
    CloseDevice(handle);
  } else {
    PrintLastError("USB board not opened");
    if (handle != -1) {
      CloseDevice(handle);
    }
  }
  return 0;
}
