// Where the emulator finds shipped data (part definitions, scenarios): the
// program folder ($KESTROVA_HOME, else $XDG_DATA_HOME/kestrova, else
// ~/.local/share/kestrova), the installed data beside the emulator library
// (../share/kestrova), the installation prefix, then the source tree it was
// built from. Folders that do not exist are left out.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kestrova::emulator {

std::vector<std::string> DefaultDataFolders();

// The first folder holding `relative` (e.g. "device/demo"), as a full path.
std::optional<std::string> FindDataFile(const std::vector<std::string>& folders,
                                        const std::string& relative);

}  // namespace kestrova::emulator
