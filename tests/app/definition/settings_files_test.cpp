// The startup file and the part settings file: exact bytes, defaults, the
// "none" rewrite, and the loaded definition left untouched by both.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "../markup/temp_folder.hpp"
#include "definition/part_settings.hpp"
#include "definition/startup_file.hpp"
#include "support/message_box_recorder.hpp"

namespace kestrova::definition {
namespace {

using kestrova::testing::ReadBytes;
using kestrova::testing::TempFolder;
using kestrova::testing::WriteBytes;
using markup::MarkupStore;
using markup::MessageBoxRecorder;

constexpr std::string_view kDefinition =
    "<definition>\n <part label=\"Main\">\n  <register />\n </part>\n</definition>\n";

class SettingsFilesTest : public ::testing::Test {
 protected:
  SettingsFilesTest() {
    store.SetRetryWait([](std::chrono::milliseconds) {});
    EXPECT_TRUE(store.LoadMarkupText(kDefinition));
    store.SetXmlFileIndex(3);
  }

  // The main document, its cursor and the index stack are as they were.
  void ExpectMainDocumentKept() {
    EXPECT_EQ(store.LineCount(), 5);
    EXPECT_EQ(store.XmlFileIndex(), 3);
    EXPECT_EQ(store.Line(2), " <part label=\"Main\">");
    EXPECT_EQ(store.IndexStackDepth(), 0);
    EXPECT_FALSE(store.HasSideDocument());
  }

  TempFolder folder;
  MarkupStore store;
  MessageBoxRecorder messages;
};

// --- Startup file ------------------------------------------------------------------

// {f} stands for the startup file's path.
std::string WithPath(std::string text, const std::string& path) {
  for (std::size_t at = text.find("{f}"); at != std::string::npos; at = text.find("{f}")) {
    text.replace(at, 3, path);
  }
  return text;
}

// A device named at start-up is replaced by "none" until the program ends
// well; a missing file is created silently; a bad test mask turns the test
// features off and says so.
TEST_F(SettingsFilesTest, StartupFileIsReadAndRewrittenWithNone) {
  const std::string mask = "The startup file {f} has no valid test mask (test=\"";
  const std::string off = "\", hexadecimal 0 to FF); all test features are off.";
  const struct {
    const char* file;  // nullptr: none there
    const char* device;
    int testFlags;
    std::string message;
    const char* after;  // the file afterwards; nullptr: unchanged
  } cases[] = {
      {"<definition device=\"demo\" test=\"13\">\r\n</definition>\r\n", "demo", 0x13, "",
       "<definition device=\"none\" test=\"13\">\r\n</definition>\r\n"},
      {"<definition test=\"1\" device=\"none\">\n</definition>\n", "none", TEST_RAW_REGISTER_MENU,
       "", nullptr},
      {nullptr, "none", 0, "", "<definition device=\"none\" test=\"0\">\r\n</definition>\r\n"},
      {"<definition device=\"\" test=\"0\">\r\n</definition>\r\n", "none", 0, "", nullptr},
      {"<definition device=\"none\" test=\"\">\r\n</definition>\r\n", "none", 0, mask + off,
       nullptr},
      {"<definition device=\"none\" test=\"1FF\">\r\n</definition>\r\n", "none", 0,
       mask + "1FF" + off, nullptr},
      {"<definition device=\"none\" test=\"x\">\r\n</definition>\r\n", "none", 0, mask + "x" + off,
       nullptr},
      {"<definition device=\"none\" test=\"-1\">\r\n</definition>\r\n", "none", 0,
       mask + "-1" + off, nullptr},
      {"<definition device=\"none\">\r\n</definition>\r\n", "none", 0, mask + off, nullptr},
  };
  const std::string path = folder / "dravik.def";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file != nullptr ? c.file : "no file");
    messages.shown.clear();
    std::filesystem::remove(path);
    if (c.file != nullptr) {
      WriteBytes(path, c.file);
    }
    const StartupSettings settings = LoadStartupFile(store, folder.path(), messages);
    EXPECT_EQ(settings.deviceName, c.device);
    EXPECT_EQ(settings.testFlags, c.testFlags);
    EXPECT_EQ(messages.shown.empty() ? "" : messages.shown[0].prompt, WithPath(c.message, path));
    EXPECT_LE(messages.shown.size(), 1u);
    EXPECT_EQ(ReadBytes(path), c.after != nullptr ? c.after : c.file);  // not even re-saved
    ExpectMainDocumentKept();
  }
}

// The device is written back at a good end, into a new file if need be; an
// empty device (a file the program did not write) is never recorded.
TEST_F(SettingsFilesTest, SaveStartupRecordsTheDevice) {
  ASSERT_TRUE(SaveStartupFile(store, folder.path(), "sensor", messages));
  EXPECT_EQ(ReadBytes(folder / "dravik.def"),
            "<definition device=\"sensor\" test=\"0\">\r\n</definition>\r\n");
  WriteBytes(folder / "dravik.def",
             "<definition device=\"none\" test=\"13\">\r\n</definition>\r\n");
  ASSERT_TRUE(SaveStartupFile(store, folder.path(), "demo", messages));
  EXPECT_EQ(ReadBytes(folder / "dravik.def"),
            "<definition device=\"demo\" test=\"13\">\r\n</definition>\r\n");
  ExpectMainDocumentKept();
  const std::string empty = "<definition device=\"\" test=\"0\">\r\n</definition>\r\n";
  WriteBytes(folder / "dravik.def", empty);
  ASSERT_TRUE(SaveStartupFile(store, folder.path(), "demo", messages));
  EXPECT_EQ(ReadBytes(folder / "dravik.def"), empty);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SettingsFilesTest, UnreadableStartupFileShowsTheFileError) {
  std::filesystem::create_directory(folder / "dravik.def");  // there, but not a file
  const StartupSettings settings = LoadStartupFile(store, folder.path(), messages);
  EXPECT_EQ(settings.deviceName, "none");
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].prompt, "File read/write error for " + (folder / "dravik.def"));
  ExpectMainDocumentKept();
}

// --- Part settings ----------------------------------------------------------------

constexpr std::string_view kDefaultPartFile =
    "<definition driverclass=\"no\" regfilename=\"{w}/demo.dat\" "
    "manualfilename=\"{w}/Kestrova Software User's Guide.lnk\" logfilename=\"{w}/demo.txt\" "
    "timer1interval=\"1000\" writenowvalue=\"1\" readafterwritevalue=\"1\" interfaceaddr=\"-1\" "
    "maxlogcount=\"-1\">\r\n"
    "</definition>\r\n";

std::string WithFolder(std::string_view text, const std::string& folder) {
  std::string out(text);
  for (std::size_t at = out.find("{w}"); at != std::string::npos; at = out.find("{w}")) {
    out.replace(at, 3, folder);
  }
  return out;
}

// The settings as "driver reg manual log interval write read address count".
std::string Values(const PartSettings& s) {
  return s.driverClass + " " + s.regFileName + " " + s.manualFileName + " " + s.logFileName + " " +
         std::to_string(s.timer1Interval) + " " + std::to_string(s.writeNowValue) + " " +
         std::to_string(s.readAfterWriteValue) + " " + std::to_string(s.interfaceAddr) + " " +
         std::to_string(s.maxLogCount) + (s.smbusAdapter.empty() ? "" : " " + s.smbusAdapter);
}

TEST_F(SettingsFilesTest, FirstUseOfAPartCreatesTheDefaultsFile) {
  const PartSettings settings = LoadPartSettings(store, folder.path(), "demo", messages);
  EXPECT_EQ(Values(settings), WithFolder("no {w}/demo.dat {w}/Kestrova Software User's Guide.lnk "
                                         "{w}/demo.txt 1000 1 1 -1 -1",
                                         folder.path()));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(ReadBytes(folder / "part.def"), WithFolder(kDefaultPartFile, folder.path()));
  ExpectMainDocumentKept();
  // The user guide, where there is one, is the default manual.
  std::filesystem::create_directory(folder / "other");
  EXPECT_EQ(LoadPartSettings(store, folder / "other", "demo", messages, "/usr/share/k/guide.html")
                .manualFileName,
            "/usr/share/k/guide.html");
}

TEST_F(SettingsFilesTest, PartSettingsRoundTripWithExactBytes) {
  PartSettings settings = DefaultPartSettings(folder.path(), "demo");
  settings.driverClass = "usb";
  settings.regFileName = "/data/x.dat";
  settings.manualFileName = "/doc/guide.pdf";
  settings.logFileName = "/logs/run 1.txt";
  settings.timer1Interval = 250;
  settings.writeNowValue = 0;
  settings.readAfterWriteValue = 0;
  settings.interfaceAddr = 0x48;
  settings.maxLogCount = 5000;
  settings.smbusAdapter = "/dev/i2c-1";
  ASSERT_TRUE(SavePartSettings(store, folder.path(), settings, messages));
  EXPECT_EQ(ReadBytes(folder / "part.def"),
            "<definition driverclass=\"usb\" regfilename=\"/data/x.dat\" "
            "manualfilename=\"/doc/guide.pdf\" logfilename=\"/logs/run 1.txt\" "
            "timer1interval=\"250\" writenowvalue=\"0\" readafterwritevalue=\"0\" "
            "interfaceaddr=\"72\" maxlogcount=\"5000\" smbusadapter=\"/dev/i2c-1\">\r\n"
            "</definition>\r\n");
  ExpectMainDocumentKept();
  EXPECT_EQ(Values(LoadPartSettings(store, folder.path(), "demo", messages)), Values(settings));
  ExpectMainDocumentKept();
}

// Empty or -1 is no log limit; a setting missing or out of range takes its
// default; a file that loaded is not rewritten, one without root is.
TEST_F(SettingsFilesTest, BrokenSettingsTakeTheirDefaults) {
  const struct {
    std::string file;
    std::string values;  // driver, interval, write, read, address, count
    bool rewritten;
  } cases[] = {
      {"<definition driverclass=\"ich\" timer1interval=\"10\" writenowvalue=\"1\" "
       "readafterwritevalue=\"0\" interfaceaddr=\"24\" maxlogcount=\"\">\r\n</definition>\r\n",
       "ich 10 1 0 24 -1", false},
      {"<definition driverclass=\"\" timer1interval=\"0\" writenowvalue=\"2\" "
       "readafterwritevalue=\"yes\" interfaceaddr=\"70000\" maxlogcount=\"-7\">\r\n"
       "</definition>\r\n",
       "no 1000 1 1 -1 -1", false},
      {"garbage\r\n", "no 1000 1 1 -1 -1", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    WriteBytes(folder / "part.def", c.file);
    const PartSettings s = LoadPartSettings(store, folder.path(), "demo", messages);
    EXPECT_EQ(s.driverClass + " " + std::to_string(s.timer1Interval) + " " +
                  std::to_string(s.writeNowValue) + " " + std::to_string(s.readAfterWriteValue) +
                  " " + std::to_string(s.interfaceAddr) + " " + std::to_string(s.maxLogCount),
              c.values);
    EXPECT_EQ(ReadBytes(folder / "part.def"),
              c.rewritten ? WithFolder(kDefaultPartFile, folder.path()) : c.file);
  }
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SettingsFilesTest, TextsThatCannotBeQuotedAreWrittenAsTheirDefaults) {
  PartSettings settings = DefaultPartSettings(folder.path(), "demo");
  settings.logFileName = "/logs/a\"b.txt";
  ASSERT_TRUE(SavePartSettings(store, folder.path(), settings, messages));
  // The working folder is named after the device, so its defaults are known.
  const std::string expectedLog =
      "logfilename=\"" +
      (folder / (std::filesystem::path(folder.path()).filename().string() + ".txt")) + "\"";
  EXPECT_NE(ReadBytes(folder / "part.def").find(expectedLog), std::string::npos);
}

TEST_F(SettingsFilesTest, PartSettingsSaveIntoMissingFolderShowsTheFileError) {
  const std::string working = folder / "gone";
  EXPECT_FALSE(SavePartSettings(store, working, DefaultPartSettings(working, "gone"), messages));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].prompt.rfind("File read/write error for " + working + "/part.def", 0),
            0u);
  ExpectMainDocumentKept();
}

}  // namespace
}  // namespace kestrova::definition
