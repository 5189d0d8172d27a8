// The built dravik-cli program against the emulated board, through the
// shared library. A real board keeps its firmware while powered: the emulated
// one keeps it between runs in its state file, so only the first run
// downloads it; --bare-board starts it bare again.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

TEST(DravikCliProgram, TheEmulatedBoardKeepsItsFirmwareBetweenRuns) {
  char folder[] = "/tmp/dravik-cli-state-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string firmware = std::string("--firmware ") + KESTROVA_DATA_DIR + "/bix/dravik.bix";
  const struct {
    std::string arguments;
    int status;
    std::string output;  // the start of it
  } steps[] = {
      {"read i2c 48 0x", 2,
       "dravik-cli: bad register '0x': not a hexadecimal number\nTry 'dravik-cli --help'.\n"},
      {"list --emulated", 0, "Emulated board: 0400:1100, no firmware"},
      // Without a firmware image the blank emulated board cannot be used.
      {"open", 1, "dravik-cli: Error, CodeFileName is NULL\n"},
      {firmware + " open", 0, "USB board VID=0x0400 PID=0x1100 opened\n"},
      {"list --emulated", 0, "Emulated board: 0400:1100, firmware running"},
      {"--json read board 0 400", 0,  // no image needed: the firmware runs
       "{\"tool\":\"dravik-cli\",\"command\":\"read\",\"hardware\":{\"link\":\"usb\",\"inUse\":"
       "true,\"emulated\":true,"},
      {"list --emulated --bare-board", 0, "Emulated board: 0400:1100, no firmware"},
  };
  for (const auto& step : steps) {
    const std::string command = "DRAVIK_EMULATOR=1 DRAVIK_EMULATOR_STATE=" + std::string(folder) +
                                "/board " KESTROVA_BIN_DIR "/dravik-cli " + step.arguments +
                                " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[256];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
      output.append(buffer, n);
    }
    const int status = pclose(pipe);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, step.status) << step.arguments;
    EXPECT_NE(output.find(step.output), std::string::npos) << step.arguments << "\n" << output;
  }
  std::system(("rm -rf " + std::string(folder)).c_str());
}

}  // namespace
