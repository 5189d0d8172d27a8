// The part definitions and firmware images the program ships: every
// definition loads clean and is already in the form the program writes (the
// conventions the engine relies on and the conversion rows are checked over
// the engine's register view, in the engine's tests).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "definition/checker.hpp"
#include "markup/markup_store.hpp"
#include "support/message_box_recorder.hpp"

namespace kestrova::definition {
namespace {

namespace fs = std::filesystem;
using markup::MarkupStore;

const fs::path kDeviceFolder = fs::path(KESTROVA_DATA_DIR) / "device";
const fs::path kFirmwareFolder = fs::path(KESTROVA_DATA_DIR) / "bix";

std::string FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> DeviceNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(kDeviceFolder)) {
    if (entry.is_regular_file()) {
      names.push_back(entry.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

class ShippedDefinitions : public ::testing::Test {
 protected:
  void SetUp() override { names_ = DeviceNames(); }

  // Loads a definition into `store`; false (with a test failure) when it does not load.
  static bool Load(MarkupStore& store, const std::string& name) {
    const bool loaded = store.LoadMarkupFile((kDeviceFolder / name).string());
    EXPECT_TRUE(loaded) << name << ": " << store.LastError();
    return loaded;
  }

  std::vector<std::string> names_;
};

TEST_F(ShippedDefinitions, LoadWithoutAnyCheckerProblemOrMessage) {
  for (const std::string& name : names_) {
    MarkupStore store;
    markup::MessageBoxRecorder messages;
    const DefinitionLoad load = LoadDefinition(store, (kDeviceFolder / name).string(), messages);
    EXPECT_TRUE(load.loaded) << name;
    EXPECT_EQ(load.problems, std::vector<std::string>{}) << name;
    EXPECT_TRUE(messages.shown.empty()) << name;
  }
}

TEST_F(ShippedDefinitions, AreStoredExactlyAsTheProgramWritesThem) {
  for (const std::string& name : names_) {
    MarkupStore store;
    ASSERT_TRUE(Load(store, name));
    // One tag per line, one space per depth, CR LF, nothing before or after the root.
    EXPECT_EQ(FileBytes(kDeviceFolder / name), store.SavedText()) << name;
  }
}

TEST_F(ShippedDefinitions, AreSingleByteTextWithoutMultiByteSequences) {
  for (const std::string& name : names_) {
    const std::string bytes = FileBytes(kDeviceFolder / name);
    // A UTF-8 lead byte followed by a continuation byte would show as two
    // characters ("Â°") in a Latin-1 file.
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
      const auto lead = static_cast<unsigned char>(bytes[i]);
      const auto next = static_cast<unsigned char>(bytes[i + 1]);
      EXPECT_FALSE(lead >= 0xC2 && lead <= 0xF4 && next >= 0x80 && next <= 0xBF)
          << name << " at byte " << i;
    }
    EXPECT_EQ(bytes.find('\t'), std::string::npos) << name;
  }
}

TEST(ShippedFirmwareImages, FitTheBoardAndLeaveTheIdentityAreaFree) {
  for (const char* file : {"dravik.bix", "dravik.bi2"}) {
    SCOPED_TRACE(file);
    const std::string image = FileBytes(kFirmwareFolder / file);
    EXPECT_GE(image.size(), 4096u);
    EXPECT_LE(image.size(), 8192u);
    EXPECT_EQ(image.rfind("Kestrova emulated board firmware", 0), 0u);
    ASSERT_GT(image.size(), 0x0F0Bu);
    EXPECT_EQ(image.substr(0x0F08, 4), std::string(4, '\0'));
  }
}

}  // namespace
}  // namespace kestrova::definition
