#include "emulator/data_folders.hpp"

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "definition/program_folder.hpp"

namespace kestrova::emulator {
namespace {

namespace fs = std::filesystem;

bool IsFolder(const std::string& path) {
  std::error_code error;
  return !path.empty() && fs::is_directory(path, error);
}

// The folder of the binary holding this code (the emulator library).
std::string OwnFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&DefaultDataFolders), &info) == 0 ||
      info.dli_fname == nullptr) {
    return {};
  }
  return fs::path(info.dli_fname).parent_path().string();
}

}  // namespace

std::vector<std::string> DefaultDataFolders() {
  std::vector<std::string> candidates;
  const definition::ProgramFolderChoice home = definition::ResolveProgramFolder({});
  if (home.error.empty()) {
    candidates.push_back(home.path);
  }
  const std::string own = OwnFolder();
  if (!own.empty()) {
    candidates.push_back((fs::path(own) / ".." / "share" / "kestrova").lexically_normal().string());
  }
#ifdef KESTROVA_INSTALLED_DATA_DIR
  candidates.emplace_back(KESTROVA_INSTALLED_DATA_DIR);
#endif
#ifdef KESTROVA_BUILD_DATA_DIR
  candidates.emplace_back(KESTROVA_BUILD_DATA_DIR);
#endif
  std::vector<std::string> folders;
  for (const std::string& folder : candidates) {
    if (IsFolder(folder) && std::find(folders.begin(), folders.end(), folder) == folders.end()) {
      folders.push_back(folder);
    }
  }
  return folders;
}

std::optional<std::string> FindDataFile(const std::vector<std::string>& folders,
                                        const std::string& relative) {
  for (const std::string& folder : folders) {
    std::error_code error;
    const fs::path path = fs::path(folder) / relative;
    if (fs::is_regular_file(path, error)) {
      return path.string();
    }
  }
  return std::nullopt;
}

}  // namespace kestrova::emulator
