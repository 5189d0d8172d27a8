// The startup file and the part settings file: exact bytes, defaults, the
// "none" rewrite, and the loaded definition left untouched by both.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "definition/part_settings.hpp"
#include "definition/startup_file.hpp"
#include "file_fixture.hpp"

namespace kestrova::definition {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;
using SettingsFilesTest = testing::FileTest;

std::string Replaced(std::string text, std::string_view mark, const std::string& by) {
  for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark)) {
    text.replace(at, mark.size(), by);
  }
  return text;
}

constexpr const char* kFolderInItsPlace = "";

// A device named at start-up is replaced by "none" until the program ends
// well; a missing file is created silently; a bad test mask turns the test
// features off and says so ({f} is the file's path).
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
      {"<definition device=\"none\">\r\n</definition>\r\n", "none", 0, mask + off, nullptr},
      {"<definition device=\"none\" test=\"1FF\">\r\n</definition>\r\n", "none", 0,
       mask + "1FF" + off, nullptr},
      {"<definition device=\"none\" test=\"FFFFFFFF\">\r\n</definition>\r\n", "none", 0,
       mask + "FFFFFFFF" + off, nullptr},
      {kFolderInItsPlace, "none", 0, "File read/write error for {f}", nullptr},
  };
  const std::string path = folder / "dravik.def";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file != nullptr ? c.file : "no file");
    std::filesystem::remove_all(path);
    if (c.file == kFolderInItsPlace) {
      std::filesystem::create_directory(path);
    } else if (c.file != nullptr) {
      WriteBytes(path, c.file);
    }
    const StartupSettings settings = LoadStartupFile(store, folder.path(), messages);
    EXPECT_EQ(settings.deviceName, c.device);
    EXPECT_EQ(settings.testFlags, c.testFlags);
    EXPECT_EQ(Shown(), Replaced(c.message, "{f}", path));
    if (c.file != kFolderInItsPlace) {
      EXPECT_EQ(ReadBytes(path), c.after != nullptr ? c.after : c.file);  // not even re-saved
    }
    ExpectMainDocumentKept();
  }
}

// The device is written back at a good end, into a new file if need be; an
// empty device (a file the program did not write) is never recorded.
TEST_F(SettingsFilesTest, SaveStartupRecordsTheDevice) {
  const auto file = [](const char* device, const char* test) {
    return "<definition device=\"" + std::string(device) + "\" test=\"" + test +
           "\">\r\n</definition>\r\n";
  };
  const std::pair<std::string, std::string> cases[] = {
      {"", file("sensor", "0")},
      {file("none", "13"), file("sensor", "13")},
      {file("", "0"), file("", "0")},
  };
  for (const auto& [before, after] : cases) {
    std::filesystem::remove(folder / "dravik.def");
    if (!before.empty()) {
      WriteBytes(folder / "dravik.def", before);
    }
    ASSERT_TRUE(SaveStartupFile(store, folder.path(), "sensor", messages));
    EXPECT_EQ(ReadBytes(folder / "dravik.def"), after);
    ExpectMainDocumentKept();
  }
  EXPECT_EQ(Shown(), "");
}

// --- Part settings ({w} is the working folder) -------------------------------------

constexpr std::string_view kDefaultPartFile =
    "<definition driverclass=\"no\" regfilename=\"{w}/demo.dat\" "
    "manualfilename=\"{w}/Kestrova Software User's Guide.lnk\" logfilename=\"{w}/demo.txt\" "
    "timer1interval=\"1000\" writenowvalue=\"1\" readafterwritevalue=\"1\" interfaceaddr=\"-1\" "
    "maxlogcount=\"-1\">\r\n"
    "</definition>\r\n";

// The settings as "driver reg manual log interval write read address count [adapter]".
std::string Values(const PartSettings& s) {
  return s.driverClass + " " + s.regFileName + " " + s.manualFileName + " " + s.logFileName + " " +
         std::to_string(s.timer1Interval) + " " + std::to_string(s.writeNowValue) + " " +
         std::to_string(s.readAfterWriteValue) + " " + std::to_string(s.interfaceAddr) + " " +
         std::to_string(s.maxLogCount) + (s.smbusAdapter.empty() ? "" : " " + s.smbusAdapter);
}

// A part used for the first time, or whose file has no root, gets the
// defaults, written at once and without a word.
TEST_F(SettingsFilesTest, FirstUseOfAPartCreatesTheDefaultsFile) {
  const std::string defaults = Replaced(std::string(kDefaultPartFile), "{w}", folder.path());
  for (const char* before : {"", "garbage\r\n"}) {
    WriteBytes(folder / "part.def", before);
    if (*before == '\0') {
      std::filesystem::remove(folder / "part.def");
    }
    EXPECT_EQ(Values(LoadPartSettings(store, folder.path(), "demo", messages)),
              Replaced("no {w}/demo.dat {w}/Kestrova Software User's Guide.lnk {w}/demo.txt 1000 "
                       "1 1 -1 -1",
                       "{w}", folder.path()));
    EXPECT_EQ(ReadBytes(folder / "part.def"), defaults);
    ExpectMainDocumentKept();
  }
  EXPECT_EQ(Shown(), "");
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
  // A text that cannot stand between quotes is written as its default.
  settings.logFileName = "/logs/a\"b.txt";
  ASSERT_TRUE(SavePartSettings(store, folder.path(), settings, messages));
  const std::string device = std::filesystem::path(folder.path()).filename().string();
  EXPECT_EQ(LoadPartSettings(store, folder.path(), "demo", messages).logFileName,
            folder / (device + ".txt"));
}

// A numeric setting missing, not a whole number or out of range takes its
// default, and the problem names the file and attribute; an empty log limit
// is no limit. A file that loaded is not rewritten.
TEST_F(SettingsFilesTest, SettingsThatCannotBeUsedTakeTheirDefaults) {
  const std::string good =
      "driverclass=\"ich\" timer1interval=\"10\" writenowvalue=\"1\" readafterwritevalue=\"0\" "
      "interfaceaddr=\"24\" maxlogcount=\"5\"";
  const std::string whole = " is not a whole number from ";
  const struct {
    std::string attribute;  // in place of the good one
    const char* values;     // driver, interval, write, read, address, count
    std::string problem;
  } cases[] = {
      {"", "ich 10 1 0 24 5", ""},
      {"maxlogcount=\"\"", "ich 10 1 0 24 -1", ""},
      {"driverclass=\"\"", "no 10 1 0 24 5", ""},
      {"timer1interval=\"abc\"", "ich 1000 1 0 24 5",
       "timer1interval \"abc\"" + whole + "10 to 1000; 1000 applies"},
      {"timer1interval=\"5\"", "ich 1000 1 0 24 5",
       "timer1interval \"5\"" + whole + "10 to 1000; 1000 applies"},
      {"timer1interval=\"1001\"", "ich 1000 1 0 24 5",
       "timer1interval \"1001\"" + whole + "10 to 1000; 1000 applies"},
      {"writenowvalue=\"2\"", "ich 10 1 0 24 5",
       "writenowvalue \"2\"" + whole + "0 to 1; 1 applies"},
      {"readafterwritevalue=\"\"", "ich 10 1 1 24 5", "readafterwritevalue is missing; 1 applies"},
      {"interfaceaddr=\"4A\"", "ich 10 1 0 -1 5",
       "interfaceaddr \"4A\"" + whole + "-1 to 32767; -1 applies"},
      {"maxlogcount=\"-2\"", "ich 10 1 0 24 -1",
       "maxlogcount \"-2\"" + whole + "-1 to 2147483647; -1 applies"},
  };
  const std::string path = folder / "part.def";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.attribute);
    std::string attributes = good;
    if (!c.attribute.empty()) {
      const std::size_t at = attributes.find(c.attribute.substr(0, c.attribute.find('=') + 2));
      attributes.replace(at, attributes.find('"', attributes.find('"', at) + 1) + 1 - at,
                         c.attribute);
    }
    const std::string file = "<definition " + attributes + ">\r\n</definition>\r\n";
    WriteBytes(path, file);
    std::vector<std::string> problems;
    const PartSettings s = LoadPartSettings(store, folder.path(), "demo", messages, {}, &problems);
    EXPECT_EQ(s.driverClass + " " + std::to_string(s.timer1Interval) + " " +
                  std::to_string(s.writeNowValue) + " " + std::to_string(s.readAfterWriteValue) +
                  " " + std::to_string(s.interfaceAddr) + " " + std::to_string(s.maxLogCount),
              c.values);
    EXPECT_EQ(problems, c.problem.empty() ? std::vector<std::string>{}
                                          : std::vector<std::string>{path + ": " + c.problem});
    EXPECT_EQ(ReadBytes(path), file);
  }
  EXPECT_EQ(Shown(), "");
}

}  // namespace
}  // namespace kestrova::definition
