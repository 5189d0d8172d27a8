// The programs killed: kestrova-cli with SIGKILL at random moments while it
// saves a register data file or appends to a log file (demo part on the
// emulated SMBus controller, whose temperatures move, so every save is a new
// version): afterwards the data file is the old version or a whole new one;
// the log lost at most the line in progress of each killed run; temporary
// files of killed saves go with the next save. The window ended by SIGTERM
// closes as its close button does, so the startup file names the device
// again; killed, it leaves "none". (The part settings and the window's other
// files are saved by the core functions kill_save_test kills.)
//
// KESTROVA_KILL_ROUNDS sets the number of kestrova-cli kills (default 60; a
// few hundred for a thorough run).

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>

#include "../tools/kestrova_cli/cli_fixture.hpp"
#include "definition/data_file.hpp"
#include "kill_support.hpp"
#include "markup/markup_store.hpp"
#include "support/message_box_recorder.hpp"

namespace kestrova::testing {
namespace {

using cli::testing::CliOptions;
using cli::testing::RunCli;

// A program folder of its own, with an SMBus controller lock of its own.
class KillProgramTest : public ::testing::Test {
 protected:
  // Runs kestrova-cli (or `options.program`) on the demo part and the
  // emulated SMBus controller; its exit status, -1 when a signal ended it.
  int Run(std::vector<std::string> command, CliOptions options = {}) {
    command.insert(command.begin(), {"--home", home_.path(), "--device", "demo", "--emulated-board",
                                     "--link", "ich"});
    options.environment.push_back("DRAVIK_SMBUS_LOCK=" + home_ / "smbus.lock");
    return RunCli(command, options).status;
  }

  TempFolder home_;
};

// The register addresses of a data file; empty when it does not read whole.
std::vector<std::int16_t> DataAddresses(const std::string& path) {
  markup::MarkupStore store;
  store.SetRetryWait([](std::chrono::milliseconds) {});
  std::vector<std::int16_t> addresses(definition::kMaxDataFileEntries);
  std::vector<std::uint8_t> values(definition::kMaxDataFileEntries);
  int count = 0;
  markup::MessageBoxRecorder messages;
  if (!definition::ReadDataFile(store, path, addresses, values, count, messages)) {
    return {};
  }
  addresses.resize(static_cast<std::size_t>(count));
  return addresses;
}

// A line of the log (the header of a run, its title row or a data row), and
// not one cut short: a data row is a time and Temp, Status and Count, each
// followed by a tab; a header line is a time stamp, a title or "Title=value".
bool WholeLogLine(const std::string& line) {
  if (std::count(line.begin(), line.end(), '\t') > 0) {
    return std::count(line.begin(), line.end(), '\t') == 4 && line.back() == '\t' &&
           line.size() > 9 && line[2] == ':' && line[5] == ':';
  }
  return line.empty() || line == "All Registers" || line == "Log Registers" ||
         line.find('=') != std::string::npos ||
         (line.size() == 19 && line[4] == '-' && line[13] == ':');
}

// Why the log is not whole: only the last line a run wrote may be cut short,
// so a cut line is followed by the next run's header or by nothing.
std::string LogProblem(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; at < text.size(); at = end + 2) {
    end = std::min(text.find("\r\n", at), text.size());
    lines.push_back(text.substr(at, end - at));
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const bool last = i + 1 == lines.size() || (lines[i + 1].empty() && i + 2 < lines.size() &&
                                                lines[i + 2].rfind("LogFile = ", 0) == 0);
    if (!WholeLogLine(lines[i]) && !last) {
      return "line " + std::to_string(i + 1) + " \"" + lines[i] + "\" is torn";
    }
  }
  return "";
}

TEST_F(KillProgramTest, FilesStayWholeWhenTheToolIsKilledAtAnyMoment) {
  const std::string data = home_ / "kill.dat";
  const std::string log = home_ / "kill.txt";
  const std::vector<std::string> save = {"save", data};
  const std::vector<std::string> logging = {"log", log, "--interval", "10", "--count", "none"};
  // A whole version to compare with: a complete save. Kill moments fall
  // within the time a whole run takes on this machine now.
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(Run(save), 0);
  const auto saveSpan = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - start);
  const std::vector<std::int16_t> addresses = DataAddresses(data);
  ASSERT_FALSE(addresses.empty());

  std::mt19937 random(0x6b696c6c);
  const int rounds = KillRounds(60);
  int killedRunning = 0;
  int killedLogs = 0;
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    // A data file being saved, or rows being logged.
    const bool logs = round % 2 != 0;
    const std::chrono::microseconds span = logs ? std::chrono::seconds(1) : saveSpan;
    CliOptions kill;
    kill.killAfter = std::chrono::microseconds(random() % (span.count() + 1));
    const bool killed = Run(logs ? logging : save, kill) == -1;
    killedRunning += killed ? 1 : 0;
    killedLogs += killed && logs ? 1 : 0;

    ASSERT_EQ(DataAddresses(data), addresses) << "torn data file:\n" << ReadBytes(data);
    ASSERT_EQ(LogProblem(ReadBytes(log)), "");
  }
  EXPECT_GT(killedRunning, rounds / 3) << "kills must hit a running tool";
  EXPECT_GT(killedLogs, 0) << "no kill hit a log being written";

  // The next complete runs clear what killed saves left behind.
  EXPECT_EQ(Run(save), 0);
  EXPECT_EQ(Temporaries(home_.path()), std::vector<std::string>{});
  EXPECT_EQ(Run({"log", log, "--interval", "10", "--count", "2"}), 0);
  EXPECT_EQ(LogProblem(ReadBytes(log)), "");
  std::printf("%d runs of kestrova-cli, %d killed while running (%d while logging)\n", rounds,
              killedRunning, killedLogs);
}

#ifdef KESTROVA_KILL_WINDOW
TEST_F(KillProgramTest, AnOrderlyWindowEndNamesTheDeviceAndAKillLeavesNone) {
  const std::string startup = home_ / "dravik.def";
  const std::string none = "<definition device=\"none\" test=\"0\">\r\n</definition>\r\n";
  const std::string demo = "<definition device=\"demo\" test=\"0\">\r\n</definition>\r\n";
  for (const int signal : {SIGTERM, SIGKILL}) {
    SCOPED_TRACE(signal);
    std::filesystem::remove(startup);
    // Signalled once loaded, when it has written "none" in the startup file.
    CliOptions window;
    window.program = "kestrova";
    window.interruptWhenFileHas = startup;
    window.interruptAfterBytes = none.size();
    window.interruptSignal = signal;
    EXPECT_EQ(Run({}, window), signal == SIGTERM ? 0 : -1);
    EXPECT_EQ(ReadBytes(startup), signal == SIGTERM ? demo : none);
  }
}
#endif

}  // namespace
}  // namespace kestrova::testing
