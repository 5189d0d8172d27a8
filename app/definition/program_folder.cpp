#include "definition/program_folder.hpp"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace kestrova::definition {

namespace fs = std::filesystem;

namespace {

std::string Clean(const fs::path& path) {
  std::string text = path.lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') {
    text.pop_back();
  }
  return text;
}

std::string Absolute(const std::string& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  return Clean(error ? fs::path(path) : absolute);
}

std::optional<std::string> NonEmpty(const EnvironmentLookup& environment, const char* name) {
  auto value = environment(name);
  if (value && value->empty()) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::string> HomeFolder(const EnvironmentLookup& environment) {
  if (auto home = NonEmpty(environment, "HOME")) {
    return home;
  }
  // No $HOME (a service, a stripped environment): the account's home folder.
  std::vector<char> buffer(16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] != '\0') {
    return std::string(found->pw_dir);
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> SystemEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) {
    return std::nullopt;
  }
  return std::string(value);
}

ProgramFolderChoice ResolveProgramFolder(const std::vector<std::string>& arguments,
                                         const EnvironmentLookup& environment) {
  ProgramFolderChoice choice;
  std::optional<std::string> home;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--home") {
      if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
        choice.error = "--home needs a folder";
        return choice;
      }
      home = arguments[++i];
    } else if (argument.rfind("--home=", 0) == 0) {
      if (argument.size() == 7) {
        choice.error = "--home needs a folder";
        return choice;
      }
      home = argument.substr(7);
    }
  }
  if (home) {
    choice.path = Absolute(*home);
    choice.source = "--home";
    return choice;
  }
  if (const auto kestrovaHome = NonEmpty(environment, "KESTROVA_HOME")) {
    choice.path = Absolute(*kestrovaHome);
    choice.source = "KESTROVA_HOME";
    return choice;
  }
  if (const auto dataHome = NonEmpty(environment, "XDG_DATA_HOME");
      dataHome && dataHome->front() == '/') {
    choice.path = Clean(fs::path(*dataHome) / "kestrova");
    choice.source = "XDG_DATA_HOME";
    return choice;
  }
  if (const auto userHome = HomeFolder(environment)) {
    choice.path = Absolute((fs::path(*userHome) / ".local/share/kestrova").string());
    choice.source = "HOME";
    return choice;
  }
  choice.error =
      "No program folder: give --home DIR or set KESTROVA_HOME (neither HOME nor "
      "XDG_DATA_HOME is set)";
  return choice;
}

SeedResult SeedProgramFolder(const std::string& root, const std::string& seedFolder) {
  SeedResult result;
  std::error_code error;
  fs::create_directories(root, error);
  if (error || !fs::is_directory(root)) {
    result.error = "Cannot create the program folder " + root + ": " +
                   (error ? error.message() : std::string("not a folder"));
    return result;
  }
  if (!fs::is_empty(root, error) || error) {
    result.ok = !error;
    if (error) {
      result.error = "Cannot read the program folder " + root + ": " + error.message();
    }
    return result;
  }
  if (!fs::is_directory(seedFolder)) {
    result.ok = true;
    return result;
  }
  result.seeded = true;
  const fs::path seed(seedFolder);
  fs::recursive_directory_iterator it(seed, fs::directory_options::follow_directory_symlink, error);
  for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    const fs::path relative = it->path().lexically_relative(seed);
    const fs::path target = fs::path(root) / relative;
    std::error_code step;
    if (it->is_directory(step)) {
      fs::create_directories(target, step);
    } else if (it->is_regular_file(step)) {
      // skip_existing: whatever is there already stays as it is.
      if (fs::copy_file(it->path(), target, fs::copy_options::skip_existing, step)) {
        ++result.filesCopied;
      }
    }
    if (step) {
      result.error =
          "Cannot copy " + it->path().string() + " to " + target.string() + ": " + step.message();
      return result;
    }
  }
  if (error) {
    result.error = "Cannot read " + seedFolder + ": " + error.message();
    return result;
  }
  result.ok = true;
  return result;
}

std::string DeviceFolder(const std::string& root) {
  return root + "/device";
}

std::string DeviceFilePath(const std::string& root, std::string_view deviceName) {
  return DeviceFolder(root) + "/" + std::string(deviceName);
}

std::string WorkingFolder(const std::string& root, std::string_view deviceName) {
  return root + "/" + std::string(deviceName);
}

std::string FirmwareImagePath(const std::string& root, std::string_view driverName) {
  return root + "/bix/" + std::string(driverName) + ".bix";
}

std::vector<std::string> ShippedDataFolders(const std::string& binaryFolder,
                                            const std::vector<std::string>& fallbacks) {
  std::vector<std::string> candidates;
  if (!binaryFolder.empty()) {
    candidates.push_back(Clean(fs::path(binaryFolder) / ".." / "share" / "kestrova"));
  }
  candidates.insert(candidates.end(), fallbacks.begin(), fallbacks.end());
  std::vector<std::string> folders;
  for (const std::string& folder : candidates) {
    std::error_code error;
    if (!folder.empty() && fs::is_directory(folder, error) &&
        std::find(folders.begin(), folders.end(), folder) == folders.end()) {
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

std::string FileNameOf(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

namespace {

// The program folder's own entries, which no working folder may take.
struct OwnEntry {
  std::string_view name;
  std::string_view what;
};
constexpr OwnEntry kOwnEntries[] = {
    {"dravik.def", "startup file"},
    {"device", "part definition folder"},
    {"bix", "firmware folder"},
    {"scenario", "emulator scenario folder"},
};

std::string NameProblem(std::string_view deviceName) {
  const std::string quoted = "\"" + std::string(deviceName) + "\"";
  if (deviceName.empty() || deviceName == "." || deviceName == ".." ||
      deviceName.find('/') != std::string_view::npos) {
    return quoted + " is not a device name";
  }
  if (deviceName.front() == '.') {
    return quoted +
           " cannot name a device: names starting with \".\" are the program "
           "folder's hidden files";
  }
  for (const OwnEntry& entry : kOwnEntries) {
    if (deviceName == entry.name) {
      return quoted +
             " cannot name a device: its working folder would take the place of the program "
             "folder's " +
             std::string(entry.what);
    }
  }
  return {};
}

}  // namespace

bool IsUsableDeviceName(std::string_view deviceName) {
  return NameProblem(deviceName).empty();
}

std::string DeviceNameProblem(const std::string& root, std::string_view deviceName) {
  std::string problem = NameProblem(deviceName);
  if (problem.empty()) {
    struct stat st {};
    const std::string folder = WorkingFolder(root, deviceName);
    if (::lstat(folder.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
      problem = "\"" + std::string(deviceName) +
                "\" cannot name a device: its working folder would take the place of the file " +
                folder;
    }
  }
  return problem;
}

}  // namespace kestrova::definition
