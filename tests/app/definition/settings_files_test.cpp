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

TEST_F(SettingsFilesTest, StartupNamingADeviceIsRewrittenWithNoneAndTheDeviceWrittenBackAtEnd) {
  WriteBytes(folder / "dravik.def",
             "<definition device=\"demo\" test=\"13\">\r\n</definition>\r\n");
  const StartupSettings settings = LoadStartupFile(store, folder.path(), messages);
  EXPECT_EQ(settings.deviceName, "demo");
  EXPECT_EQ(settings.testFlags, 0x13);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(ReadBytes(folder / "dravik.def"),
            "<definition device=\"none\" test=\"13\">\r\n</definition>\r\n");
  ExpectMainDocumentKept();

  ASSERT_TRUE(SaveStartupFile(store, folder.path(), "demo", messages));
  EXPECT_EQ(ReadBytes(folder / "dravik.def"),
            "<definition device=\"demo\" test=\"13\">\r\n</definition>\r\n");
  ExpectMainDocumentKept();
}

TEST_F(SettingsFilesTest, StartupWithNoneIsLeftAlone) {
  const std::string original = "<definition test=\"1\" device=\"none\">\n</definition>\n";
  WriteBytes(folder / "dravik.def", original);
  const StartupSettings settings = LoadStartupFile(store, folder.path(), messages);
  EXPECT_EQ(settings.deviceName, "none");
  EXPECT_EQ(settings.testFlags & TEST_RAW_REGISTER_MENU, TEST_RAW_REGISTER_MENU);
  EXPECT_EQ(ReadBytes(folder / "dravik.def"), original);  // not even re-saved
}

TEST_F(SettingsFilesTest, MissingStartupFileIsCreatedWithNoneAndZeroSilently) {
  const StartupSettings settings = LoadStartupFile(store, folder.path(), messages);
  EXPECT_EQ(settings.deviceName, "none");
  EXPECT_EQ(settings.testFlags, 0);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(ReadBytes(folder / "dravik.def"),
            "<definition device=\"none\" test=\"0\">\r\n</definition>\r\n");
  ExpectMainDocumentKept();
}

TEST_F(SettingsFilesTest, SaveStartupWithoutFileCreatesOneNamingTheDevice) {
  ASSERT_TRUE(SaveStartupFile(store, folder.path(), "sensor", messages));
  EXPECT_EQ(ReadBytes(folder / "dravik.def"),
            "<definition device=\"sensor\" test=\"0\">\r\n</definition>\r\n");
  ExpectMainDocumentKept();
}

TEST_F(SettingsFilesTest, UnreadableStartupFileShowsTheFileError) {
  std::filesystem::create_directory(folder / "dravik.def");  // there, but not a file
  const StartupSettings settings = LoadStartupFile(store, folder.path(), messages);
  EXPECT_EQ(settings.deviceName, "none");
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].prompt, "File read/write error for " + (folder / "dravik.def"));
  ExpectMainDocumentKept();
}

TEST_F(SettingsFilesTest, InvalidTestMaskTurnsTestFeaturesOffAndSaysSo) {
  for (const std::string test : {"", "1FF", "x", "-1"}) {
    messages.shown.clear();
    WriteBytes(folder / "dravik.def",
               "<definition device=\"none\" test=\"" + test + "\">\r\n</definition>\r\n");
    const StartupSettings settings = LoadStartupFile(store, folder.path(), messages);
    EXPECT_EQ(settings.testFlags, 0) << test;
    ASSERT_EQ(messages.shown.size(), 1u) << test;
    EXPECT_EQ(messages.shown[0].prompt, "The startup file " + (folder / "dravik.def") +
                                            " has no valid test mask (test=\"" + test +
                                            "\", hexadecimal 0 to FF); all test features are off.");
  }
  WriteBytes(folder / "dravik.def", "<definition device=\"none\">\r\n</definition>\r\n");
  messages.shown.clear();
  EXPECT_EQ(LoadStartupFile(store, folder.path(), messages).testFlags, 0);
  EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(SettingsFilesTest, EmptyDeviceReadsAsNoneAndCanNeverBeRecorded) {
  const std::string original = "<definition device=\"\" test=\"0\">\r\n</definition>\r\n";
  WriteBytes(folder / "dravik.def", original);
  EXPECT_EQ(LoadStartupFile(store, folder.path(), messages).deviceName, "none");
  ASSERT_TRUE(SaveStartupFile(store, folder.path(), "demo", messages));
  EXPECT_EQ(ReadBytes(folder / "dravik.def"), original);
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
}

TEST_F(SettingsFilesTest, UserGuideIsTheDefaultManual) {
  const PartSettings settings =
      LoadPartSettings(store, folder.path(), "demo", messages, "/usr/share/kestrova/guide.html");
  EXPECT_EQ(settings.manualFileName, "/usr/share/kestrova/guide.html");
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

TEST_F(SettingsFilesTest, EmptyOrMinusOneLogCountIsNoLimit) {
  WriteBytes(
      folder / "part.def",
      "<definition driverclass=\"ich\" timer1interval=\"10\" writenowvalue=\"1\" "
      "readafterwritevalue=\"0\" interfaceaddr=\"24\" maxlogcount=\"\">\r\n</definition>\r\n");
  PartSettings settings = LoadPartSettings(store, folder.path(), "demo", messages);
  EXPECT_EQ(settings.maxLogCount, -1);
  EXPECT_EQ(settings.timer1Interval, 10);
  EXPECT_EQ(settings.interfaceAddr, 24);
  WriteBytes(folder / "part.def", "<definition maxlogcount=\"-1\">\r\n</definition>\r\n");
  settings = LoadPartSettings(store, folder.path(), "demo", messages);
  EXPECT_EQ(settings.maxLogCount, -1);
}

TEST_F(SettingsFilesTest, MissingOrBrokenSettingsTakeTheirDefaults) {
  const std::string broken =
      "<definition driverclass=\"\" timer1interval=\"0\" writenowvalue=\"2\" "
      "readafterwritevalue=\"yes\" interfaceaddr=\"70000\" "
      "maxlogcount=\"-7\">\r\n</definition>\r\n";
  WriteBytes(folder / "part.def", broken);
  const PartSettings settings = LoadPartSettings(store, folder.path(), "demo", messages);
  EXPECT_EQ(Values(settings), Values(DefaultPartSettings(folder.path(), "demo")));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(ReadBytes(folder / "part.def"), broken);  // a file that loaded is not rewritten
}

TEST_F(SettingsFilesTest, FileWithoutRootTakesDefaultsAndIsRewritten) {
  WriteBytes(folder / "part.def", "garbage\r\n");
  const PartSettings settings = LoadPartSettings(store, folder.path(), "demo", messages);
  EXPECT_EQ(settings.driverClass, "no");
  EXPECT_EQ(ReadBytes(folder / "part.def"), WithFolder(kDefaultPartFile, folder.path()));
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
