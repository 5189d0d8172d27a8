// The files read and written beside a loaded definition (the startup file,
// the part settings, register data files) and the definition's own load:
// exact bytes, defaults, the messages shown, and the loaded definition left
// as it was by every one of them.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "../markup/temp_folder.hpp"
#include "definition/checker.hpp"
#include "definition/data_file.hpp"
#include "definition/numbers.hpp"
#include "definition/part_settings.hpp"
#include "definition/startup_file.hpp"
#include "markup/markup_store.hpp"
#include "support/message_box_recorder.hpp"
#include "support/part_text.hpp"

namespace kestrova::definition {
namespace {

using kestrova::testing::ReadBytes;
using kestrova::testing::WriteBytes;

std::string Replaced(std::string text, std::string_view mark, const std::string& by) {
  for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark)) {
    text.replace(at, mark.size(), by);
  }
  return text;
}

std::string Repeated(std::string_view text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) {
    out += text;
  }
  return out;
}

class FileTest : public ::testing::Test {
 protected:
  FileTest() {
    store.SetRetryWait([](std::chrono::milliseconds) {});
    EXPECT_TRUE(
        store.LoadMarkupText("<definition>\n <part label=\"Main\">\n </part>\n</definition>\n"));
    store.SetXmlFileIndex(2);
  }

  // The prompts shown since the last call, "|" between them.
  std::string Shown() {
    std::string text = messages.Prompts();
    messages.shown.clear();
    return text;
  }

  void ExpectMainDocumentKept() {
    EXPECT_EQ(store.LineCount(), 4);
    EXPECT_EQ(store.Line(2), " <part label=\"Main\">");
    EXPECT_EQ(store.XmlFileIndex(), 2);
    EXPECT_EQ(store.IndexStackDepth(), 0);
    EXPECT_FALSE(store.HasSideDocument());
  }

  // The register data entries read from `text`, "addr=value" with " "
  // between them, or the message shown; lists of `room` entries.
  std::string ReadData(const std::string& text, std::size_t room = kMaxDataFileEntries) {
    WriteBytes(dataPath, text);
    std::array<std::int16_t, kMaxDataFileEntries> addresses{};
    std::array<std::uint8_t, kMaxDataFileEntries> values{};
    int count = -1;
    const bool read = ReadDataFile(store, dataPath, std::span(addresses).first(room),
                                   std::span(values).first(room), count, messages);
    ExpectMainDocumentKept();
    EXPECT_EQ(read, count > 0);
    std::string entries;
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
      entries += (i > 0 ? " " : "") + HexText(static_cast<std::uint16_t>(addresses[i])) + "=" +
                 HexText(values[i]);
    }
    return entries + Shown();
  }

  kestrova::testing::TempFolder folder;
  markup::MarkupStore store;
  markup::MessageBoxRecorder messages;
  const std::string dataPath = folder / "regs.dat";
};

// A device named at start-up is replaced by "none" until the program ends
// well, when the device is written back; a missing file is created silently;
// a bad test mask turns the test features off and says so; an empty device
// (a file the program did not write) is never recorded ({f} is the file's
// path).
TEST_F(FileTest, StartupFileIsReadRewrittenWithNoneAndRecordsTheDeviceAtTheEnd) {
  const std::string kNoFile = "no file";
  const std::string kFolderInItsPlace = "a folder";
  const std::string mask = "The startup file {f} has no valid test mask (test=\"";
  const std::string off = "\", hexadecimal 0 to FF); all test features are off.";
  const auto file = [](const char* device, const char* test) {
    return "<definition device=\"" + std::string(device) + "\" test=\"" + test +
           "\">\r\n</definition>\r\n";
  };
  const struct {
    std::string file;  // kNoFile or kFolderInItsPlace: none there, a folder in its place
    const char* device;
    int testFlags;
    std::string message;
    std::string after;  // the file afterwards; "": unchanged
    std::string saved;  // the file once "sensor" is saved, or the message
  } cases[] = {
      {file("demo", "13"), "demo", 0x13, "", file("none", "13"), file("sensor", "13")},
      {"<definition test=\"1\" device=\"none\">\n</definition>\n", "none", TEST_RAW_REGISTER_MENU,
       "", "", "<definition test=\"1\" device=\"sensor\">\r\n</definition>\r\n"},
      {kNoFile, "none", 0, "", file("none", "0"), file("sensor", "0")},
      {file("", "0"), "none", 0, "", "", file("", "0")},
      {"<definition device=\"none\">\r\n</definition>\r\n", "none", 0, mask + off, "",
       "<definition device=\"sensor\">\r\n</definition>\r\n"},
      {file("none", "1FF"), "none", 0, mask + "1FF" + off, "", file("sensor", "1FF")},
      {file("none", "FFFFFFFF"), "none", 0, mask + "FFFFFFFF" + off, "",
       file("sensor", "FFFFFFFF")},
      {kFolderInItsPlace, "none", 0, "File read/write error for {f}", "",
       "File read/write error for {f}"},
  };
  const std::string path = folder / "dravik.def";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    std::filesystem::remove_all(path);
    if (c.file == kFolderInItsPlace) {
      std::filesystem::create_directory(path);
    } else if (c.file != kNoFile) {
      WriteBytes(path, c.file);
    }
    const StartupSettings settings = LoadStartupFile(store, folder.path(), messages);
    EXPECT_EQ(settings.deviceName, c.device);
    EXPECT_EQ(settings.testFlags, c.testFlags);
    EXPECT_EQ(Shown(), Replaced(c.message, "{f}", path));
    if (c.file != kFolderInItsPlace) {
      EXPECT_EQ(ReadBytes(path), c.after.empty() ? c.file : c.after);  // not even re-saved
    }
    const bool saved = SaveStartupFile(store, folder.path(), "sensor", messages);
    EXPECT_EQ(saved ? ReadBytes(path) : Replaced(Shown(), path, "{f}"), c.saved);
    ExpectMainDocumentKept();
  }
  std::filesystem::remove_all(path);  // the end writes a new file if need be
  ASSERT_TRUE(SaveStartupFile(store, folder.path(), "sensor", messages));
  EXPECT_EQ(ReadBytes(path), file("sensor", "0"));
}

// The settings as "driver interval write read address count [adapter]".
std::string Values(const PartSettings& s) {
  return s.driverClass + " " + std::to_string(s.timer1Interval) + " " +
         std::to_string(s.writeNowValue) + " " + std::to_string(s.readAfterWriteValue) + " " +
         std::to_string(s.interfaceAddr) + " " + std::to_string(s.maxLogCount) +
         (s.smbusAdapter.empty() ? "" : " " + s.smbusAdapter);
}

// A part used for the first time, or whose file has no root, gets the
// defaults, written at once and without a word ({w} is the working folder);
// the user guide, where there is one, is the default manual.
TEST_F(FileTest, FirstUseOfAPartCreatesTheDefaultsFile) {
  for (const char* before : {"", "garbage\r\n"}) {
    std::filesystem::remove(folder / "part.def");
    if (*before != '\0') {
      WriteBytes(folder / "part.def", before);
    }
    const PartSettings s = LoadPartSettings(store, folder.path(), "demo", messages);
    const std::string defaults = Replaced(
        "<definition driverclass=\"no\" regfilename=\"{w}/demo.dat\" "
        "manualfilename=\"{w}/Kestrova Software User's Guide.lnk\" "
        "logfilename=\"{w}/demo.txt\" timer1interval=\"1000\" writenowvalue=\"1\" "
        "readafterwritevalue=\"1\" interfaceaddr=\"-1\" maxlogcount=\"-1\">\r\n"
        "</definition>\r\n",
        "{w}", folder.path());
    EXPECT_EQ(ReadBytes(folder / "part.def"), defaults);
    EXPECT_EQ(PartSettingsStartTag(s) + "\r\n</definition>\r\n", defaults);  // as loaded
    ExpectMainDocumentKept();
  }
  EXPECT_EQ(Shown(), "");
  std::filesystem::create_directory(folder / "other");
  EXPECT_EQ(LoadPartSettings(store, folder / "other", "demo", messages, "/usr/share/k/guide.html")
                .manualFileName,
            "/usr/share/k/guide.html");
}

// Every setting is written and read back; a text that cannot stand between
// quotes is written as its default.
TEST_F(FileTest, PartSettingsRoundTripWithExactBytes) {
  PartSettings settings{"usb", "/data/x.dat", "/doc/guide.pdf", "/logs/run 1.txt", 250, 0, 0,
                        0x48,  5000,          "/dev/i2c-1"};
  ASSERT_TRUE(SavePartSettings(store, folder.path(), settings, messages));
  EXPECT_EQ(ReadBytes(folder / "part.def"),
            "<definition driverclass=\"usb\" regfilename=\"/data/x.dat\" "
            "manualfilename=\"/doc/guide.pdf\" logfilename=\"/logs/run 1.txt\" "
            "timer1interval=\"250\" writenowvalue=\"0\" readafterwritevalue=\"0\" "
            "interfaceaddr=\"72\" maxlogcount=\"5000\" smbusadapter=\"/dev/i2c-1\">\r\n"
            "</definition>\r\n");
  ExpectMainDocumentKept();
  PartSettings loaded = LoadPartSettings(store, folder.path(), "demo", messages);
  EXPECT_EQ(Values(loaded) + loaded.regFileName + loaded.manualFileName + loaded.logFileName,
            "usb 250 0 0 72 5000 /dev/i2c-1/data/x.dat/doc/guide.pdf/logs/run 1.txt");
  ExpectMainDocumentKept();
  settings.logFileName = "/logs/a\"b.txt";
  ASSERT_TRUE(SavePartSettings(store, folder.path(), settings, messages));
  const std::string device = std::filesystem::path(folder.path()).filename().string();
  EXPECT_EQ(LoadPartSettings(store, folder.path(), "demo", messages).logFileName,
            folder / (device + ".txt"));
}

// A numeric setting missing, not a whole number or out of range takes its
// default, and the problem names the file and attribute; an empty log limit
// is no limit. A file that loaded is not rewritten.
TEST_F(FileTest, SettingsThatCannotBeUsedTakeTheirDefaults) {
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
    const std::regex old(c.attribute.substr(0, c.attribute.find('=') + 1) + "\"[^\"]*\"");
    const std::string file =
        "<definition " + (c.attribute.empty() ? good : std::regex_replace(good, old, c.attribute)) +
        ">\r\n</definition>\r\n";
    WriteBytes(path, file);
    std::vector<std::string> problems;
    const PartSettings s = LoadPartSettings(store, folder.path(), "demo", messages, {}, &problems);
    EXPECT_EQ(Values(s), c.values);
    EXPECT_EQ(problems, c.problem.empty() ? std::vector<std::string>{}
                                          : std::vector<std::string>{path + ": " + c.problem});
    EXPECT_EQ(ReadBytes(path), file);
  }
  EXPECT_EQ(Shown(), "");
}

// Addresses are written as 16 bits, and read back so; more entries than the
// lists hold are refused before anything is written.
TEST_F(FileTest, RegisterDataFilesGiveOneLineEachWithExactBytes) {
  const std::array<std::int16_t, 4> addr = {0x00, 0x1F, 0x403, -1};
  const std::array<std::uint8_t, 4> value = {0x0A, 0xFF, 0x00, 0x01};
  ASSERT_TRUE(WriteDataFile(store, dataPath, addr, value, 4, messages));
  const std::string bytes = ReadBytes(dataPath);
  EXPECT_EQ(bytes,
            "<definition>\r\n"
            " <reg addr=\"0\" value=\"A\"/>\r\n"
            " <reg addr=\"1F\" value=\"FF\"/>\r\n"
            " <reg addr=\"403\" value=\"0\"/>\r\n"
            " <reg addr=\"FFFF\" value=\"1\"/>\r\n"
            "</definition>\r\n");
  ExpectMainDocumentKept();
  EXPECT_EQ(ReadData(bytes), "0=A 1F=FF 403=0 FFFF=1");
  ASSERT_TRUE(WriteDataFile(store, dataPath, {}, {}, 0, messages));
  EXPECT_EQ(ReadBytes(dataPath), "<definition>\r\n</definition>\r\n");
  std::filesystem::remove(dataPath);
  EXPECT_FALSE(WriteDataFile(store, dataPath, std::span(addr).first(2), value, 3, messages));
  EXPECT_FALSE(std::filesystem::exists(dataPath));
  EXPECT_EQ(Shown(),
            "Cannot write " + dataPath + ": 3 register entries do not fit a register data file");
}

// Only reg entries at depth one count, in file order; a file without them or
// without its root applies nothing, silently. One malformed entry, or one too
// many for the lists, refuses the whole file naming its line.
TEST_F(FileTest, RegisterDataEntriesAreReadInFileOrderOrTheFileIsRefused) {
  const auto file = [](const std::string& body) {
    return "<definition>\n" + body + "\n</definition>\n";
  };
  const std::string first = " <reg addr=\"0\" value=\"1\"/>\n\n ";  // the next entry is line 4
  const std::string at4 = dataPath + ":4: reg attribute ";
  const std::string refused = "; no register values were loaded.";
  const std::string reg12 = "<reg addr=\"1\" value=\"2\" />\n";
  const struct {
    std::string text;
    std::string read;
    std::size_t room = kMaxDataFileEntries;
  } cases[] = {
      {file("\t<other addr=\"5\" value=\"5\" />\n\t<reg addr=\"2\" value=\"ff\" />\n\t<group>\n"
            "\t\t<reg addr=\"9\" value=\"9\" />\n\t</group>\n\t<reg addr=\"1\" value=\"3\" />"),
       "2=FF 1=3"},
      {file(""), ""},
      {"<reg addr=\"1\" value=\"1\" />\n", ""},
      {file(first + "<reg value=\"1\" />"), at4 + "addr is missing" + refused},
      {file(first + "<reg addr=\"10000\" value=\"1\" />"),
       at4 + "addr \"10000\" is not a hexadecimal address from 0 to FFFF" + refused},
      {file(first + "<reg addr=\"1\" value=\"100\" />"),
       at4 + "value \"100\" is not a hexadecimal byte from 0 to FF" + refused},
      {file(Repeated(reg12, 2050)), dataPath + ":2051: more than 2049 register entries" + refused},
      {file(Repeated(reg12, 2049)), Repeated("1=2 ", 2048) + "1=2"},
      {file(Repeated(reg12, 2)), dataPath + ":3: more than 1 register entries" + refused, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 80));
    EXPECT_EQ(ReadData(c.text, c.room), c.read);
  }
}

// Loading shows the problems once and keeps the definition; a file that
// does not load shows the file error alone.
TEST_F(FileTest, LoadDefinitionShowsProblemsOnceAndKeepsTheDefinitionLoaded) {
  const std::string path = folder / "sensor";
  WriteBytes(path, kestrova::testing::PartText(">register >>bitfield addr=1 bit=0"));
  const DefinitionLoad load = LoadDefinition(store, path, messages);
  EXPECT_TRUE(load.loaded);
  EXPECT_EQ(load.problems,
            std::vector<std::string>{"sensor:4: bitfield attribute value is missing"});
  EXPECT_EQ(store.LineCount(), 7);
  EXPECT_FALSE(LoadDefinition(store, folder / "none", messages).loaded);
  EXPECT_EQ(Shown(),
            "The definition sensor has 1 problem; registers that use these values may be read or "
            "written wrongly:\r\nsensor:4: bitfield attribute value is missing|File read/write "
            "error for " +
                (folder / "none"));
}

}  // namespace
}  // namespace kestrova::definition
