// dravik-selfcheck: what does the device library report on this machine?
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "definition/program_folder.hpp"
#include "dravik/dravik.h"

namespace {

void PrintLastError(const char* when) {
  char text[DRAVIK_ERROR_TEXT_SIZE];
  std::memset(text, 0, sizeof text);
  LastErrorDevice(text);
  std::printf("%s: last error \"%s\"\n", when, text);
}

// The shipped firmware image, for a board that does not run it yet:
// installed beside the program's share folder, else the source tree's copy.
std::string FirmwarePath() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  const auto found = kestrova::definition::FindDataFile(
      kestrova::definition::ShippedDataFolders(error ? "" : self.parent_path().string(),
                                               {KESTROVA_DATA_DIR}),
      "bix/dravik.bix");
  return found.value_or(KESTROVA_DATA_DIR "/bix/dravik.bix");
}

}  // namespace

int main() {
  std::printf("dravik self-check\n");
  PrintLastError("at start");

  uint16_t vidPid[2] = {0, 0};
  DeviceHandle handle = -1;
  const std::string firmware = FirmwarePath();
  std::printf("firmware image for a board without firmware: %s\n", firmware.c_str());
  if (OpenDevice(LINK_USB, "dravik", vidPid, 0, firmware.c_str(), &handle) != 0) {
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
