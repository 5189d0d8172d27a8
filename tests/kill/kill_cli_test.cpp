// kestrova-cli killed with SIGKILL at random moments while it saves a
// register data file, creates the part settings file and appends to a log
// file (demo part on the emulated SMBus controller, whose temperatures move,
// so every save is a new version): afterwards every file is absent, the old
// version or a whole new one; the log lost at most the line in progress of
// each killed run; temporary files of killed saves go with the next save.
//
// KESTROVA_KILL_ROUNDS sets the number of kills (default 60; a few hundred
// for a thorough run).

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "../app/markup/temp_folder.hpp"
#include "kill_support.hpp"
#include "markup/markup_store.hpp"

namespace kestrova {
namespace {

using testing::ReadBytes;

constexpr int kDefaultRounds = 60;

class KillCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("DRAVIK_SMBUS_LOCK", (home_ / "smbus.lock").c_str(), 1);
    store_.SetRetryWait([](std::chrono::milliseconds) {});
  }
  void TearDown() override { ::unsetenv("DRAVIK_SMBUS_LOCK"); }

  // Starts kestrova-cli on the demo part and the emulated SMBus controller.
  pid_t Start(const std::vector<std::string>& command) {
    std::vector<std::string> args = {KESTROVA_BIN_DIR "/kestrova-cli",
                                     "--home",
                                     home_.path(),
                                     "--device",
                                     "demo",
                                     "--emulated-board",
                                     "--link",
                                     "ich"};
    args.insert(args.end(), command.begin(), command.end());
    const pid_t pid = testing::Spawn(args);
    EXPECT_NE(pid, -1) << args[0];
    return pid;
  }

  // Runs a command to its end; its exit status.
  int Run(const std::vector<std::string>& command) {
    const pid_t pid = Start(command);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // Runs a command to its end; how long it took.
  std::chrono::microseconds TimedRun(const std::vector<std::string>& command) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(command), 0);
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 start);
  }

  // Kills the command after `delay`; true when it was still running.
  bool RunAndKill(const std::vector<std::string>& command, std::chrono::microseconds delay) {
    const pid_t pid = Start(command);
    std::this_thread::sleep_for(delay);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status);
  }

  std::vector<std::int16_t> DataAddresses(const std::string& path) {
    return testing::DataAddresses(store_, path);
  }

  std::vector<std::string> Temporaries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home_.path())) {
      const std::string name = entry.path().filename().string();
      if (name.find(".tmp") != std::string::npos) {
        names.push_back(entry.path().string());
      }
    }
    return names;
  }

  testing::TempFolder home_;
  markup::MarkupStore store_;
};

// A log line as the log command writes it, or the start of a run's header.
bool WellFormedLogLine(const std::string& line) {
  if (line.empty() || line == "All Registers" || line == "Log Registers" ||
      line.rfind("LogFile = ", 0) == 0) {
    return true;
  }
  // Date and time of the header: "2024-05-03 14:02:11".
  if (line.size() == 19 && line[4] == '-' && line[10] == ' ' && line[13] == ':') {
    return true;
  }
  // "Title=value" of the header.
  if (line.find('=') != std::string::npos && line.find('\t') == std::string::npos) {
    return true;
  }
  // The title row and the data rows: a time, then Temp, Status and Count,
  // each followed by a tab.
  const auto tabs = std::count(line.begin(), line.end(), '\t');
  return tabs == 4 && line.back() == '\t' && line.size() > 9 && line[2] == ':' && line[5] == ':';
}

struct LogCheck {
  int torn = 0;
  int runs = 0;
  std::string problem;
};

LogCheck CheckLog(const std::string& text) {
  LogCheck check;
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) {
      lines.push_back(text.substr(at));  // the line in progress of the last run
      break;
    }
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    check.runs += lines[i].rfind("LogFile = ", 0) == 0 ? 1 : 0;
    if (WellFormedLogLine(lines[i])) {
      continue;
    }
    // A torn line can only be the last one a run wrote: the next line is the
    // empty line that starts the next run's header, or there is none.
    const bool last = i + 1 == lines.size() || (lines[i + 1].empty() && i + 2 < lines.size() &&
                                                lines[i + 2].rfind("LogFile = ", 0) == 0);
    if (!last) {
      check.problem = "line " + std::to_string(i + 1) + " \"" + lines[i] + "\" is torn";
      return check;
    }
    ++check.torn;
  }
  return check;
}

TEST_F(KillCliTest, FilesStayWholeWhenTheToolIsKilledAtAnyMoment) {
  const std::string data = home_ / "kill.dat";
  const std::string log = home_ / "kill.txt";
  const std::string partDef = home_ / "demo/part.def";
  // Whole versions to compare with: a complete save and part.def as created.
  ASSERT_EQ(Run({"save", data}), 0);
  const std::vector<std::int16_t> addresses = DataAddresses(data);
  ASSERT_FALSE(addresses.empty());
  const std::string partDefBytes = ReadBytes(partDef);
  ASSERT_FALSE(partDefBytes.empty());

  // Kill moments fall within the time a whole run takes on this machine now,
  // so that kills land inside the runs however loaded the machine is; a run
  // that ends before its kill shortens the span for the next ones.
  std::chrono::microseconds saveSpan = TimedRun({"save", data});
  std::filesystem::remove(partDef);
  std::chrono::microseconds readSpan = TimedRun({"read"});
  ASSERT_EQ(ReadBytes(partDef), partDefBytes);
  const auto killMoment = [](std::mt19937& random, std::chrono::microseconds span) {
    return std::chrono::microseconds(random() % std::max<std::int64_t>(span.count(), 1));
  };
  const auto shorten = [](std::chrono::microseconds& span, bool killed) {
    if (!killed) {
      span = span * 3 / 4;
    }
  };

  std::mt19937 random(0x6b696c6c);
  const int rounds = testing::KillRounds(kDefaultRounds);
  int killedRunning = 0;
  int killedLogs = 0;
  int killedInSave = 0;
  std::size_t temporariesBefore = 0;
  std::string previousData = ReadBytes(data);
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    bool killed = false;
    switch (round % 3) {
      case 0:  // a register data file being saved
        killed = RunAndKill({"save", data}, killMoment(random, saveSpan));
        shorten(saveSpan, killed);
        break;
      case 1:  // part.def being created
        std::filesystem::remove(partDef);
        killed = RunAndKill({"read"}, killMoment(random, readSpan));
        shorten(readSpan, killed);
        break;
      default:  // rows being logged
        killed = RunAndKill({"log", log, "--interval", "10", "--count", "none"},
                            std::chrono::microseconds(random() % 1500000));
        killedLogs += killed ? 1 : 0;
        break;
    }
    killedRunning += killed ? 1 : 0;
    // A temporary file that was not there before: the kill caught a save
    // between writing its new version and renaming it into place.
    const auto temporaries = Temporaries();
    killedInSave += temporaries.size() > temporariesBefore ? 1 : 0;
    temporariesBefore = temporaries.size();

    const std::string now = ReadBytes(data);
    if (now != previousData) {
      // A new version: whole, with every register byte of the part.
      ASSERT_EQ(DataAddresses(data), addresses) << "torn data file:\n" << now;
      ASSERT_TRUE(now.size() > 15 && now.compare(now.size() - 15, 15, "</definition>\r\n") == 0);
      previousData = now;
    }
    if (std::filesystem::exists(partDef)) {
      ASSERT_EQ(ReadBytes(partDef), partDefBytes) << "torn part.def";
    }
    const LogCheck check = CheckLog(ReadBytes(log));
    ASSERT_TRUE(check.problem.empty()) << check.problem;
    EXPECT_LE(check.torn, killedLogs);
  }
  EXPECT_GT(killedRunning, rounds / 3) << "kills must hit a running tool";
  EXPECT_GT(killedLogs, 0) << "no kill hit a log being written";

  // The next complete runs clear what killed saves left behind.
  ASSERT_EQ(Run({"save", data}), 0);
  std::filesystem::remove(partDef);
  ASSERT_EQ(Run({"read"}), 0);
  EXPECT_EQ(ReadBytes(partDef), partDefBytes);
  EXPECT_EQ(Temporaries(), std::vector<std::string>{});
  ASSERT_EQ(Run({"log", log, "--interval", "10", "--count", "2"}), 0);
  const LogCheck check = CheckLog(ReadBytes(log));
  EXPECT_TRUE(check.problem.empty()) << check.problem;
  std::printf(
      "%d runs of kestrova-cli, %d killed while running (%d inside a save, %d while logging; %d "
      "runs in the log)\n",
      rounds, killedRunning, killedInSave, killedLogs, check.runs);
}

}  // namespace
}  // namespace kestrova
