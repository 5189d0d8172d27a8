#pragma once
// The program folder: the data root that holds the startup file, the device
// definitions (`device/`), the firmware images (`bix/`) and one working folder
// per device. It is `--home DIR`, else $KESTROVA_HOME, else
// $XDG_DATA_HOME/kestrova (default ~/.local/share/kestrova). An empty root is
// seeded from the installed read-only data on first start.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::definition {

// Looks up an environment variable; empty when unset. Tests replace it.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;
std::optional<std::string> SystemEnvironment(const char* name);

struct ProgramFolderChoice {
  std::string path;    // absolute, without trailing "/"; empty on error
  std::string source;  // "--home", "KESTROVA_HOME", "XDG_DATA_HOME" or "HOME"
  std::string error;   // why no folder could be chosen
};

// Chooses the program folder from the command line (`--home DIR` or
// `--home=DIR`; the last one counts) and the environment. Relative folders
// count from the current folder; a relative $XDG_DATA_HOME is ignored, as the
// XDG rules say.
ProgramFolderChoice ResolveProgramFolder(const std::vector<std::string>& arguments,
                                         const EnvironmentLookup& environment = SystemEnvironment);

struct SeedResult {
  bool ok = false;
  bool seeded = false;  // the root was empty and the seed was copied
  int filesCopied = 0;
  std::string error;
};

// Creates the root when missing; when it holds nothing yet, copies every file
// and folder of `seedFolder` into it. Existing files are never overwritten. A
// missing seed folder leaves an empty root (and ok).
SeedResult SeedProgramFolder(const std::string& root, const std::string& seedFolder);

// Places below the program folder.
std::string DeviceFolder(const std::string& root);
std::string DeviceFilePath(const std::string& root, std::string_view deviceName);
std::string WorkingFolder(const std::string& root, std::string_view deviceName);
std::string FirmwareImagePath(const std::string& root, std::string_view driverName);

// The shipped read-only data (`device/`, `scenario/`, `bix/`) of a binary in
// `binaryFolder`: installed beside it as ../share/kestrova, else in one of
// `fallbacks` (the installation's data folder, the source tree's). The ones
// that exist, in that order, each once.
std::vector<std::string> ShippedDataFolders(const std::string& binaryFolder,
                                            const std::vector<std::string>& fallbacks);

// The first of `folders` that holds the file `relative` ("bix/dravik.bix"),
// as a full path.
std::optional<std::string> FindDataFile(const std::vector<std::string>& folders,
                                        const std::string& relative);

// The part of a path after its last "/": the device name of a chosen definition file.
std::string FileNameOf(std::string_view path);

// A device name names a file in `device/` and a folder beside it: not empty,
// not "." or "..", no "/", not hidden (".name"), and none of the program
// folder's own entries (`dravik.def`, `device`, `bix`, `scenario`).
bool IsUsableDeviceName(std::string_view deviceName);

// Why `deviceName` cannot name a device whose working folder lies in `root`
// (empty when it can): the rules above, or a file of that name in `root`.
std::string DeviceNameProblem(const std::string& root, std::string_view deviceName);

}  // namespace kestrova::definition
