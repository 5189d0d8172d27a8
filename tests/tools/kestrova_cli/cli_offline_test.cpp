// kestrova-cli on the shipped parts without hardware (--link none): output,
// files and exit status, and every kind of bad usage.
#include <sstream>

#include "cli_fixture.hpp"

namespace kestrova::cli::testing {
namespace {

using kestrova::testing::ReadBytes;

class Offline : public CliTest {};

TEST_F(Offline, PartsListsTheShippedDefinitions) {
  const CliRun run = Cli({"parts"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "NAME                             INTERFACE      HARDWARE      LABEL\n"
            "demo                             i2c            usb,ich,none  Kestrova demo "
            "temperature sensor\n"
            "i2c-temperature-sensor-12bit     i2c            usb,ich,none  I2C temperature "
            "sensor, 9 to 12 bits\n"
            "jc42-dimm-temperature-sensor     i2c            usb,ich,none  DIMM temperature "
            "sensor (JC-42.4)\n"
            "remote-diode-temperature-sensor  i2c            usb,ich,none  Remote-diode "
            "temperature sensor, local and remote\n");
}

TEST_F(Offline, PartsAsJson) {
  const CliRun run = Cli({"--json", "parts"});
  EXPECT_EQ(run.status, 0);
  const std::string demo =
      "{\"name\":\"demo\",\"readable\":true,\"label\":\"Kestrova demo temperature sensor\","
      "\"interface\":\"i2c\",\"address\":72,\"hardware\":[{\"type\":\"usb\",\"label\":\"USB "
      "evaluation board\"},{\"type\":\"ich\",\"label\":\"SMBus adapter\"},{\"type\":\"none\","
      "\"label\":\"No hardware (simulation)\"}]}";
  EXPECT_EQ(run.out.rfind("{\"tool\":\"kestrova-cli\",\"command\":\"parts\",\"programFolder\":\"" +
                              home.path() + "\",\"parts\":[" + demo + ",",
                          0),
            0u)
      << run.out;
  EXPECT_NE(run.out.find("],\"ok\":true,\"errors\":[],\"warnings\":[]}\n"), std::string::npos);
}

TEST_F(Offline, CheckPassesTheShippedPartsAndListsEveryProblem) {
  const std::string demo = home.path() + "/device/demo";
  Cli({"parts"});  // seeds the folder
  CliRun run = Cli({"check", demo});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, demo + ": ok\n");

  const std::string bad = work / "bad";
  WriteFile(bad,
            "<definition>\r\n"
            " <part label=\"Bad\">\r\n"
            "  <register>\r\n"
            "   <bitfield label=\"A\" bit=\"7:0\" value=\"0\"/>\r\n"
            "   <bitfield label=\"B\" addr=\"1\" bit=\"7:0\" value=\"XY\"/>\r\n"
            "  </register>\r\n"
            " </part>\r\n"
            "</definition>\r\n");
  run = Cli({"check", bad, demo, work / "missing"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, bad + ":4: bitfield attribute addr is missing\n" + bad +
                         ":5: bitfield attribute value \"XY\" is not hexadecimal\n" + demo +
                         ": ok\n" + work / "missing" + ": cannot read the file (Cannot open " +
                         work / "missing" + ": No such file or directory)\n");
}

// A definition whose name is one of the program folder's own entries (or a
// file there) would put its working folder in their place: refused, and the
// program folder is left as it was.
TEST_F(Offline, DefinitionNamesThatCollideWithTheProgramFolderAreRefused) {
  Cli({"parts"});  // seeds the folder
  WriteFile(home / "notes.txt", "mine");
  const std::string taken = "\" cannot name a device: its working folder would take the place of ";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"dravik.def", taken + "the program folder's startup file"},
      {"device", taken + "the program folder's part definition folder"},
      {"bix", taken + "the program folder's firmware folder"},
      {"scenario", taken + "the program folder's emulator scenario folder"},
      {"notes.txt", taken + "the file " + home.path() + "/notes.txt"},
      {".hidden",
       "\" cannot name a device: names starting with \".\" are the program folder's "
       "hidden files"},
  };
  for (const auto& [name, problem] : cases) {
    WriteFile(work / name, ReadBytes(home / "device/demo"));
    const CliRun run = Cli({"--definition", work / name, "--link", "none", "read"});
    EXPECT_EQ(run.status, 2) << name;
    EXPECT_EQ(run.err, "kestrova-cli: \"" + name + problem + "\n");
  }
  EXPECT_FALSE(std::filesystem::exists(home / "device/part.def"));
  EXPECT_FALSE(std::filesystem::exists(home / "dravik.def"));
  EXPECT_EQ(ReadBytes(home / "notes.txt"), "mine");
}

// Values of part.def and dravik.def that cannot be used: the default
// applies (here the chip address falls back to the definition's 48) and a
// warning names the file and attribute.
TEST_F(Offline, BadSettingsValuesFallBackWithAWarning) {
  Cli({"--device", "demo", "--link", "none", "read"});  // creates part.def
  const std::string partDef = home / "demo/part.def";
  const std::string good = ReadBytes(partDef);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"timer1interval=\"abc\"",
       "timer1interval \"abc\" is not a whole number from 10 to 1000; 1000 applies"},
      {"timer1interval=\"5\"",
       "timer1interval \"5\" is not a whole number from 10 to 1000; 1000 applies"},
      {"writenowvalue=\"2\"", "writenowvalue \"2\" is not a whole number from 0 to 1; 1 applies"},
      {"interfaceaddr=\"4A\"",
       "interfaceaddr \"4A\" is not a whole number from -1 to 32767; -1 applies"},
      {"maxlogcount=\"-2\"",
       "maxlogcount \"-2\" is not a whole number from -1 to 2147483647; -1 applies"},
      {"readafterwritevalue=\"\"", "readafterwritevalue is missing; 1 applies"},
  };
  for (const auto& [attribute, warning] : cases) {
    std::string text = good;
    const std::string name = attribute.substr(0, attribute.find('='));
    const std::size_t at = text.find(" " + name + "=");
    text.replace(at + 1, text.find('"', text.find('"', at) + 1) - at, attribute);
    WriteFile(partDef, text);
    const CliRun run = Cli({"--json", "--device", "demo", "--link", "none", "read", "Temp"});
    EXPECT_EQ(run.status, 0) << attribute;
    EXPECT_EQ(run.err, "kestrova-cli: warning: " + partDef + ": " + warning + "\n");
    EXPECT_NE(run.out.find("\"address\":72,"), std::string::npos) << run.out;
  }
  WriteFile(partDef, good);
  WriteFile(home / "dravik.def", "<definition device=\"demo\" test=\"ZZ\">\r\n</definition>\r\n");
  const CliRun run = Cli({"--link", "none", "read", "Temp"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "kestrova-cli: warning: The startup file " + home.path() +
                         "/dravik.def has no valid test mask (test=\"ZZ\", hexadecimal 0 to FF); "
                         "all test features are off.\n");
}

// Control characters of a definition's texts reach the terminal escaped
// (JSON carries them as JSON escapes); an empty file name is bad usage.
TEST_F(Offline, ControlCharactersAreEscapedAndEmptyFileNamesRefused) {
  const std::string evil = work / "evil";
  WriteFile(evil,
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
  const CliRun json = Cli({"--json", "--definition", evil, "--link", "none", "read"});
  EXPECT_NE(json.out.find("\"label\":\"L\\u001b]0;x\\u0007\""), std::string::npos) << json.out;
  WriteFile(home / "device/evil", ReadBytes(evil));
  EXPECT_NE(Cli({"parts"}).out.find("  P\\x1B[2J\n"), std::string::npos);

  for (const char* command : {"save", "load", "log"}) {
    const CliRun run = Cli({"--device", "demo", "--link", "none", command, ""});
    EXPECT_EQ(run.status, 2) << command;
    EXPECT_EQ(run.out, "") << command;
  }
}

TEST_F(Offline, ReadShowsRegistersAndBitFieldsAsThePanelDoes) {
  // The startup file's device opens; the file is left as it is (only the
  // window names "none" in it while it runs).
  ASSERT_EQ(Cli({"parts"}).status, 0);  // seeds the program folder
  const std::string startup = "<definition device=\"demo\" test=\"0\">\r\n</definition>\r\n";
  WriteFile(home.path() + "/dravik.def", startup);
  const CliRun run = Cli({"--link", "none", "read", "Temp", "Rate divider"});
  EXPECT_EQ(ReadBytes(home.path() + "/dravik.def"), startup);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "00    Temp       00=0C 100=80  25.0000 \xC2\xB0"
            "C\n"
            "  00    R    Temperature                      0x190    25.0000 \xC2\xB0"
            "C\n"
            "  00    R    Temperature low bits             0x10     0b10000\n"
            "  00    R    Critical flag                    0x00     0b0\n"
            "  00    R    High alarm flag                  0x00     0b0\n"
            "  00    R    Low alarm flag                   0x00     0b0\n"
            "06/86 Divider    06=01  1\n"
            "  06/86 R/W  Rate divider                     0x01     1\n");
}

// Options also after the command word; the notice that no hardware is in
// use is a warning of the document as well as a line on standard error.
TEST_F(Offline, ReadAsJson) {
  const CliRun run = Cli({"--device", "demo", "read", "DevID", "--link", "none", "--json"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.notices, 1);
  EXPECT_EQ(
      run.out,
      "{\"tool\":\"kestrova-cli\",\"command\":\"read\",\"device\":\"demo\",\"part\":"
      "\"Kestrova demo temperature sensor\",\"hardware\":{\"link\":\"none\",\"inUse\":"
      "false},\"busType\":11,\"address\":72,\"registers\":[{\"title\":\"DevID\",\"group\":"
      "\"Sensor\",\"caption\":\"0F\",\"bytes\":[{\"address\":15,\"value\":75}],\"raw\":75,"
      "\"value\":75,\"display\":\"4Bh\",\"units\":\"\",\"log\":false,\"hidden\":false,"
      "\"fields\":[{\"label\":\"Device ID\",\"caption\":\"0F\",\"readAddress\":15,"
      "\"writeAddress\":15,\"access\":\"R\",\"readOnly\":true,\"control\":\"bits\","
      "\"raw\":75,\"value\":75,\"display\":\"0b01001011\",\"units\":\"\"}]}],\"ok\":true,"
      "\"errors\":[],\"warnings\":[\"no hardware in use (link none): the values come from the "
      "part definition, not from a chip\"]}\n");
}

TEST_F(Offline, WriteSetsFieldsByDisplayValueAndRegistersByByte) {
  const CliRun run =
      Cli({"--device", "demo", "--link", "none", "write", "Alarm high limit=85.5", "0x81=7F"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "02    AlarmHi    02=2A 102=C0  85.5000 \xC2\xB0"
            "C\n"
            "  02    R/W  Alarm high limit                 0x558    85.5000 \xC2\xB0"
            "C\n"
            "  02    R/W  Alarm high limit low bits        0x18     0b11000\n"
            "01    User1      81=7F  127\n"
            "  01    R/W  User byte 1                      0x7F     127\n");
}

TEST_F(Offline, WriteRefusesWhatThePartCannotTake) {
  struct Case {
    std::string assignment;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"Alarm high limit=300",
       "Alarm high limit: 300 is outside the display range -256 to 255.9375"},
      {"Alarm high limit=12,5", "Alarm high limit: \"12,5\" is not a number"},
      {"Nope=1", "unknown bit field \"Nope\""},
      {"0x81=1FF", "register 81: \"1FF\" is not a byte in hexadecimal (00 to FF)"},
      {"0x99=1", "the part has no register at address 99"},
      {"0x81", "\"0x81\" is not FIELD=VALUE"},
  };
  for (const Case& c : cases) {
    const CliRun run = Cli({"--device", "demo", "--link", "none", "write", c.assignment});
    EXPECT_EQ(run.status, 2) << c.assignment;
    EXPECT_EQ(run.out, "") << c.assignment;
    EXPECT_EQ(run.err, "kestrova-cli: " + c.message + "\n") << c.assignment;
  }
}

// FineAl follows Quick alarm (updatereg) unless "Fine alarm control" says
// otherwise: every register written is listed, and an explicit value that
// the dependent update would replace refuses the command.
TEST_F(Offline, WriteListsDependentsAndRefusesValuesTheyWouldReplace) {
  struct Case {
    std::vector<std::string> assignments;
    std::string titles;  // of the registers listed
    std::string error;
  };
  const std::string replaced =
      "kestrova-cli: \"Fine alarm=10\" would be overwritten: FineAl follows QuickAl";
  const Case cases[] = {
      {{"Quick alarm=60"}, "QuickAl FineAl ", ""},
      {{"Fine alarm=10"}, "", replaced + "\n"},
      {{"Quick alarm=60", "Fine alarm=10"}, "", replaced + " (\"Quick alarm=60\")\n"},
      {{"Fine alarm control=Set separately", "Quick alarm=60", "Fine alarm=10"},
       "QuickAl FineAl ",
       ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {"--device", "demo", "--link", "none", "write"};
    arguments.insert(arguments.end(), c.assignments.begin(), c.assignments.end());
    const CliRun run = Cli(arguments);
    EXPECT_EQ(run.status, c.error.empty() ? 0 : 2) << c.assignments.back();
    EXPECT_EQ(run.err, c.error);
    std::string titles;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
      if (line[0] != ' ') {
        titles += line.substr(6, line.find(' ', 6) - 6) + " ";
      }
    }
    EXPECT_EQ(titles, c.titles) << run.out;
  }
}

TEST_F(Offline, WriteLimitsToTheDisplayRangeWhenAsked) {
  const CliRun run =
      Cli({"--device", "demo", "--link", "none", "write", "--limit", "Alarm high limit=300"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err,
            "kestrova-cli: warning: Alarm high limit: 300 was limited to the display range\n");
  EXPECT_NE(run.out.find("255.9375"), std::string::npos) << run.out;
}

TEST_F(Offline, SaveAndLoadRegisterDataFiles) {
  const std::string file = work / "settings.dat";
  CliRun run = Cli({"--device", "demo", "--link", "none", "save", file});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "saved " + file + "\n");
  const std::string saved = ReadBytes(file);
  EXPECT_EQ(saved.rfind("<definition>\r\n <reg addr=\"1\" value=\"5\"/>\r\n <reg addr=\"0\" "
                        "value=\"C\"/>\r\n",
                        0),
            0u)
      << saved;
  EXPECT_NE(saved.find(" <reg addr=\"81\" value=\"0\"/>\r\n"), std::string::npos);
  EXPECT_EQ(saved.substr(saved.size() - 15), "</definition>\r\n");

  WriteFile(file, "<definition>\r\n <reg addr=\"81\" value=\"2A\"/>\r\n</definition>\r\n");
  run = Cli({"--device", "demo", "--link", "none", "load", file});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err,
            "kestrova-cli: Write Modified Registers? No (not written; --write writes them)\n");
  EXPECT_NE(run.out.find("01    User1      81=2A  42\n"), std::string::npos) << run.out;

  run = Cli({"--device", "demo", "--link", "none", "load", "--write", file});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "kestrova-cli: Write Modified Registers? Yes\n");
  EXPECT_NE(run.out.find("01    User1      81=2A  42\n"), std::string::npos) << run.out;

  // File names are passed on as they are, whatever their characters.
  const std::string named = work / "r\xC3\xA9glages \xE2\x84\x96 1.dat";
  run = Cli({"--device", "demo", "--link", "none", "save", named});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadBytes(named).rfind("<definition>\r\n", 0), 0u);
  run = Cli({"--device", "demo", "--link", "none", "load", named});
  EXPECT_EQ(run.status, 0) << run.err;
  run = Cli({"--device", "demo", "--link", "none", "load", named + "x"});
  EXPECT_EQ(run.err, "kestrova-cli: File read/write error for " + named + "x\n");

  run = Cli({"--device", "demo", "--link", "none", "load", work / "missing.dat"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "kestrova-cli: File read/write error for " + work / "missing.dat" + "\n");
  EXPECT_EQ(run.out, "");
}

TEST_F(Offline, RawWithoutHardwareTransfersNothingAndSaysSo) {
  const CliRun run = Cli({"--device", "demo", "--link", "none", "raw", "read", "05"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "48 05 = 00\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.notices, 1);
}

// The SMBus adapter by number, by path or through part.def's smbusadapter;
// one that cannot be used is named with the system's reason.
TEST_F(Offline, TheAdapterIsNamedAndWhyItFailsIsSaid) {
  Cli({"--device", "demo", "--link", "none", "read"});  // creates part.def
  const std::string failed =
      "kestrova-cli: Check SMB address or select another Device\n  OpenDevice: Can't open "
      "dravik ICH driver\nkestrova-cli: ";
  const std::string missing =
      "cannot open /dev/i2c-99: No such file or directory (no adapter i2c-99; dravik-cli list "
      "shows the adapters, and sudo modprobe i2c-dev makes their device nodes)\n";
  struct Case {
    std::vector<std::string> options;
    std::string partDef;  // smbusadapter in part.def
    std::string cause;
  };
  const Case cases[] = {
      {{"--smbus", "99"}, "", missing},
      {{"--smbus", "/dev/i2c-99"}, "", missing},
      {{}, "99", missing},
      {{"--smbus", "/dev/null"},
       "99",
       "/dev/null is not an I2C adapter (Inappropriate ioctl for "
       "device)\n"},
  };
  const std::string partDef = home / "demo/part.def";
  const std::string plain = ReadBytes(partDef);
  for (const Case& c : cases) {
    std::string settings = plain;
    if (!c.partDef.empty()) {
      settings.replace(settings.find(">\r\n"), 1, " smbusadapter=\"" + c.partDef + "\">");
    }
    WriteFile(partDef, settings);
    std::vector<std::string> arguments = {"--device", "demo", "--link", "ich"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    arguments.push_back("read");
    const CliRun run = Cli(arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, failed + c.cause);
    EXPECT_EQ(ReadBytes(partDef), settings);  // the tool leaves the part settings alone
  }
}

TEST_F(Offline, BadUsageExitsWithTwo) {
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"read"}, "no device chosen: give --device NAME or --definition FILE"},
      {{"--device", "nosuchpart", "read"},
       "unknown device nosuchpart: no definition " + home.path() +
           "/device/nosuchpart (kestrova-cli parts lists them)"},
      {{"--device", "demo", "--link", "none", "read", "Nope"}, "unknown register \"Nope\""},
      {{"--address", "4G", "read"},
       "--address takes a hexadecimal bus address (0 to 7FFF), not \"4G\""},
      {{"--address", "123456", "read"},
       "--address takes a hexadecimal bus address (0 to 7FFF), not \"123456\""},
      {{"--link", "serial", "read"}, "--link takes usb, ich or none, not \"serial\""},
      {{"--bogus", "read"}, "The following argument was not expected: --bogus"},
      {{"--device", "demo", "frobnicate"}, "The following argument was not expected: frobnicate"},
      {{"--device", "demo"},
       "no command given (parts, check, read, write, save, load, log or raw)"},
      {{"--device", "demo", "log", "-", "--follow"},
       "log - writes the log itself to standard output; --follow and --json need a log file"},
      {{"--device", "demo", "log", "x.txt", "--interval", "5"},
       "--interval takes milliseconds from 10 to 86400000, not \"5\""},
      {{"--device", "demo", "log", "x.txt", "--count", "1.5"},
       "--count takes a row count from 0 to 1000000000 or \"none\", not \"1.5\""},
      {{"--device", "demo", "raw", "read", "0x10000"},
       "\"0x10000\" is not a register address (hexadecimal or none)"},
      {{"--device", "demo", "raw", "write", "05", "100"},
       "\"100\" is not a 8-bit value in hexadecimal"},
      {{"--device", "demo", "raw"}, "raw takes read or write"},
      {{"--device", "demo", "read", "--verbose"},
       "The following argument was not expected: --verbose"},
      {{"--device", "demo", "raw", "write", "05"}, "VALUE is required"},
      {{"--device", "demo", "--link", "ich", "--definition", "x", "read"},
       "give --device or --definition, not both"},
  };
  for (const Case& c : cases) {
    const CliRun run = Cli(c.arguments);
    EXPECT_EQ(run.status, 2) << c.message;
    EXPECT_EQ(run.out, "") << c.message;
    EXPECT_EQ(run.err.rfind("kestrova-cli: " + c.message + "\n", 0), 0u) << run.err;
  }
}

// The log's bytes are proved where they are made (continuous reading): here
// the options, the count and a second run appending with its own header.
TEST_F(Offline, LogWritesTheWindowsLogFormat) {
  const std::string file = work / "run.txt";
  CliRun run =
      Cli({"--device", "demo", "--link", "none", "log", file, "--interval", "10", "--count", "2"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "logged 2 rows to " + file + " (limit)\n");
  const std::string titles = "Log Registers\r\nTIME\tTemp    \tStatus  \tCount   \t\r\n";
  const std::string row = "TIME\t25.0000 \t80h     \t0       \t\r\n";
  const std::string first = WithoutTimes(ReadBytes(file));
  EXPECT_EQ(
      first.rfind("\r\nLogFile = " + file + "\r\nDATE TIME\r\nAll Registers\r\nTemp=25.0000", 0),
      0u);
  EXPECT_EQ(first.substr(first.size() - titles.size() - 2 * row.size()), titles + row + row);

  run = Cli({"--device", "demo", "--link", "none", "log", file, "--interval", "10", "--count", "0",
             "--all"});
  EXPECT_EQ(run.out, "logged 0 rows to " + file + " (limit)\n");
  const std::string both = WithoutTimes(ReadBytes(file));
  EXPECT_EQ(both.substr(0, first.size()), first);
  EXPECT_EQ(both.substr(first.size()).rfind("\r\nLogFile = ", 0), 0u);
  EXPECT_EQ(both.substr(both.size() - titles.size()), titles);
}

// A disk that fills up: the failed write is reported once, logging stops
// with exit status 1 (nobody is there to press Stop), the file stays whole.
TEST_F(Offline, AFullDiskEndsTheCommandWithTheFileWhole) {
  Cli({"--device", "demo", "--link", "none", "read"});  // part.def exists
  const std::string file = work / "full.txt";
  CliOptions full;
  full.fileSizeLimit = 1500;
  const CliRun log = Cli(
      {"--device", "demo", "--link", "none", "log", file, "--interval", "10", "--count", "none"},
      full);
  EXPECT_EQ(log.status, 1);
  EXPECT_EQ(log.err, "kestrova-cli: File read/write error for " + file + "\n");
  EXPECT_NE(log.out.find(" (error)\n"), std::string::npos) << log.out;
  const std::string text = ReadBytes(file);
  EXPECT_LE(text.size(), 1500u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  EXPECT_NE(text.find("Log Registers"), std::string::npos);
}

TEST_F(Offline, CtrlCStopsLoggingWithTheFileComplete) {
  const std::string file = work / "run.txt";
  CliOptions options;
  options.interruptWhenFileHas = file;
  options.interruptAfterBytes = 600;  // header, titles and a few rows
  const CliRun run =
      Cli({"--device", "demo", "--link", "none", "log", file, "--interval", "10"}, options);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find(" (interrupted)\n"), std::string::npos) << run.out;
  ASSERT_GE(ReadBytes(file).size(), 600u);
  const std::string text = WithoutTimes(ReadBytes(file));
  const std::string row = "TIME\t25.0000 \t80h     \t0       \t\r\n";
  EXPECT_EQ(text.substr(text.size() - row.size()), row);
  // Every data row is whole.
  const std::size_t rows = text.find("Log Registers\r\n");
  ASSERT_NE(rows, std::string::npos);
  const std::string body = text.substr(text.find("\r\n", rows + 15) + 2);
  EXPECT_EQ(body.size() % row.size(), 0u) << body;
  EXPECT_GE(body.size() / row.size(), 1u);
}

TEST_F(Offline, HelpAndVersion) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--help"}, "Usage: kestrova-cli [OPTIONS] [COMMAND]\n"},
      {{"-h"}, "Usage: kestrova-cli [OPTIONS] [COMMAND]\n"},
      {{"log", "--help"}, "Usage: kestrova-cli log [OPTIONS] FILE\n"},
      {{"raw", "write", "-h"}, "Usage: kestrova-cli raw write [OPTIONS] REG VALUE\n"},
      {{"--version"}, "kestrova-cli " KESTROVA_VERSION "\n"},
  };
  for (const auto& [arguments, first] : cases) {
    const CliRun run = RunCli(arguments);
    EXPECT_EQ(run.status, 0) << arguments.front();
    EXPECT_EQ(run.err, "");
    EXPECT_NE(run.out.find(first), std::string::npos) << run.out;
  }
}

}  // namespace
}  // namespace kestrova::cli::testing
