// The built dravik-cli program against the emulated board: exit status and
// output of real runs through the shared library.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>

namespace {

struct CliRun {
  int status;
  std::string output;
};

// `environment`: "NAME=value " words before the program; by default the
// emulated board starts bare in every run.
CliRun RunCli(const std::string& arguments,
              const std::string& environment = "DRAVIK_EMULATOR_STATE= ") {
  const std::string command = "DRAVIK_EMULATOR=1 " + environment + std::string(KESTROVA_BIN_DIR) +
                              "/dravik-cli " + arguments + " 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  CliRun run{-1, ""};
  if (!pipe) {
    return run;
  }
  std::array<char, 256> buffer{};
  std::size_t read = 0;
  while ((read = fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0) {
    run.output.append(buffer.data(), read);
  }
  const int status = pclose(pipe.release());
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

const std::string kFirmware = std::string("--firmware ") + KESTROVA_DATA_DIR + "/bix/dravik.bix";

TEST(DravikCliProgram, OpensTheEmulatedBoardAndReadsBoardRegisters) {
  CliRun run = RunCli(kFirmware + " open");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output.rfind("USB board VID=0x", 0), 0u) << run.output;
  run = RunCli(kFirmware + " --json read board 0 400");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output.rfind("{\"tool\":\"dravik-cli\",\"command\":\"read\",\"hardware\":{\"link\":"
                             "\"usb\",\"inUse\":true,\"emulated\":true,",
                             0),
            0u)
      << run.output;
}

TEST(DravikCliProgram, BadUsageExitsTwoAndFailuresOne) {
  CliRun run = RunCli("read i2c 48 0x");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.output,
            "dravik-cli: bad register '0x': not a hexadecimal number\nTry 'dravik-cli --help'.\n");
  // Without a firmware image the blank emulated board cannot be used.
  run = RunCli("open");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output, "dravik-cli: Error, CodeFileName is NULL\n");
}

// A real board keeps its firmware while powered: the emulated one keeps it
// between runs in its state file, so only the first run downloads it;
// --bare-board starts it bare again.
TEST(DravikCliProgram, TheEmulatedBoardKeepsItsFirmwareBetweenRuns) {
  char folder[] = "/tmp/dravik-cli-state-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string state = "DRAVIK_EMULATOR_STATE=" + std::string(folder) + "/board ";
  const struct {
    std::string arguments;
    std::string board;  // the emulated board's line of `list`
  } steps[] = {
      {"list --emulated", "Emulated board: 0400:1100, no firmware"},
      {kFirmware + " open", ""},
      {"list --emulated", "Emulated board: 0400:1100, firmware running"},
      {"open", ""},  // no image needed: the firmware runs
      {"list --emulated --bare-board", "Emulated board: 0400:1100, no firmware"},
  };
  for (const auto& step : steps) {
    const CliRun run = RunCli(step.arguments, state);
    EXPECT_EQ(run.status, 0) << step.arguments << "\n" << run.output;
    EXPECT_NE(run.output.find(step.board), std::string::npos) << run.output;
  }
  std::system(("rm -rf " + std::string(folder)).c_str());
}

}  // namespace
