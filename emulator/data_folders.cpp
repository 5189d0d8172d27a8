#include "emulator/data_folders.hpp"

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "definition/program_folder.hpp"

namespace kestrova::emulator {
namespace {

// The folder of the binary holding this code (the emulator library).
std::string OwnFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&DefaultDataFolders), &info) == 0 ||
      info.dli_fname == nullptr) {
    return {};
  }
  return std::filesystem::path(info.dli_fname).parent_path().string();
}

}  // namespace

std::vector<std::string> DefaultDataFolders() {
  std::vector<std::string> folders;
  const definition::ProgramFolderChoice home = definition::ResolveProgramFolder({});
  std::error_code error;
  if (home.error.empty() && std::filesystem::is_directory(home.path, error)) {
    folders.push_back(home.path);
  }
  std::vector<std::string> fallbacks;
  const std::string own = OwnFolder();
#ifdef KESTROVA_DATA_FROM_PLUGIN
  // Installed, the emulator sits in the program's private library folder;
  // the shipped data is found relative to it wherever the prefix is.
  if (!own.empty()) {
    fallbacks.push_back(
        std::filesystem::path(own + "/" + KESTROVA_DATA_FROM_PLUGIN).lexically_normal().string());
  }
#endif
#ifdef KESTROVA_BUILD_DATA_DIR
  fallbacks.emplace_back(KESTROVA_BUILD_DATA_DIR);
#endif
  for (const std::string& folder : definition::ShippedDataFolders(own, fallbacks)) {
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
      folders.push_back(folder);
    }
  }
  return folders;
}

}  // namespace kestrova::emulator
