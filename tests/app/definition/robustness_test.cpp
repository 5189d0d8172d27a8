// Scrambled files never crash the reader, the walk, the checker or the data
// file reader (run under the address sanitizer in the asan build).

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <random>
#include <string>

#include "../markup/temp_folder.hpp"
#include "definition/checker.hpp"
#include "definition/data_file.hpp"
#include "definition/walk.hpp"
#include "support/message_box_recorder.hpp"

namespace kestrova::definition {
namespace {

using markup::MarkupStore;

// Text built from pieces of real definitions, cut and joined at random.
std::string Scrambled(std::mt19937& random) {
  static const std::array<std::string_view, 24> kPieces = {"<definition>",
                                                           "</definition>",
                                                           "<part label=\"P\">",
                                                           "</part>",
                                                           "<register",
                                                           "</register>",
                                                           "<bitfield",
                                                           "</bitfield>",
                                                           " addr=\"",
                                                           " bit=\"",
                                                           " value=\"",
                                                           "7:0",
                                                           "1F",
                                                           "\"",
                                                           " />",
                                                           ">",
                                                           "<hide",
                                                           " not=\"true\"",
                                                           "\r\n",
                                                           "\n",
                                                           "\r",
                                                           "\t",
                                                           "<",
                                                           "<reg addr=\"1\" value=\"2\"/>"};
  std::string text;
  const int count = static_cast<int>(random() % 200);
  for (int i = 0; i < count; ++i) {
    if (random() % 16 == 0) {
      text.push_back(static_cast<char>(random() % 256));
    } else {
      text.append(kPieces[random() % kPieces.size()]);
    }
  }
  return text;
}

TEST(Robustness, ScrambledDefinitionsAreWalkedAndCheckedWithoutHarm) {
  std::mt19937 random(12345);
  ByteImageConditionValues values(
      [](std::int32_t address) { return static_cast<std::uint8_t>(address * 7); });
  for (int round = 0; round < 3000; ++round) {
    MarkupStore store;
    ASSERT_TRUE(store.LoadMarkupText(Scrambled(random)));
    for (int level = 0; level < 6; ++level) {
      store.FindElement(level, "register");
      store.GetAttribute("addr");
      store.SetAttribute("value", "A", true);
    }
    store.SetXmlFileIndex(static_cast<int>(random() % (store.LineCount() + 1)));
    store.AddLine(static_cast<int>(random() % 5) - 1, "<bitfield addr=\"1\" />",
                  static_cast<int>(random() % 3) - 1);
    WalkOptions options;
    options.applyHiding = true;
    options.values = &values;
    DefinitionWalk walk(store, options);
    if (walk.PositionOnPart()) {
      int steps = 0;
      while (walk.FindNextRegister() && steps < 10000) {
        while (walk.FindNextBitfield() && ++steps < 10000) {
        }
      }
    }
    CheckDefinition(store, "scrambled");
  }
}

TEST(Robustness, ScrambledDataFilesAreReadOrRefused) {
  kestrova::testing::TempFolder folder;
  std::mt19937 random(777);
  MarkupStore store;
  store.SetRetryWait([](std::chrono::milliseconds) {});
  markup::MessageBoxRecorder messages;
  std::array<std::int16_t, kMaxDataFileEntries> addresses{};
  std::array<std::uint8_t, kMaxDataFileEntries> values{};
  for (int round = 0; round < 100; ++round) {
    kestrova::testing::WriteBytes(folder / "x.dat", Scrambled(random));
    int count = -1;
    const bool read = ReadDataFile(store, folder / "x.dat", addresses, values, count, messages);
    EXPECT_EQ(read, count > 0);
    EXPECT_FALSE(store.HasSideDocument());
  }
}

}  // namespace
}  // namespace kestrova::definition
