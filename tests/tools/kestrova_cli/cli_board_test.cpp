// kestrova-cli against the emulated board and SMBus controller: the demo part
// on a bench whose chip holds the definition's start-up values, faults
// injected into the board.
#include <filesystem>

#include "cli_fixture.hpp"

namespace kestrova::cli::testing {
namespace {

using kestrova::testing::ReadBytes;

class Board : public CliTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(Cli({"parts"}).status, 0);  // seeds the program folder
    std::filesystem::create_directories(home.path() + "/scenario");
    const std::string scenario = home.path() + "/scenario/bench.scn";
    WriteFile(scenario,
              "<definition>\r\n"
              " <chip device=\"demo\" bus=\"i2c\" addr=\"48\" follow=\"false\"/>\r\n"
              " <board class=\"highspeed\" vid=\"0400\" pid=\"1100\"/>\r\n"
              "</definition>\r\n");
    extraEnvironment = {"DRAVIK_EMULATOR_SCENARIO=" + scenario};
  }

  CliRun OnBoard(const std::string& link, std::vector<std::string> arguments,
                 CliOptions options = {}) {
    arguments.insert(arguments.begin(), {"--device", "demo", "--emulated-board", "--link", link});
    return Cli(arguments, options);
  }

  void SetTestFlags(const std::string& hex) {
    WriteFile(home.path() + "/dravik.def",
              "<definition device=\"none\" test=\"" + hex + "\">\r\n</definition>\r\n");
  }
};

// The chip's bytes as the panel shows them (the rows' texts are proved offline).
TEST_F(Board, ReadsThePartThroughTheUsbBoard) {
  const CliRun run = OnBoard("usb", {"read", "Temp", "DevID"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out.rfind("00    Temp       00=0C 100=80  25.0000 \xC2\xB0"
                          "C\n",
                          0),
            0u);
  EXPECT_NE(run.out.find("\n0F    DevID      0F=4B  4Bh\n"), std::string::npos) << run.out;
}

TEST_F(Board, ReadsThePartThroughTheSmbusController) {
  // SMBus byte transfers reach 8-bit registers only.
  const CliRun run = OnBoard("ich", {"read", "DevID", "Divider"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "0F    DevID      0F=4B  4Bh\n"
            "  0F    R    Device ID                        0x4B     0b01001011\n"
            "06/86 Divider    06=01  1\n"
            "  06/86 R/W  Rate divider                     0x01     1\n");

  const CliRun ok = OnBoard("ich", {"--json", "read", "DevID"});
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_EQ(ok.out.rfind("{\"tool\":\"kestrova-cli\",\"command\":\"read\",\"device\":\"demo\","
                         "\"part\":\"Kestrova demo temperature sensor\",\"hardware\":{\"link\":"
                         "\"ich\",\"inUse\":true,\"emulated\":true,\"driver\":\"dravik_i2c\"},"
                         "\"busType\":3,\"address\":72,",
                         0),
            0u)
      << ok.out;
}

TEST_F(Board, WritesAndReadsBackFromTheChip) {
  const CliRun run = OnBoard("usb", {"write", "--read-after-write", "User byte 1=200", "0x0F=00"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  // The device ID is read-only in the chip: the read-back shows it unchanged.
  EXPECT_EQ(run.out,
            "0F    DevID      0F=4B  4Bh\n"
            "  0F    R    Device ID                        0x4B     0b01001011\n"
            "01    User1      81=C8  200\n"
            "  01    R/W  User byte 1                      0xC8     200\n");
}

// The board's message alone hides the cause: the library's text follows
// on a second line whatever test bit 4 says.
TEST_F(Board, ATransferErrorSaysTheLibrarysReason) {
  CliOptions faults;
  faults.environment = {"DRAVIK_EMULATOR_FAULTS=timeout"};
  const std::string timeout =
      "Check USB connection and select Device again\n  ReadDevice: Wrong number of bytes returned";
  for (const char* flags : {"0", "4"}) {
    SetTestFlags(flags);
    CliRun run = OnBoard("usb", {"read"}, faults);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "kestrova-cli: " + timeout + "\n");
  }
  CliRun run = OnBoard("usb", {"--json", "read"}, faults);
  EXPECT_NE(run.out.find("\"ok\":false,\"errors\":[\"Check USB connection and select Device "
                         "again\\n  ReadDevice: Wrong number of bytes returned\"]"),
            std::string::npos)
      << run.out;
  run = OnBoard("ich", {"--address", "50", "read"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "kestrova-cli: Check SMB address or select another Device\n  ReadDevice: Dravik driver "
            "read failed\n");
}

TEST_F(Board, RawReadsAndWritesAnyBusAddress) {
  CliRun run = OnBoard("usb", {"raw", "read", "0F"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "48 0F = 4B\n");
  run = OnBoard("usb", {"raw", "read", "--16", "00"});
  EXPECT_EQ(run.out, "48 00 = 0C80\n");
  run = OnBoard("usb", {"raw", "write", "81", "5A"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "48 81 <- 5A\n");
  run = OnBoard("usb", {"raw", "read", "--bus", "50", "00"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "kestrova-cli: ReadDevice: Wrong number of bytes returned\n");
  run = OnBoard("usb", {"--json", "raw", "read", "--16", "00"});
  EXPECT_EQ(run.out,
            "{\"tool\":\"kestrova-cli\",\"command\":\"raw\",\"device\":\"demo\",\"part\":"
            "\"Kestrova demo temperature sensor\",\"hardware\":{\"link\":\"usb\",\"inUse\":true,"
            "\"emulated\":true,\"driver\":\"dravik\"},\"busType\":2,\"address\":72,\"operation\":"
            "\"read\",\"bus\":72,\"register\":0,\"bits\":16,\"value\":3200,\"ok\":true,"
            "\"errors\":[],\"warnings\":[]}\n");
}

TEST_F(Board, LogsFromTheBoard) {
  const std::string file = work / "board.txt";
  const CliRun run = OnBoard("usb", {"log", file, "--interval", "10", "--count", "3"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "logged 3 rows to " + file + " (limit)\n");
  const std::string text = WithoutTimes(ReadBytes(file));
  const std::string row = "TIME\t25.0000 \t80h     \t0       \t\r\n";
  EXPECT_EQ(text.substr(text.size() - 3 * row.size()), row + row + row) << text;
  // The board's own registers are read on the USB link.
  EXPECT_NE(text.find("\r\nSupply=01h\r\nClock=01h\r\nLED=00h\r\n"), std::string::npos) << text;
}

TEST_F(Board, ATimeOutWhileLoggingStopsWithTheFileWhole) {
  const std::string file = work / "board.txt";
  CliOptions faults;
  // Responses: the first step's re-read (twice: its bytes reveal AlarmLo),
  // the header's read, then the rows'.
  faults.environment = {"DRAVIK_EMULATOR_FAULTS=timeout@7"};
  const CliRun run = OnBoard("usb", {"log", file, "--interval", "10"}, faults);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "kestrova-cli: Check USB connection and select Device again\n  ReadDevice: Wrong "
            "number of bytes returned\n");
  EXPECT_NE(run.out.find(" (error)\n"), std::string::npos) << run.out;
  const std::string text = ReadBytes(file);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  EXPECT_EQ(text.find("Log Registers"), std::string::npos);  // the failed step wrote nothing
}

}  // namespace
}  // namespace kestrova::cli::testing
