// kestrova-cli against the emulated board and SMBus controller: the demo part
// on a bench whose chip holds the definition's start-up values, faults
// injected into the board.
#include <filesystem>

#include "cli_fixture.hpp"

namespace kestrova::cli::testing {
namespace {

using kestrova::testing::WriteBytes;

const std::string kWrongCount = "ReadDevice: Wrong number of bytes returned";

class Board : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    std::filesystem::create_directories(home.path() + "/scenario");
    const std::string scenario = home.path() + "/scenario/bench.scn";
    WriteBytes(scenario,
               "<definition>\r\n"
               " <chip device=\"demo\" bus=\"i2c\" addr=\"48\" follow=\"false\"/>\r\n"
               " <board class=\"highspeed\" vid=\"0400\" pid=\"1100\"/>\r\n"
               "</definition>\r\n");
    extraEnvironment = {"DRAVIK_EMULATOR_SCENARIO=" + scenario};
  }

  CliRun OnBoard(const std::string& link, std::vector<std::string> arguments,
                 const std::string& faults = "") {
    arguments.insert(arguments.begin(), {"--device", "demo", "--emulated-board", "--link", link});
    CliOptions options;
    options.environment = {"DRAVIK_EMULATOR_FAULTS=" + faults};
    return Cli(arguments, options);
  }
};

// The chip's bytes as the panel shows them (the rows' texts are proved
// offline): the texts each run prints (empty: nothing), on the link that
// starts its arguments. SMBus byte transfers reach 8-bit registers only.
TEST_F(Board, CommandsReachTheChipThroughTheBoardAndTheController) {
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string out;
    std::string err;
  };
  const Case cases[] = {
      {{"usb", "read", "Temp"},
       0,
       "00    Temp       00=0C 100=80  25.0000 \xC2\xB0"
       "C\n",
       ""},
      {{"ich", "--json", "read", "DevID"},
       0,
       "\"inUse\":true,\"emulated\":true,\"driver\":\"dravik_i2c\"},\"busType\":3,\"address\":72,",
       ""},
      // The device ID is read-only in the chip: the read-back shows it unchanged.
      {{"usb", "write", "--read-after-write", "User byte 1=200", "0x0F=00"},
       0,
       "0F    DevID      0F=4B  4Bh\n  0F    R    Device ID                        0x4B     "
       "0b01001011\n01    User1      81=C8  200\n",
       ""},
      {{"ich", "--address", "50", "read"},
       1,
       "",
       "kestrova-cli: Check SMB address or select another Device\n  ReadDevice: Dravik driver "
       "read failed\n"},
      {{"usb", "raw", "read", "0F"}, 0, "48 0F = 4B\n", ""},
      {{"usb", "raw", "write", "81", "5A"}, 0, "48 81 <- 5A\n", ""},
      {{"usb", "raw", "read", "--bus", "50", "00"}, 1, "", "kestrova-cli: " + kWrongCount + "\n"},
      {{"usb", "raw", "read", "--16", "00"}, 0, "48 00 = 0C80\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments[1] + " " + c.arguments.back());
    const CliRun run = OnBoard(c.arguments.front(), {c.arguments.begin() + 1, c.arguments.end()});
    EXPECT_EQ(run.status, c.status);
    EXPECT_TRUE(c.out.empty() ? run.out.empty() : run.out.find(c.out) != std::string::npos)
        << run.out;
    EXPECT_EQ(run.err, c.err);
  }
  // The board's message alone hides the cause: the library's text follows
  // on a second line.
  const CliRun run = OnBoard("usb", {"read"}, "timeout");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err,
            "kestrova-cli: Check USB connection and select Device again\n  " + kWrongCount + "\n");
}

}  // namespace
}  // namespace kestrova::cli::testing
