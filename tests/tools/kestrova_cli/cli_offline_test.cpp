// kestrova-cli on the shipped parts without hardware (--link none): output,
// files and exit status, and every kind of bad usage.
#include <sstream>

#include "cli_fixture.hpp"

namespace kestrova::cli::testing {
namespace {

using kestrova::testing::ReadBytes;
using kestrova::testing::WriteBytes;

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
  const std::string demo = home / "device/demo";
  const std::string missing = work / "missing";
  // The startup file's device opens; the file is left as it is (only the
  // window names "none" in it while it runs).
  const std::string startup = "<definition device=\"demo\" test=\"0\">\r\n</definition>\r\n";
  WriteBytes(home / "dravik.def", startup);
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string out;
    std::string err;
    bool whole = true;
  };
  const Case cases[] = {
      {{"parts"},
       0,
       "NAME                             INTERFACE      HARDWARE      LABEL\n"
       "demo                             i2c            usb,ich,none  Kestrova demo temperature "
       "sensor\n"
       "i2c-temperature-sensor-12bit     i2c            usb,ich,none  I2C temperature sensor, 9 to "
       "12 bits\n"
       "jc42-dimm-temperature-sensor     i2c            usb,ich,none  DIMM temperature sensor "
       "(JC-42.4)\n"
       "remote-diode-temperature-sensor  i2c            usb,ich,none  Remote-diode temperature "
       "sensor, local and remote\n",
       ""},
      {{"check", bad, demo, missing},
       1,
       bad + ":4: bitfield attribute addr is missing\n" + bad +
           ":5: bitfield attribute value \"XY\" is not hexadecimal\n" + demo + ": ok\n" + missing +
           ": cannot read the file (Cannot open " + missing + ": No such file or directory)\n",
       ""},
      {{"--link", "none", "read", "Temp", "Rate divider"},
       0,
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
           "  06/86 R/W  Rate divider                     0x01     1\n",
       ""},
      // Options also after the command word; the notice that no hardware is
      // in use is a warning of the document as well as a line on standard error.
      {{"--device", "demo", "read", "DevID", "--link", "none", "--json"},
       0,
       "{\"tool\":\"kestrova-cli\",\"command\":\"read\",\"device\":\"demo\",\"part\":"
       "\"Kestrova demo temperature sensor\",\"hardware\":{\"link\":\"none\",\"inUse\":"
       "false},\"busType\":11,\"address\":72,\"registers\":[{\"title\":\"DevID\",\"group\":"
       "\"Sensor\",\"caption\":\"0F\",\"bytes\":[{\"address\":15,\"value\":75}],\"raw\":75,"
       "\"value\":75,\"display\":\"4Bh\",\"units\":\"\",\"log\":false,\"hidden\":false,"
       "\"fields\":[{\"label\":\"Device ID\",\"caption\":\"0F\",\"readAddress\":15,"
       "\"writeAddress\":15,\"access\":\"R\",\"readOnly\":true,\"control\":\"bits\","
       "\"raw\":75,\"value\":75,\"display\":\"0b01001011\",\"units\":\"\"}]}],\"ok\":true,"
       "\"errors\":[],\"warnings\":[\"no hardware in use (link none): the values come from the "
       "part definition, not from a chip\"]}\n",
       ""},
      // Fields by display value, registers by byte.
      {{"--device", "demo", "--link", "none", "write", "Alarm high limit=85.5", "0x81=7F"},
       0,
       "  02    R/W  Alarm high limit low bits        0x18     0b11000\n01    User1      81=7F  "
       "127\n",
       "",
       false},
      {{"--device", "demo", "--link", "none", "write", "--limit", "Alarm high limit=300"},
       0,
       "255.9375",
       "kestrova-cli: warning: Alarm high limit: 300 was limited to the display range\n",
       false},
      {{"--device", "demo", "--link", "none", "raw", "read", "05"}, 0, "48 05 = 00\n", ""},
      {{"--help"}, 0, "Usage: kestrova-cli [OPTIONS] [COMMAND]\n", "", false},
      {{"raw", "write", "-h"}, 0, "Usage: kestrova-cli raw write [OPTIONS] REG VALUE\n", "", false},
      {{"--version"}, 0, "kestrova-cli " KESTROVA_VERSION "\n", ""},
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
}

TEST_F(Offline, BadUsageExitsWithTwoAndPrintsNothing) {
  const std::string unexpected = "The following argument was not expected: ";
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

// Values of part.def and dravik.def that cannot be used (which, and their
// defaults, is proved with the files): a warning names the file, and the
// default applies (the chip address falls back to the definition's 48).
TEST_F(Offline, BadSettingsValuesFallBackWithAWarning) {
  Demo({"read"});  // creates part.def
  const std::string partDef = home / "demo/part.def";
  std::string text = ReadBytes(partDef);
  text.replace(text.find("interfaceaddr=\"-1\""), 18, "interfaceaddr=\"4A\"");
  WriteBytes(partDef, text);
  WriteBytes(home / "dravik.def", "<definition device=\"demo\" test=\"ZZ\">\r\n</definition>\r\n");
  const CliRun run = Cli({"--link", "none", "--json", "read", "Temp"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "kestrova-cli: warning: The startup file " + home.path() +
                         "/dravik.def has no valid test mask (test=\"ZZ\", hexadecimal 0 to FF); "
                         "all test features are off.\nkestrova-cli: warning: " +
                         partDef +
                         ": interfaceaddr \"4A\" is not a whole number from -1 to 32767; -1 "
                         "applies\n");
  EXPECT_NE(run.out.find("\"address\":72,"), std::string::npos) << run.out;
}

// Control characters of a definition's texts reach the terminal escaped.
TEST_F(Offline, ControlCharactersAreEscaped) {
  const std::string evil = work / "evil";
  WriteBytes(evil,
             "<definition>\r\n <part label=\"P\x1B[2J\">\r\n  <register title=\"T\x07\" "
             "grouptabname=\"G\" groupaddrmask=\"\x9B\">\r\n   <bitfield label=\"L\x1B]0;x\x07\" "
             "addr=\"1\" bit=\"7:0\" value=\"1\"/>\r\n  </register>\r\n </part>\r\n"
             "</definition>\r\n");
  const CliRun read = Cli({"--definition", evil, "--link", "none", "read"});
  EXPECT_EQ(read.out,
            "01    T\\x07      01=01  01h\n"
            "  01    R/W  L\\x1B]0;x\\x07                    0x01     0b00000001\n");
  EXPECT_EQ(read.err,
            "kestrova-cli: warning: evil:3: register attribute groupaddrmask \"\\x9B\" is not "
            "hexadecimal\n");
}

// FineAl follows Quick alarm (updatereg) unless "Fine alarm control" says
// otherwise: every register written is listed, and an explicit value that
// the dependent update would replace refuses the command.
TEST_F(Offline, WriteListsDependentsAndRefusesValuesTheyWouldReplace) {
  const std::string replaced =
      "kestrova-cli: \"Fine alarm=10\" would be overwritten: FineAl follows QuickAl";
  const std::vector<std::tuple<std::vector<std::string>, std::string, std::string>> cases = {
      {{"Quick alarm=60"}, "QuickAl FineAl ", ""},
      {{"Fine alarm=10"}, "", replaced + "\n"},
      {{"Quick alarm=60", "Fine alarm=10"}, "", replaced + " (\"Quick alarm=60\")\n"},
      {{"Fine alarm control=Set separately", "Quick alarm=60", "Fine alarm=10"},
       "QuickAl FineAl ",
       ""},
  };
  for (const auto& [assignments, titles, error] : cases) {
    std::vector<std::string> arguments = {"write"};
    arguments.insert(arguments.end(), assignments.begin(), assignments.end());
    const CliRun run = Demo(arguments);
    EXPECT_EQ(run.status, error.empty() ? 0 : 2) << assignments.back();
    EXPECT_EQ(run.err, error);
    std::string listed;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
      listed += line[0] != ' ' ? line.substr(6, line.find(' ', 6) - 6) + " " : "";
    }
    EXPECT_EQ(listed, titles) << run.out;
  }
}

TEST_F(Offline, SaveAndLoadRegisterDataFiles) {
  // File names are passed on as they are, whatever their characters.
  const std::string file = work / "r\xC3\xA9glages \xE2\x84\x96 1.dat";
  CliRun run = Demo({"save", file});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "saved " + file + "\n");
  // The data file's bytes are proved where they are made.
  EXPECT_NE(ReadBytes(file).find(" <reg addr=\"81\" value=\"0\"/>\r\n"), std::string::npos);

  WriteBytes(file, "<definition>\r\n <reg addr=\"81\" value=\"2A\"/>\r\n</definition>\r\n");
  const std::string question = "kestrova-cli: Write Modified Registers? ";
  for (const bool write : {false, true}) {
    run = Demo(write ? std::vector<std::string>{"load", "--write", file}
                     : std::vector<std::string>{"load", file});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, question + (write ? "Yes\n" : "No (not written; --write writes them)\n"));
    EXPECT_NE(run.out.find("01    User1      81=2A  42\n"), std::string::npos) << run.out;
  }
  run = Demo({"load", file + "x"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "kestrova-cli: File read/write error for " + file + "x\n");
  EXPECT_EQ(run.out, "");
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

// The log's bytes are proved where they are made (continuous reading): here
// the options, the count and a second run appending with its own header.
TEST_F(Offline, LogWritesTheWindowsLogFormat) {
  const std::string file = work / "run.txt";
  CliRun run = Demo({"log", file, "--interval", "10", "--count", "2"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "logged 2 rows to " + file + " (limit)\n");
  const std::string titles = "Log Registers\r\nTIME\tTemp    \tStatus  \tCount   \t\r\n";
  const std::string row = "TIME\t25.0000 \t80h     \t0       \t\r\n";
  const std::string first = WithoutTimes(ReadBytes(file));
  EXPECT_EQ(
      first.rfind("\r\nLogFile = " + file + "\r\nDATE TIME\r\nAll Registers\r\nTemp=25.0000", 0),
      0u);
  EXPECT_EQ(first.substr(first.size() - titles.size() - 2 * row.size()), titles + row + row);

  run = Demo({"log", file, "--interval", "10", "--count", "0", "--all"});
  EXPECT_EQ(run.out, "logged 0 rows to " + file + " (limit)\n");
  const std::string both = WithoutTimes(ReadBytes(file));
  EXPECT_EQ(both.substr(0, first.size()), first);
  EXPECT_EQ(both.substr(first.size()).rfind("\r\nLogFile = ", 0), 0u);
  EXPECT_EQ(both.substr(both.size() - titles.size()), titles);
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
