// kestrova-cli on the shipped parts without hardware (--link none): output,
// --json documents, files and exit status, and every kind of bad usage.
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli_fixture.hpp"

namespace kestrova::cli::testing {
namespace {

using kestrova::testing::ReadBytes;
using kestrova::testing::WriteBytes;
using Json = nlohmann::json;

using Offline = CliTest;

const std::string kDegrees =
    "\xC2\xB0"
    "C";

// Whole texts, or (whole == false) texts the output holds; an empty text is no output at all.
TEST_F(Offline, CommandsPrintTheirResultsAndExitStatus) {
  const std::string bad = work / "bad";
  WriteBytes(bad,
             "<definition>\r\n <part label=\"Bad\">\r\n  <register>\r\n"
             "   <bitfield label=\"A\" bit=\"7:0\" value=\"0\"/>\r\n"
             "   <bitfield label=\"B\" addr=\"1\" bit=\"7:0\" value=\"XY\"/>\r\n"
             "  </register>\r\n </part>\r\n</definition>\r\n");
  const std::string evil = work / "evil";
  WriteBytes(evil,
             "<definition>\r\n <part label=\"P\x1B[2J\">\r\n  <register title=\"T\x07\" "
             "grouptabname=\"G\" groupaddrmask=\"\x9B\">\r\n   <bitfield label=\"L\x1B]0;x\x07\" "
             "addr=\"1\" bit=\"7:0\" value=\"1\"/>\r\n  </register>\r\n </part>\r\n"
             "</definition>\r\n");
  // Its part.def holds a value that cannot be used (which, and the defaults,
  // is proved with the files): a warning names the file.
  std::filesystem::create_directories(home / "evil");
  WriteBytes(home / "evil/part.def",
             "<definition timer1interval=\"1000\" writenowvalue=\"1\" readafterwritevalue=\"1\" "
             "interfaceaddr=\"4A\">\r\n</definition>\r\n");
  // File names are passed on as they are, whatever their characters.
  const std::string saved = work / "r\xC3\xA9glages \xE2\x84\x96 1.dat";
  const std::string data = work / "data.dat";
  WriteBytes(data, "<definition>\r\n <reg addr=\"81\" value=\"2A\"/>\r\n</definition>\r\n");
  const std::string question = "kestrova-cli: Write Modified Registers? ";
  const std::string demo = home / "device/demo";
  const std::string missing = work / "missing";
  // The startup file's device opens; the file is left as it is (only the
  // window names "none" in it while it runs).
  const std::string startup = "<definition device=\"demo\" test=\"0\">\r\n</definition>\r\n";
  WriteBytes(home / "dravik.def", startup);
  struct Case {
    std::vector<std::string> arguments;
    std::string out;
    bool whole = true;
    std::string err = "";
    int status = 0;
  };
  const Case cases[] = {
      {{"parts"},
       "NAME                             INTERFACE      HARDWARE      LABEL\n"
       "demo                             i2c            usb,ich,none  Kestrova demo temperature "
       "sensor\n",
       false},
      {{"check", bad, demo, missing},
       bad + ":4: bitfield attribute addr is missing\n" + bad +
           ":5: bitfield attribute value \"XY\" is not hexadecimal\n" + demo + ": ok\n" + missing +
           ": cannot read the file (Cannot open " + missing + ": No such file or directory)\n",
       true,
       "",
       1},
      {{"--link", "none", "read", "Temp", "Rate divider"},
       "00    Temp       00=0C 100=80  25.0000 " + kDegrees +
           "\n"
           "  00    R    Temperature                      0x190    25.0000 " +
           kDegrees +
           "\n"
           "  00    R    Temperature low bits             0x10     0b10000\n"
           "  00    R    Critical flag                    0x00     0b0\n"
           "  00    R    High alarm flag                  0x00     0b0\n"
           "  00    R    Low alarm flag                   0x00     0b0\n"
           "06/86 Divider    06=01  1\n"
           "  06/86 R/W  Rate divider                     0x01     1\n"},
      // Options also after the command word; the notice that no hardware is
      // in use is a warning of the document as well as a line on standard error.
      {{"--device", "demo", "read", "DevID", "--link", "none", "--json"},
       "{\"tool\":\"kestrova-cli\",\"command\":\"read\",\"device\":\"demo\",\"part\":"
       "\"Kestrova demo temperature sensor\",\"hardware\":{\"link\":\"none\",\"inUse\":"
       "false},\"busType\":11,\"address\":72,\"registers\":[{\"title\":\"DevID\",\"group\":"
       "\"Sensor\",\"caption\":\"0F\",\"bytes\":[{\"address\":15,\"value\":75}],\"raw\":75,"
       "\"value\":75,\"display\":\"4Bh\",\"units\":\"\",\"log\":false,\"hidden\":false,"
       "\"fields\":[{\"label\":\"Device ID\",\"caption\":\"0F\",\"readAddress\":15,"
       "\"writeAddress\":15,\"access\":\"R\",\"readOnly\":true,\"control\":\"bits\","
       "\"raw\":75,\"value\":75,\"display\":\"0b01001011\",\"units\":\"\"}]}],\"ok\":true,"
       "\"errors\":[],\"warnings\":[\"no hardware in use (link none): the values come from the "
       "part definition, not from a chip\"]}\n"},
      // Fields by display value, registers by byte.
      {{"--link", "none", "write", "Alarm high limit=85.5", "0x81=7F"},
       "  02    R/W  Alarm high limit low bits        0x18     0b11000\n01    User1      81=7F  "
       "127\n",
       false},
      {{"--link", "none", "write", "--limit", "Alarm high limit=300"},
       "255.9375",
       false,
       "kestrova-cli: warning: Alarm high limit: 300 was limited to the display range\n"},
      // A field's engineering value is a number next to its display text.
      {{"--link", "none", "--json", "write", "Alarm high limit=85.25"},
       "\"control\":\"textbox\",\"raw\":1364,\"value\":85.25,\"display\":\"85.2500\",\"units\":\"" +
           kDegrees + "\"}",
       false},
      // Registers that follow the ones written are written and listed too:
      // FineAl follows QuickAl unless "Fine alarm control" says otherwise.
      {{"--link", "none", "write", "Quick alarm=60"},
       "09    FineAl     09=78  60.0 " + kDegrees,
       false},
      {{"--link", "none", "write", "Fine alarm control=Set separately", "Quick alarm=60",
        "Fine alarm=10"},
       "09    FineAl     09=14  10.0 " + kDegrees,
       false},
      // Control characters of a definition's texts reach the terminal escaped;
      // the values its part.def cannot use are warned of.
      {{"--definition", evil, "--link", "none", "read"},
       "01    T\\x07      01=01  01h\n"
       "  01    R/W  L\\x1B]0;x\\x07                    0x01     0b00000001\n",
       true,
       "kestrova-cli: warning: " + home.path() +
           "/evil/part.def: interfaceaddr \"4A\" is not a whole number from -1 to 32767; -1 "
           "applies\nkestrova-cli: warning: evil:3: register attribute groupaddrmask \"\\x9B\" is "
           "not "
           "hexadecimal\n"},
      {{"--link", "none", "save", saved}, "saved " + saved + "\n"},
      {{"--link", "none", "load", data},
       "01    User1      81=2A  42\n",
       false,
       question + "No (not written; --write writes them)\n"},
      {{"--link", "none", "load", "--write", data}, "81=2A", false, question + "Yes\n"},
      {{"--link", "none", "load", missing},
       "",
       true,
       "kestrova-cli: File read/write error for " + missing + "\n",
       1},
      {{"--link", "none", "raw", "read", "05"}, "48 05 = 00\n"},
      {{"--help"}, "Usage: kestrova-cli [OPTIONS] [COMMAND]\n", false},
      {{"raw", "write", "-h"}, "Usage: kestrova-cli raw write [OPTIONS] REG VALUE\n", false},
      {{"--version"}, "kestrova-cli " KESTROVA_VERSION "\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.back());
    const CliRun run = Cli(c.arguments);
    EXPECT_EQ(run.status, c.status);
    if (c.whole) {
      EXPECT_EQ(run.out, c.out);
    } else {
      EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
    }
    EXPECT_EQ(run.err, c.err);
  }
  EXPECT_EQ(ReadBytes(home / "dravik.def"), startup);
  // The data file's bytes are proved where they are made.
  EXPECT_NE(ReadBytes(saved).find(" <reg addr=\"81\" value=\"0\"/>\r\n"), std::string::npos);
}

TEST_F(Offline, BadUsageExitsWithTwoAndPrintsNothing) {
  const std::string unexpected = "The following argument was not expected: ";
  const std::string replaced = "\"Fine alarm=10\" would be overwritten: FineAl follows QuickAl";
  // A definition named after one of the program folder's own entries (which
  // names those are is proved with the program folder).
  WriteBytes(work / "device", ReadBytes(home / "device/demo"));
  // Rows after the first six run on the demo part.
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"read"}, "no device chosen: give --device NAME or --definition FILE"},
      {{"--device", "nosuchpart", "read"},
       "unknown device nosuchpart: no definition " + home.path() +
           "/device/nosuchpart (kestrova-cli parts lists them)"},
      {{"--device", "demo", "--definition", "x", "read"},
       "give --device or --definition, not both"},
      {{"--bogus", "read"}, unexpected + "--bogus"},
      {{"--link", "serial", "read"}, "--link takes usb, ich or none, not \"serial\""},
      {{"--definition", work / "device", "read"},
       "\"device\" cannot name a device: its working folder would take the place of the program "
       "folder's part definition folder\n"},
      {{"read", "Nope"}, "unknown register \"Nope\""},
      {{"--address", "4G", "read"}, "--address takes a hexadecimal bus address (0 to 7FFF), not"},
      {{"frobnicate"}, unexpected + "frobnicate"},
      {{}, "no command given (parts, check, read, write, save, load, log or raw)"},
      {{"log", "-", "--follow"}, "log - writes the log itself to standard output; --follow and"},
      {{"log", "x", "--interval", "5"}, "--interval takes milliseconds from 10 to 86400000, not"},
      {{"log", "x", "--count", "1.5"},
       "--count takes a row count from 0 to 1000000000 or \"none\""},
      {{"raw", "read", "0x10000"}, "\"0x10000\" is not a register address (hexadecimal or none)"},
      {{"raw", "write", "05", "100"}, "\"100\" is not a 8-bit value in hexadecimal"},
      {{"raw"}, "raw takes read or write"},
      {{"raw", "write", "05"}, "VALUE is required"},
      {{"save", ""}, ""},
      {{"log", ""}, ""},
      // What the part cannot take refuses the whole write.
      {{"write", "Nope=1"}, "unknown bit field \"Nope\"\n"},
      {{"write", "0x81=1FF"}, "register 81: \"1FF\" is not a byte in hexadecimal (00 to FF)\n"},
      {{"write", "0x81"}, "\"0x81\" is not FIELD=VALUE\n"},
      // An explicit value that a following register's update would replace.
      {{"write", "Fine alarm=10"}, replaced + "\n"},
      {{"write", "Quick alarm=60", "Fine alarm=10"}, replaced + " (\"Quick alarm=60\")\n"},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& [arguments, message] = cases[i];
    SCOPED_TRACE(message);
    const CliRun run = i < 6 ? Cli(arguments) : Demo(arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("kestrova-cli: " + message, 0), 0u) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(home / "device/part.def"));  // the folder is left alone
}

// The SMBus adapter by number, by path or through part.def's smbusadapter;
// one that cannot be used is named with the system's reason.
TEST_F(Offline, TheAdapterIsNamedAndWhyItFailsIsSaid) {
  Demo({"read"});  // creates part.def
  const std::string failed =
      "kestrova-cli: Check SMB address or select another Device\n  OpenDevice: Can't open "
      "dravik ICH driver\nkestrova-cli: ";
  const std::string missing =
      "cannot open /dev/i2c-99: No such file or directory (no adapter i2c-99; dravik-cli list "
      "shows the adapters, and sudo modprobe i2c-dev makes their device nodes)\n";
  const std::string notAdapter =
      "/dev/null is not an I2C adapter (Inappropriate ioctl for device)\n";
  const std::vector<std::tuple<std::vector<std::string>, std::string, std::string>> cases = {
      {{"--smbus", "99"}, "", missing},
      {{"--smbus", "/dev/i2c-99"}, "", missing},
      {{}, "99", missing},  // smbusadapter in part.def
      {{"--smbus", "/dev/null"}, "99", notAdapter},
  };
  const std::string partDef = home / "demo/part.def";
  const std::string plain = ReadBytes(partDef);
  for (const auto& [options, adapter, cause] : cases) {
    std::string settings = plain;
    if (!adapter.empty()) {
      settings.replace(settings.find(">\r\n"), 1, " smbusadapter=\"" + adapter + "\">");
    }
    WriteBytes(partDef, settings);
    std::vector<std::string> arguments = {"--device", "demo", "--link", "ich"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.push_back("read");
    const CliRun run = Cli(arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, failed + cause);
    EXPECT_EQ(ReadBytes(partDef), settings);  // the tool leaves the part settings alone
  }
}

// Every command prints one --json document of the schema both tools share
// (whole for read above); the notice that no hardware is in use is said once.
TEST_F(Offline, EveryCommandPrintsOneJsonDocument) {
  const std::string data = work / "a.dat";
  // Whether the command opens the part, and so gives the notice.
  const std::vector<std::pair<std::vector<std::string>, bool>> cases = {
      {{"parts"}, false},
      {{"check", home / "device/demo"}, false},
      {{"write", "User byte 1=7"}, true},
      {{"save", data}, true},
      {{"load", data}, true},
      {{"log", work / "a.txt", "--count", "1", "--interval", "10"}, true},
      {{"raw", "write", "81", "07"}, true},
  };
  for (const auto& [command, hardware] : cases) {
    SCOPED_TRACE(command.front());
    std::vector<std::string> arguments = command;
    arguments.push_back("--json");
    const CliRun run = Demo(arguments);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.notices, hardware ? 1 : 0);
    const Json document = Json::parse(run.out);
    EXPECT_EQ(document["tool"], "kestrova-cli");
    EXPECT_EQ(document["command"], command.front());
    EXPECT_EQ(document["ok"], true);
    EXPECT_EQ(document["warnings"].size(), hardware ? 1u : 0u);
  }
}

// The log's bytes are proved where they are made (continuous reading): here
// the options and the count, followed row by row (as text or documents), a
// second run appending with its own header, and the log on standard output.
TEST_F(Offline, LogRunsToItsCountFollowedAppendedOrOnStandardOutput) {
  const std::string file = work / "run.txt";
  auto log = [&](std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "log");
    arguments.insert(arguments.end(), {"--interval", "10"});
    return Demo(arguments);
  };
  const std::string titles = "Log Registers\r\nTIME\tTemp    \tStatus  \tCount   \t\r\n";
  const std::string row = "TIME\t25.0000 \t80h     \t0       \t\r\n";
  CliRun run = log({file, "--count", "2", "--follow"});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string first = WithoutTimes(ReadBytes(file));
  EXPECT_EQ(
      first.rfind("\r\nLogFile = " + file + "\r\nDATE TIME\r\nAll Registers\r\nTemp=25.0000", 0),
      0u);
  EXPECT_EQ(first.substr(first.size() - titles.size() - 2 * row.size()), titles + row + row);
  // The file's lines as they are taken, with the terminal's line ends.
  std::string lines = first;
  for (std::size_t at = lines.find('\r'); at != std::string::npos; at = lines.find('\r')) {
    lines.erase(at, 1);
  }
  EXPECT_EQ(WithoutTimes(run.out), lines + "logged 2 rows to " + file + " (limit)\n");

  run = log({file, "--count", "0", "--all"});
  EXPECT_EQ(run.out, "logged 0 rows to " + file + " (limit)\n");
  const std::string both = WithoutTimes(ReadBytes(file));
  EXPECT_EQ(both.substr(0, first.size()), first);
  EXPECT_EQ(both.substr(first.size()).rfind("\r\nLogFile = ", 0), 0u);
  EXPECT_EQ(both.substr(both.size() - titles.size()), titles);

  run = log({"-", "--count", "2"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "logged 2 rows to /dev/stdout (limit)\n");
  const std::string shown = WithoutTimes(run.out);
  EXPECT_EQ(shown.rfind("\r\nLogFile = /dev/stdout\r\n", 0), 0u) << run.out;
  EXPECT_EQ(shown.substr(shown.size() - 2 * row.size()), row + row);

  run = log({file, "--count", "2", "--follow", "--json"});
  EXPECT_EQ(run.status, 0) << run.err;
  std::istringstream out(run.out);
  std::vector<Json> documents;
  for (std::string line; std::getline(out, line);) {
    documents.push_back(Json::parse(line));
  }
  ASSERT_EQ(documents.size(), 3u);  // two rows, then the command's document
  for (int i = 0; i < 2; ++i) {
    const Json& taken = documents[static_cast<std::size_t>(i)];
    EXPECT_TRUE(taken["epochMs"].is_number_integer());
    EXPECT_TRUE(std::regex_match(taken["time"].get<std::string>(),
                                 std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8}\\.[0-9]{3}")));
    EXPECT_EQ(
        taken["registers"][0],
        Json({{"title", "Temp"}, {"value", 25}, {"display", "25.0000"}, {"units", kDegrees}}));
    EXPECT_EQ(taken["registers"].size(), 3u);
  }
  EXPECT_EQ(documents[2]["rows"], 2);
}

// Logging without end stops on Ctrl-C with every row whole, and on a full
// disk with the failure reported once and exit status 1 (nobody is there to
// press Stop); the file ends with a whole line either way.
TEST_F(Offline, LoggingStopsOnCtrlCOrAFullDiskWithTheFileWhole) {
  const std::string file = work / "run.txt";
  const std::string row = "TIME\t25.0000 \t80h     \t0       \t\r\n";
  CliOptions interrupt;
  interrupt.interruptWhenFileHas = file;
  interrupt.interruptAfterBytes = 600;  // header, titles and a few rows
  const std::vector<std::string> endless = {"log", file, "--interval", "10", "--count", "none"};
  CliRun run = Demo(endless, interrupt);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find(" (interrupted)\n"), std::string::npos) << run.out;
  std::string text = WithoutTimes(ReadBytes(file));
  const std::size_t titles = text.find("Log Registers\r\n");
  ASSERT_NE(titles, std::string::npos);
  const std::string body = text.substr(text.find("\r\n", titles + 15) + 2);
  EXPECT_EQ(body.size() % row.size(), 0u) << body;
  EXPECT_GE(body.size() / row.size(), 1u);
  EXPECT_EQ(text.substr(text.size() - row.size()), row);

  std::filesystem::remove(file);
  CliOptions full;
  full.fileSizeLimit = 1500;
  run = Demo(endless, full);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "kestrova-cli: File read/write error for " + file + "\n");
  EXPECT_NE(run.out.find(" (error)\n"), std::string::npos) << run.out;
  text = ReadBytes(file);
  EXPECT_LE(text.size(), 1500u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

}  // namespace
}  // namespace kestrova::cli::testing
