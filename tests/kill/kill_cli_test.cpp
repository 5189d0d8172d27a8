// kestrova-cli killed with SIGKILL at random moments while it saves a
// register data file or appends to a log file (demo part on the emulated
// SMBus controller, whose temperatures move, so every save is a new
// version): afterwards the data file is the old version or a whole new one;
// the log lost at most the line in progress of each killed run; temporary
// files of killed saves go with the next save. (Its part settings file is
// saved by the core function kill_save_test kills.)
//
// KESTROVA_KILL_ROUNDS sets the number of kills (default 60; a few hundred
// for a thorough run).

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "kill_support.hpp"

namespace kestrova::testing {
namespace {

class KillCliTest : public ProgramKillTest {
 protected:
  // Runs a command to its end; how long it took.
  std::chrono::microseconds Run(const std::vector<std::string>& command) {
    const auto start = std::chrono::steady_clock::now();
    const int status = End(Start("kestrova-cli", command), 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command.front();
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 start);
  }
};

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

TEST_F(KillCliTest, FilesStayWholeWhenTheToolIsKilledAtAnyMoment) {
  const std::string data = home_ / "kill.dat";
  const std::string log = home_ / "kill.txt";
  const std::vector<std::string> save = {"save", data};
  const std::vector<std::string> logging = {"log", log, "--interval", "10", "--count", "none"};
  // A whole version to compare with: a complete save. Kill moments fall
  // within the time a whole run takes on this machine now.
  const std::chrono::microseconds saveSpan = Run(save);
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
    const pid_t pid = Start("kestrova-cli", logs ? logging : save);
    const std::chrono::microseconds span = logs ? std::chrono::seconds(1) : saveSpan;
    std::this_thread::sleep_for(std::chrono::microseconds(random() % (span.count() + 1)));
    const bool killed = WIFSIGNALED(End(pid, SIGKILL));
    killedRunning += killed ? 1 : 0;
    killedLogs += killed && logs ? 1 : 0;

    ASSERT_EQ(DataAddresses(data), addresses) << "torn data file:\n" << ReadBytes(data);
    ASSERT_EQ(LogProblem(ReadBytes(log)), "");
  }
  EXPECT_GT(killedRunning, rounds / 3) << "kills must hit a running tool";
  EXPECT_GT(killedLogs, 0) << "no kill hit a log being written";

  // The next complete runs clear what killed saves left behind.
  Run(save);
  EXPECT_EQ(Temporaries(home_.path()), std::vector<std::string>{});
  Run({"log", log, "--interval", "10", "--count", "2"});
  EXPECT_EQ(LogProblem(ReadBytes(log)), "");
  std::printf("%d runs of kestrova-cli, %d killed while running (%d while logging)\n", rounds,
              killedRunning, killedLogs);
}

}  // namespace
}  // namespace kestrova::testing
