#include "definition/program_folder.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "../markup/temp_folder.hpp"

namespace kestrova::definition {
namespace {

using kestrova::testing::ReadBytes;
using kestrova::testing::TempFolder;
using kestrova::testing::WriteBytes;
namespace fs = std::filesystem;

EnvironmentLookup Environment(std::map<std::string, std::string> values) {
  return [values = std::move(values)](const char* name) -> std::optional<std::string> {
    const auto it = values.find(name);
    return it == values.end() ? std::nullopt : std::optional(it->second);
  };
}

// --home (the last one; relative to the current folder) before KESTROVA_HOME,
// an absolute XDG_DATA_HOME and HOME; the choice as "path source" or the error.
TEST(ProgramFolder, HomeOptionThenTheEnvironment) {
  const std::map<std::string, std::string> full = {
      {"KESTROVA_HOME", "/srv/kestrova"}, {"XDG_DATA_HOME", "/xdg"}, {"HOME", "/home/lab"}};
  const struct {
    std::vector<std::string> arguments;
    std::map<std::string, std::string> environment;
    std::string choice;
  } cases[] = {
      {{"--home", "/tmp/k/"}, full, "/tmp/k --home"},
      {{"--emulated-board", "--home=/a", "--home", "/b"}, full, "/b --home"},
      {{"--home", "lab/./data"}, full, (fs::current_path() / "lab/data --home").string()},
      {{"--home"}, full, "--home needs a folder"},
      {{"--home="}, full, "--home needs a folder"},
      {{}, full, "/srv/kestrova KESTROVA_HOME"},
      {{}, {{"KESTROVA_HOME", ""}, {"XDG_DATA_HOME", "/xdg/"}}, "/xdg/kestrova XDG_DATA_HOME"},
      {{}, {{"HOME", "/home/lab"}}, "/home/lab/.local/share/kestrova HOME"},
      {{}, {{"XDG_DATA_HOME", "rel"}, {"HOME", "/h"}}, "/h/.local/share/kestrova HOME"},
      {{}, {{"XDG_DATA_HOME", ""}, {"HOME", "/h"}}, "/h/.local/share/kestrova HOME"},
  };
  for (const auto& c : cases) {
    const ProgramFolderChoice choice =
        ResolveProgramFolder(c.arguments, Environment(c.environment));
    EXPECT_EQ(choice.error.empty() ? choice.path + " " + choice.source : choice.error, c.choice);
  }
  // Without a home variable the account's home is used.
  const ProgramFolderChoice choice = ResolveProgramFolder({}, Environment({}));
  EXPECT_EQ(choice.source + choice.error, "HOME");
  EXPECT_NE(choice.path.find("/.local/share/kestrova"), std::string::npos);
}

// A device's working folder sits beside the program folder's own entries:
// names that would take their place, or a file's, are refused.
TEST(ProgramFolder, PlacesBelowTheRootAndUsableDeviceNames) {
  TempFolder root;
  WriteBytes(root / "notes.txt", "mine");
  fs::create_directory(root / "demo");
  const std::string taken = "\" cannot name a device: its working folder would take the place of ";
  const std::pair<std::string, std::string> names[] = {
      {"demo", ""},
      {"sensor v2", ""},
      {"dravik.def", taken + "the program folder's startup file"},
      {"device", taken + "the program folder's part definition folder"},
      {"bix", taken + "the program folder's firmware folder"},
      {"scenario", taken + "the program folder's emulator scenario folder"},
      {"notes.txt", taken + "the file " + root.path() + "/notes.txt"},
      {".hidden",
       "\" cannot name a device: names starting with \".\" are the program folder's "
       "hidden files"},
      {"", "\" is not a device name"},
      {".", "\" is not a device name"},
      {"..", "\" is not a device name"},
      {"a/b", "\" is not a device name"},
  };
  for (const auto& [name, problem] : names) {
    EXPECT_EQ(DeviceNameProblem(root.path(), name), problem.empty() ? "" : "\"" + name + problem);
    EXPECT_EQ(IsUsableDeviceName(name), problem.empty() || name == "notes.txt") << name;
  }
  EXPECT_EQ(ReadBytes(root / "notes.txt"), "mine");
}

// An empty (or new) program folder is seeded with a copy of the installed
// data; one in use is left as it is; without installed data it stays empty.
TEST(ProgramFolder, SeedingFillsOnlyAnEmptyRoot) {
  TempFolder folder;
  const std::string seed = folder / "share";
  const std::string root = folder / "home/.local/share/kestrova";
  fs::create_directories(seed + "/device");
  fs::create_directories(seed + "/bix");
  fs::create_directories(seed + "/scenario/empty");
  WriteBytes(seed + "/device/demo", "demo definition");
  WriteBytes(seed + "/bix/dravik.bix", "image");
  WriteBytes(seed + "/guide.html", "guide");

  SeedResult result = SeedProgramFolder(root, folder / "not-installed");
  EXPECT_TRUE(result.ok && !result.seeded && fs::is_empty(root));
  result = SeedProgramFolder(root, seed);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_TRUE(result.seeded);
  EXPECT_EQ(result.filesCopied, 3);
  EXPECT_EQ(ReadBytes(root + "/device/demo") + ReadBytes(root + "/bix/dravik.bix") +
                ReadBytes(root + "/guide.html") + ReadBytes(seed + "/device/demo"),
            "demo definitionimageguidedemo definition");
  EXPECT_TRUE(fs::is_directory(root + "/scenario/empty"));

  WriteBytes(root + "/device/demo", "edited by the engineer");
  fs::remove(root + "/guide.html");
  result = SeedProgramFolder(root, seed);
  EXPECT_TRUE(result.ok && !result.seeded);
  EXPECT_EQ(ReadBytes(root + "/device/demo"), "edited by the engineer");
  EXPECT_FALSE(fs::exists(root + "/guide.html"));

  result = SeedProgramFolder(seed + "/guide.html", seed);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error.rfind("Cannot create the program folder " + seed + "/guide.html", 0), 0u);
}

}  // namespace
}  // namespace kestrova::definition
