// The part definitions and firmware images the program ships: every
// definition loads clean and is already in the form the program writes (the
// conventions the engine relies on and the conversion rows are checked over
// the engine's register view, in the engine's tests).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../markup/temp_folder.hpp"
#include "definition/checker.hpp"
#include "markup/markup_store.hpp"
#include "support/message_box_recorder.hpp"

namespace kestrova::definition {
namespace {

namespace fs = std::filesystem;
using kestrova::testing::ReadBytes;

const fs::path kData = KESTROVA_DATA_DIR;

// Without a checker problem or message; one tag per line, one space per
// depth, CR LF, nothing before or after the root; single-byte text without
// tabs.
TEST(ShippedDefinitions, LoadWithoutAnyCheckerProblemOrMessage) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(kData / "device")) {
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    ++count;
    markup::MarkupStore store;
    markup::MessageBoxRecorder messages;
    const DefinitionLoad load = LoadDefinition(store, entry.path().string(), messages);
    ASSERT_TRUE(load.loaded) << store.LastError();
    EXPECT_EQ(load.problems, std::vector<std::string>{});
    EXPECT_TRUE(messages.shown.empty());
    const std::string bytes = ReadBytes(entry.path().string());
    EXPECT_EQ(bytes, store.SavedText());
    // A UTF-8 lead byte followed by a continuation byte would show as two
    // characters ("Â°") in a Latin-1 file.
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
      const auto lead = static_cast<unsigned char>(bytes[i]);
      const auto next = static_cast<unsigned char>(bytes[i + 1]);
      EXPECT_FALSE(lead >= 0xC2 && lead <= 0xF4 && next >= 0x80 && next <= 0xBF) << "byte " << i;
    }
    EXPECT_EQ(bytes.find('\t'), std::string::npos);
  }
  EXPECT_GT(count, 3);
}

TEST(ShippedFirmwareImages, FitTheBoardAndLeaveTheIdentityAreaFree) {
  for (const char* file : {"dravik.bix", "dravik.bi2"}) {
    SCOPED_TRACE(file);
    const std::string image = ReadBytes((kData / "bix" / file).string());
    EXPECT_GE(image.size(), 4096u);
    EXPECT_LE(image.size(), 8192u);
    EXPECT_EQ(image.rfind("Kestrova emulated board firmware", 0), 0u);
    EXPECT_EQ(image.substr(0x0F08, 4), std::string(4, '\0'));
  }
}

}  // namespace
}  // namespace kestrova::definition
