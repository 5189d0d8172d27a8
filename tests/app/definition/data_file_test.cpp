#include "definition/data_file.hpp"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <string>
#include <vector>

#include "../markup/temp_folder.hpp"
#include "definition/numbers.hpp"
#include "support/message_box_recorder.hpp"

namespace kestrova::definition {
namespace {

using kestrova::testing::ReadBytes;
using kestrova::testing::TempFolder;
using kestrova::testing::WriteBytes;
using markup::MarkupStore;
using markup::MessageBoxRecorder;

class DataFileTest : public ::testing::Test {
 protected:
  DataFileTest() {
    store.SetRetryWait([](std::chrono::milliseconds) {});
    EXPECT_TRUE(store.LoadMarkupText("<definition>\n <part>\n </part>\n</definition>\n"));
    store.SetXmlFileIndex(2);
  }

  void ExpectMainDocumentKept() {
    EXPECT_EQ(store.LineCount(), 4);
    EXPECT_EQ(store.XmlFileIndex(), 2);
    EXPECT_FALSE(store.HasSideDocument());
  }

  bool Read(const std::string& path) {
    return ReadDataFile(store, path, addresses, values, count, messages);
  }

  TempFolder folder;
  MarkupStore store;
  MessageBoxRecorder messages;
  std::array<std::int16_t, kMaxDataFileEntries> addresses{};
  std::array<std::uint8_t, kMaxDataFileEntries> values{};
  int count = -1;
};

// Addresses are written as 16 bits.
TEST_F(DataFileTest, RegistersGiveOneLineEachWithExactBytes) {
  const std::array<std::int16_t, 4> addr = {0x00, 0x1F, 0x403, -1};
  const std::array<std::uint8_t, 4> value = {0x0A, 0xFF, 0x00, 0x01};
  ASSERT_TRUE(WriteDataFile(store, folder / "regs.dat", addr, value, 4, messages));
  EXPECT_EQ(ReadBytes(folder / "regs.dat"),
            "<definition>\r\n"
            " <reg addr=\"0\" value=\"A\"/>\r\n"
            " <reg addr=\"1F\" value=\"FF\"/>\r\n"
            " <reg addr=\"403\" value=\"0\"/>\r\n"
            " <reg addr=\"FFFF\" value=\"1\"/>\r\n"
            "</definition>\r\n");
  ExpectMainDocumentKept();

  ASSERT_TRUE(Read(folder / "regs.dat"));
  ASSERT_EQ(count, 4);
  EXPECT_EQ(std::vector<std::int16_t>(addresses.begin(), addresses.begin() + 4),
            (std::vector<std::int16_t>{0x00, 0x1F, 0x403, -1}));
  EXPECT_EQ(std::vector<std::uint8_t>(values.begin(), values.begin() + 4),
            (std::vector<std::uint8_t>{0x0A, 0xFF, 0x00, 0x01}));
  EXPECT_TRUE(messages.shown.empty());
  ExpectMainDocumentKept();
}

// Only reg entries at depth one count, in file order; a file without them
// or without its root applies nothing, silently.
TEST_F(DataFileTest, OnlyRegEntriesAtDepthOneCountInFileOrder) {
  const struct {
    const char* text;
    const char* entries;
  } cases[] = {
      {"<definition>\n\t<other addr=\"5\" value=\"5\" />\n\t<reg addr=\"2\" value=\"ff\" />\n"
       "\t<group>\n\t\t<reg addr=\"9\" value=\"9\" />\n\t</group>\n\t<reg addr=\"1\" "
       "value=\"3\" />\n</definition>\n",
       "2=FF 1=3"},
      {"<definition>\r\n</definition>\r\n", ""},
      {"<reg addr=\"1\" value=\"1\" />\n", ""},
  };
  for (const auto& c : cases) {
    WriteBytes(folder / "m.dat", c.text);
    EXPECT_EQ(Read(folder / "m.dat"), *c.entries != '\0');
    std::string entries;
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
      entries += (i > 0 ? " " : "") + HexText(static_cast<std::uint16_t>(addresses[i])) + "=" +
                 HexText(values[i]);
    }
    EXPECT_EQ(entries, c.entries);
    EXPECT_TRUE(messages.shown.empty());
  }
  ASSERT_TRUE(WriteDataFile(store, folder / "e.dat", {}, {}, 0, messages));
  EXPECT_EQ(ReadBytes(folder / "e.dat"), "<definition>\r\n</definition>\r\n");
}

TEST_F(DataFileTest, MalformedEntriesRefuseTheWholeFileNamingTheLine) {
  struct Case {
    const char* entry;
    const char* problem;
  };
  const Case cases[] = {
      {"<reg value=\"1\" />", "reg attribute addr is missing"},
      {"<reg addr=\"10000\" value=\"1\" />",
       "reg attribute addr \"10000\" is not a hexadecimal address from 0 to FFFF"},
      {"<reg addr=\"x\" value=\"1\" />",
       "reg attribute addr \"x\" is not a hexadecimal address from 0 to FFFF"},
      {"<reg addr=\"1\" value=\"100\" />",
       "reg attribute value \"100\" is not a hexadecimal byte from 0 to FF"},
      {"<reg addr=\"1\" value=\"\" />", "reg attribute value is missing"},
  };
  for (const Case& c : cases) {
    messages.shown.clear();
    const std::string path = folder / "bad.dat";
    WriteBytes(path, std::string("<definition>\r\n <reg addr=\"0\" value=\"1\"/>\r\n\r\n ") +
                         c.entry + "\r\n</definition>\r\n");
    EXPECT_FALSE(Read(path)) << c.entry;
    EXPECT_EQ(count, 0);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].prompt,
              path + ":4: " + c.problem + "; no register values were loaded.");
    ExpectMainDocumentKept();
  }
}

TEST_F(DataFileTest, MoreEntriesThanRoomAreRefused) {
  std::string text = "<definition>\n";
  for (int i = 0; i <= kMaxDataFileEntries; ++i) {
    text += "<reg addr=\"1\" value=\"2\" />\n";
  }
  text += "</definition>\n";
  WriteBytes(folder / "big.dat", text);
  EXPECT_FALSE(Read(folder / "big.dat"));
  EXPECT_EQ(count, 0);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].prompt, (folder / "big.dat") +
                                          ":2051: more than 2049 register entries; no register "
                                          "values were loaded.");
  // Exactly 2049 fit.
  text.erase(text.find('\n') + 1, std::string("<reg addr=\"1\" value=\"2\" />\n").size());
  WriteBytes(folder / "big.dat", text);
  messages.shown.clear();
  EXPECT_TRUE(Read(folder / "big.dat"));
  EXPECT_EQ(count, 2049);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(DataFileTest, SmallerListsLimitTheRoom) {
  WriteBytes(folder / "s.dat",
             "<definition>\n<reg addr=\"1\" value=\"1\"/>\n<reg addr=\"2\" value=\"2\"/>\n"
             "</definition>\n");
  std::array<std::int16_t, 1> oneAddress{};
  std::array<std::uint8_t, 4> fourValues{};
  EXPECT_FALSE(ReadDataFile(store, folder / "s.dat", oneAddress, fourValues, count, messages));
  EXPECT_EQ(count, 0);
  EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(DataFileTest, WritingMoreThanTheListsHoldIsRefused) {
  const std::array<std::int16_t, 2> addr = {1, 2};
  const std::array<std::uint8_t, 2> value = {1, 2};
  EXPECT_FALSE(WriteDataFile(store, folder / "w.dat", addr, value, 3, messages));
  EXPECT_FALSE(std::filesystem::exists(folder / "w.dat"));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].prompt, "Cannot write " + (folder / "w.dat") +
                                          ": 3 register entries do not fit a register data file");
}

}  // namespace
}  // namespace kestrova::definition
