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

CliRun RunCli(const std::string& arguments) {
  const std::string command =
      "DRAVIK_EMULATOR=1 " + std::string(KESTROVA_BIN_DIR) + "/dravik-cli " + arguments + " 2>&1";
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

}  // namespace
