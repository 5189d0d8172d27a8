#include "emulated_board_state.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

namespace kestrova::tools {

namespace {

std::string StateFolder() {
  for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
    const char* folder = std::getenv(name);
    if (folder != nullptr && folder[0] == '/') {
      return folder;
    }
  }
  return "/tmp";
}

}  // namespace

bool EmulatorSelected() {
  const char* emulator = std::getenv("DRAVIK_EMULATOR");
  return emulator != nullptr && std::strcmp(emulator, "1") == 0;
}

void KeepEmulatedBoardState(bool bare) {
  if (bare) {
    ::setenv("DRAVIK_EMULATOR_BARE", "1", 1);
  }
  if (std::getenv("DRAVIK_EMULATOR_STATE") != nullptr) {
    return;
  }
  // Another scenario is another bench: its board keeps its own firmware.
  const char* scenario = std::getenv("DRAVIK_EMULATOR_SCENARIO");
  char name[96];
  std::snprintf(name, sizeof name, "/dravik-emulated-board-%u-%016zx", ::getuid(),
                std::hash<std::string>{}(scenario != nullptr ? scenario : ""));
  ::setenv("DRAVIK_EMULATOR_STATE", (StateFolder() + name).c_str(), 1);
}

}  // namespace kestrova::tools
