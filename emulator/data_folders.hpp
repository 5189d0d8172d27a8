// Where the emulator finds shipped data (part definitions, scenarios): the
// program folder ($KESTROVA_HOME, else $XDG_DATA_HOME/kestrova, else
// ~/.local/share/kestrova), then the shipped data of the emulator library
// (../share/kestrova beside it, the installation prefix, the source tree it
// was built from). Folders that do not exist are left out; the files in them
// are found with definition::FindDataFile.
#pragma once

#include <string>
#include <vector>

namespace kestrova::emulator {

std::vector<std::string> DefaultDataFolders();

}  // namespace kestrova::emulator
