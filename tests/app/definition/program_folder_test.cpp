#include "definition/program_folder.hpp"

#include <unistd.h>

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
    if (it == values.end()) {
      return std::nullopt;
    }
    return it->second;
  };
}

const EnvironmentLookup kFullEnvironment = Environment({{"HOME", "/home/lab"}});

// --home (the last one; relative to the current folder) before KESTROVA_HOME,
// an absolute XDG_DATA_HOME and HOME.
TEST(ProgramFolder, HomeOptionThenTheEnvironment) {
  const std::map<std::string, std::string> full = {
      {"KESTROVA_HOME", "/srv/kestrova"}, {"XDG_DATA_HOME", "/xdg"}, {"HOME", "/home/lab"}};
  const struct {
    std::vector<std::string> arguments;
    std::map<std::string, std::string> environment;
    std::string path;
    std::string source;
  } cases[] = {
      {{"--home", "/tmp/k/"}, full, "/tmp/k", "--home"},
      {{"--emulated-board", "--home=/a", "--home", "/b"}, full, "/b", "--home"},
      {{"--home", "lab/./data"}, full, (fs::current_path() / "lab/data").string(), "--home"},
      {{}, full, "/srv/kestrova", "KESTROVA_HOME"},
      {{}, {{"KESTROVA_HOME", ""}, {"XDG_DATA_HOME", "/xdg/"}}, "/xdg/kestrova", "XDG_DATA_HOME"},
      {{}, {{"HOME", "/home/lab"}}, "/home/lab/.local/share/kestrova", "HOME"},
      {{}, {{"XDG_DATA_HOME", "rel"}, {"HOME", "/h"}}, "/h/.local/share/kestrova", "HOME"},
      {{}, {{"XDG_DATA_HOME", ""}, {"HOME", "/h"}}, "/h/.local/share/kestrova", "HOME"},
  };
  for (const auto& c : cases) {
    const ProgramFolderChoice choice =
        ResolveProgramFolder(c.arguments, Environment(c.environment));
    EXPECT_EQ(choice.path + " " + choice.source, c.path + " " + c.source);
  }
}

TEST(ProgramFolder, HomeOptionWithoutFolderIsAnError) {
  for (const char* option : {"--home", "--home="}) {
    const ProgramFolderChoice choice = ResolveProgramFolder({option}, kFullEnvironment);
    EXPECT_EQ(choice.error, "--home needs a folder");
    EXPECT_TRUE(choice.path.empty());
  }
  // Without a home variable the account's home is used.
  const ProgramFolderChoice choice = ResolveProgramFolder({}, Environment({}));
  EXPECT_TRUE(choice.error.empty());
  EXPECT_EQ(choice.source, "HOME");
  EXPECT_NE(choice.path.find("/.local/share/kestrova"), std::string::npos);
}

TEST(ProgramFolder, PlacesBelowTheRootAndUsableDeviceNames) {
  EXPECT_EQ(DeviceFilePath("/r", "demo"), "/r/device/demo");
  EXPECT_EQ(WorkingFolder("/r", "demo"), "/r/demo");
  EXPECT_EQ(FirmwareImagePath("/r", "dravik"), "/r/bix/dravik.bix");
  EXPECT_EQ(FileNameOf("/r/device/jc42-dimm"), "jc42-dimm");
  EXPECT_EQ(FileNameOf("demo"), "demo");
  const std::pair<const char*, bool> names[] = {{"demo", true}, {"sensor v2", true},
                                                {"", false},    {".", false},
                                                {"..", false},  {"a/b", false}};
  for (const auto& [name, usable] : names) {
    EXPECT_EQ(IsUsableDeviceName(name), usable) << name;
  }
}

class SeedTest : public ::testing::Test {
 protected:
  SeedTest() {
    fs::create_directories(seed + "/device");
    fs::create_directories(seed + "/bix");
    fs::create_directories(seed + "/scenario/empty");
    WriteBytes(seed + "/device/demo", "demo definition");
    WriteBytes(seed + "/bix/dravik.bix", "image");
    WriteBytes(seed + "/guide.html", "guide");
  }
  TempFolder folder;
  std::string seed = folder / "share";
  std::string root = folder / "home/.local/share/kestrova";
};

TEST_F(SeedTest, EmptyRootIsCreatedAndSeeded) {
  const SeedResult result = SeedProgramFolder(root, seed);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_TRUE(result.seeded);
  EXPECT_EQ(result.filesCopied, 3);
  EXPECT_EQ(ReadBytes(root + "/device/demo"), "demo definition");
  EXPECT_EQ(ReadBytes(root + "/bix/dravik.bix"), "image");
  EXPECT_EQ(ReadBytes(root + "/guide.html"), "guide");
  EXPECT_TRUE(fs::is_directory(root + "/scenario/empty"));
  // The seed is copied, not moved.
  EXPECT_EQ(ReadBytes(seed + "/device/demo"), "demo definition");
}

TEST_F(SeedTest, RootInUseIsLeftAsItIs) {
  fs::create_directories(root + "/device");
  WriteBytes(root + "/device/demo", "edited by the engineer");
  const SeedResult result = SeedProgramFolder(root, seed);
  EXPECT_TRUE(result.ok);
  EXPECT_FALSE(result.seeded);
  EXPECT_EQ(ReadBytes(root + "/device/demo"), "edited by the engineer");
  EXPECT_FALSE(fs::exists(root + "/bix"));
}

TEST_F(SeedTest, MissingSeedLeavesAnEmptyRoot) {
  const SeedResult result = SeedProgramFolder(root, folder / "not-installed");
  EXPECT_TRUE(result.ok);
  EXPECT_FALSE(result.seeded);
  EXPECT_TRUE(fs::is_directory(root));
  EXPECT_TRUE(fs::is_empty(root));
}

TEST_F(SeedTest, RootThatIsAFileIsAnError) {
  WriteBytes(folder / "file", "x");
  const SeedResult result = SeedProgramFolder(folder / "file", seed);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error.rfind("Cannot create the program folder " + (folder / "file"), 0), 0u);
}

}  // namespace
}  // namespace kestrova::definition
