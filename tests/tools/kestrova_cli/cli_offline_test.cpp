// kestrova-cli on the shipped parts, without hardware (--link none) and on the
// emulated board and SMBus controller: output, --json documents, files, exit
// status, and every kind of bad usage.
#include <filesystem>

#include "cli_fixture.hpp"

namespace kestrova::cli::testing {
namespace {

using namespace kestrova::testing;  // the files of a run

// The demo part offline (the startup file names it), on the emulated board
// (--emulated-board) and on SMBus adapters that cannot be used.
TEST_F(KestrovaCli, CommandsPrintTheirResultsAndExitStatus) {
  const std::string evil = work / "evil";
  WriteBytes(evil,
             "<definition>\r\n <part label=\"P\x1B[2J\">\r\n  <register title=\"T\x07\" "
             "grouptabname=\"G\" groupaddrmask=\"\x9B\">\r\n   <bitfield label=\"L\x1B]0;x\x07\" "
             "addr=\"1\" bit=\"7:0\" value=\"1\"/>\r\n  </register>\r\n </part>\r\n"
             "</definition>\r\n");
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
  WriteBytes(work / "bench.scn", kBench);
  CliOptions onBench;
  onBench.environment = {"DRAVIK_EMULATOR_SCENARIO=" + work / "bench.scn"};
  const std::string noAdapter =
      "kestrova-cli: Check SMB address or select another Device\n  OpenDevice: Can't open dravik "
      "ICH driver\nkestrova-cli: ";
  const CliCase cases[] = {
      {{"parts"},
       0,
       "~NAME                             INTERFACE      HARDWARE      LABEL\n"
       "demo                             i2c            usb,ich,none  Kestrova demo temperature "
       "sensor\n"},
      {{"check", evil, demo, missing},
       1,
       evil + ":3: register attribute groupaddrmask \"\\x9B\" is not hexadecimal\n" + demo +
           ": ok\n" + missing + ": cannot read the file (Cannot open " + missing +
           ": No such file or directory)\n"},
      {{"--link", "none", "read", "Temp", "Rate divider"},
       0,
       "00    Temp       00=0C 100=80  25.0000 \u00B0C\n"
       "  00    R    Temperature                      0x190    25.0000 \u00B0C\n"
       "  00    R    Temperature low bits             0x10     0b10000\n"
       "  00    R    Critical flag                    0x00     0b0\n"
       "  00    R    High alarm flag                  0x00     0b0\n"
       "  00    R    Low alarm flag                   0x00     0b0\n"
       "06/86 Divider    06=01  1\n"
       "  06/86 R/W  Rate divider                     0x01     1\n"},
      // Options also after the command word; the notice that no hardware is
      // in use is a warning of the document as well as a line on standard error.
      {{"--device", "demo", "read", "DevID", "--link", "none", "--json"},
       0,
       R"({"tool":"kestrova-cli","command":"read","device":"demo",)"
       R"("part":"Kestrova demo temperature sensor","hardware":{"link":"none","inUse":false},)"
       R"("busType":11,"address":72,"registers":[{"title":"DevID","group":"Sensor","caption":"0F",)"
       R"("bytes":[{"address":15,"value":75}],"raw":75,"value":75,"display":"4Bh","units":"",)"
       R"("log":false,"hidden":false,"fields":[{"label":"Device ID","caption":"0F",)"
       R"("readAddress":15,"writeAddress":15,"access":"R","readOnly":true,"control":"bits",)"
       R"("raw":75,"value":75,"display":"0b01001011","units":""}]}],"ok":true,"errors":[],)"
       R"("warnings":["no hardware in use (link none): the values come from the part definition,)"
       R"( not from a chip"]})"
       "\n"},
      // Fields by display value (limited to the display range on request),
      // registers by byte; registers that follow the ones written are written
      // and listed too (FineAl follows QuickAl).
      {{"--link", "none", "write", "--limit", "Alarm high limit=300", "0x81=7F", "Quick alarm=60"},
       0,
       "~09    FineAl     09=78  60.0 \u00B0C\n"
       "  09    R/W  Fine alarm                       0x78     60.0 \u00B0C\n"
       "01    User1      81=7F  127\n",
       "kestrova-cli: warning: Alarm high limit: 300 was limited to the display range\n"},
      // A field's engineering value is a number next to its display text.
      {{"--link", "none", "--json", "write", "Alarm high limit=85.25"},
       0,
       "~\"control\":\"textbox\",\"raw\":1364,\"value\":85.25,\"display\":\"85.2500\",\"units\":"
       "\"\u00B0C\"}"},
      // Control characters of a definition's texts reach the terminal escaped;
      // what the checker finds is warned of.
      {{"--definition", evil, "--link", "none", "read"},
       0,
       "01    T\\x07      01=01  01h\n"
       "  01    R/W  L\\x1B]0;x\\x07                    0x01     0b00000001\n",
       "kestrova-cli: warning: evil:3: register attribute groupaddrmask \"\\x9B\" is not "
       "hexadecimal\n"},
      {{"--link", "none", "save", saved}, 0, "saved " + saved + "\n"},
      {{"--link", "none", "load", data},
       0,
       "~01    User1      81=2A  42\n",
       question + "No (not written; --write writes them)\n"},
      {{"--link", "none", "load", "--write", data},
       0,
       "~01    User1      81=2A  42\n",
       question + "Yes\n"},
      // On the board and the controller (the rows' texts are proved above).
      // SMBus byte transfers reach 8-bit registers only.
      {{"--emulated-board", "--link", "ich", "--address", "48", "--json", "read", "DevID"},
       0,
       "~\"inUse\":true,\"emulated\":true,\"driver\":\"dravik_i2c\"},\"busType\":3,\"address\":"
       "72,"},
      {{"--emulated-board", "--link", "usb", "raw", "read", "0F"}, 0, "48 0F = 4B\n"},
      {{"--emulated-board", "--link", "usb", "raw", "write", "81", "5A"}, 0, "48 81 <- 5A\n"},
      {{"--emulated-board", "--link", "usb", "raw", "read", "--bus", "50", "00"},
       1,
       "",
       "kestrova-cli: ReadDevice: Wrong number of bytes returned\n"},
      {{"--emulated-board", "--link", "usb", "raw", "read", "--16", "00"}, 0, "48 00 = 0C80\n"},
      // A board message alone hides the cause: the library's text follows on
      // a second line, and an adapter that cannot be used is named with the
      // system's reason.
      {{"--link", "ich", "--smbus", "99", "read"},
       1,
       "",
       noAdapter + "cannot open /dev/i2c-99: No such file or directory (no adapter i2c-99; "
                   "dravik-cli list shows the adapters, and sudo modprobe i2c-dev makes their "
                   "device nodes)\n"},
      {{"--link", "ich", "--smbus", "/dev/null", "read"},
       1,
       "",
       noAdapter + "/dev/null is not an I2C adapter (Inappropriate ioctl for device)\n"},
  };
  for (const CliCase& c : cases) {
    SCOPED_TRACE(c.arguments.back());
    ExpectRun(Cli(c.arguments, onBench), c);
  }
  EXPECT_EQ(ReadBytes(home / "dravik.def"), startup);
  // The adapter given is not remembered in the part's settings.
  EXPECT_EQ(ReadBytes(home / "demo/part.def").find("smbus"), std::string::npos);
  // The data file's bytes are proved where they are made.
  EXPECT_NE(ReadBytes(saved).find(" <reg addr=\"81\" value=\"0\"/>\r\n"), std::string::npos);
}

TEST_F(KestrovaCli, BadUsageExitsWithTwoAndPrintsNothing) {
  const std::string replaced = "\"Fine alarm=10\" would be overwritten: FineAl follows QuickAl";
  // Rows after the first four run on the demo part.
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"read"}, "no device chosen: give --device NAME or --definition FILE"},
      {{"--device", "nosuchpart", "read"},
       "unknown device nosuchpart: no definition " + home.path() +
           "/device/nosuchpart (kestrova-cli parts lists them)"},
      {{"--device", "demo", "--definition", "x", "read"},
       "give --device or --definition, not both"},
      {{"--link", "serial", "read"}, "--link takes usb, ich or none, not \"serial\""},
      {{"--smbus=", "read"}, "--smbus takes an adapter's number, path or driver name"},
      {{"read", "Nope"}, "unknown register \"Nope\""},
      {{"--address", "4G", "read"}, "--address takes a hexadecimal bus address (0 to 7FFF), not"},
      {{}, "no command given (parts, check, read, write, save, load, log or raw)"},
      {{"log", "-", "--follow"}, "log - writes the log itself to standard output; --follow and"},
      {{"log", "x", "--interval", "5"}, "--interval takes milliseconds from 10 to 86400000, not"},
      {{"raw", "read", "0x10000"}, "\"0x10000\" is not a register address (hexadecimal or none)"},
      {{"raw", "write", "05", "100"}, "\"100\" is not a 8-bit value in hexadecimal"},
      {{"raw"}, "raw takes read or write"},
      {{"save", ""}, "save takes one register data file"},
      {{"log", ""}, "log takes one log file"},
      // What the part cannot take refuses the whole write.
      {{"write", "Nope=1"}, "unknown bit field \"Nope\"\n"},
      {{"write", "0x81"}, "\"0x81\" is not FIELD=VALUE\n"},
      // An explicit value that a following register's update would replace.
      {{"write", "Fine alarm=10"}, replaced + "\n"},
      {{"write", "Quick alarm=60", "Fine alarm=10"}, replaced + " (\"Quick alarm=60\")\n"},
      // A value in display units that a later divisor change rescales.
      {{"write", "Update period=12.5", "Rate divider=2"},
       "\"Update period=12.5\" would become 6.25 through the assignments after it: give those "
       "first\n"},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& [arguments, message] = cases[i];
    ExpectRun(i < 4 ? Cli(arguments) : Demo(arguments), {{}, 2, "", "~kestrova-cli: " + message});
  }
}

// The log's bytes are proved where they are made (continuous reading), a
// second run appending to a log in tests/kill: here the options, the count
// and the stops (Ctrl-C with every row whole; a full disk with the failure
// reported once and exit status 1, as nobody is there to press Stop), the
// rows followed as text or documents, and the log on standard output.
TEST_F(KestrovaCli, LogRunsToItsCountOrUntilStoppedFollowedOrOnStandardOutput) {
  const std::string file = work / "run.txt";
  const std::string row = "TIME\t25.0000 \t80h     \t0       \t\r\n";
  CliOptions stop;
  stop.interruptWhenFileHas = file;
  stop.interruptAfterBytes = 600;  // the header, the titles and a few rows
  CliRun run = Demo({"log", file, "--count", "none", "--follow", "--interval", "10"}, stop);
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string text = WithoutTimes(ReadBytes(file));
  const std::string titles = "Log Registers\r\nTIME\tTemp    \tStatus  \tCount   \t\r\n";
  // Whole rows only, ended by Ctrl-C.
  const std::size_t body = text.find(titles) + titles.size();
  const std::size_t rows = (text.size() - body) / row.size();
  EXPECT_EQ(text.substr(text.size() - row.size()), row);
  EXPECT_EQ(text.size() - body, rows * row.size());
  // The file's lines as they are taken, with the terminal's line ends.
  std::string lines = text;
  std::erase(lines, '\r');
  EXPECT_EQ(WithoutTimes(run.out),
            lines + "logged " + std::to_string(rows) + " rows to " + file + " (interrupted)\n");

  run = Demo({"log", "-", "--count", "2", "--interval", "10"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "logged 2 rows to /dev/stdout (limit)\n");
  const std::string shown = WithoutTimes(run.out);
  EXPECT_EQ(shown.rfind("\r\nLogFile = /dev/stdout\r\n", 0), 0u) << run.out;
  EXPECT_EQ(shown.substr(shown.size() - titles.size() - 2 * row.size()), titles + row + row);

  // A document per row, the time with milliseconds, then the command's.
  run = Demo({"log", file, "--count", "2", "--follow", "--json", "--interval", "10"});
  const std::string taken = std::regex_replace(
      run.out, std::regex("\"time\":\"[0-9-]{10} [0-9:]{8}\\.[0-9]{3}\",\"epochMs\":[0-9]+,"), "");
  const std::string document =
      "{\"registers\":[{\"title\":\"Temp\",\"value\":25,\"display\":\"25.0000\",\"units\":"
      "\"\u00B0C\"},{\"title\":\"Status\",\"value\":128,\"display\":\"80h\",\"units\":\"\"},"
      "{\"title\":\"Count\",\"value\":0,\"display\":\"0\",\"units\":\"\"}]}\n";
  EXPECT_EQ(taken.substr(0, 2 * document.size()), document + document);
  EXPECT_NE(taken.find("\"rows\":2,\"stopped\":\"limit\",\"ok\":true"), std::string::npos) << taken;

  std::filesystem::remove(file);
  CliOptions full;
  full.fileSizeLimit = 1500;
  run = Demo({"log", file, "--count", "none", "--interval", "10"}, full);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "kestrova-cli: File read/write error for " + file + "\n");
  EXPECT_NE(run.out.find(" (error)\n"), std::string::npos) << run.out;
  const std::string cut = ReadBytes(file);
  EXPECT_LE(cut.size(), 1500u);
  EXPECT_EQ(cut.substr(cut.size() - 2), "\r\n");
}

}  // namespace
}  // namespace kestrova::cli::testing
