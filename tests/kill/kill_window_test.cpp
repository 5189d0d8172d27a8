// The window and its files: SIGTERM closes it as its close button does, so
// the startup file names the device again; SIGKILL leaves "none". And a
// window killed at random moments while it saves a register data file,
// part.def and the startup file leaves each of them the old version or a
// whole new one.
//
// KESTROVA_KILL_ROUNDS sets the number of kills (default 30).

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "../app/markup/temp_folder.hpp"
#include "kill_support.hpp"

namespace kestrova {
namespace {

using testing::ReadBytes;

constexpr int kDefaultRounds = 30;
constexpr auto kPoll = std::chrono::milliseconds(20);
constexpr int kMaxPolls = 1500;  // 30 s for a loaded machine
const std::string kNoneStartup = "<definition device=\"none\" test=\"0\">\r\n</definition>\r\n";
const std::string kDemoStartup = "<definition device=\"demo\" test=\"0\">\r\n</definition>\r\n";

class KillWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("DRAVIK_SMBUS_LOCK", (home_ / "smbus.lock").c_str(), 1);
    store_.SetRetryWait([](std::chrono::milliseconds) {});
  }
  void TearDown() override { ::unsetenv("DRAVIK_SMBUS_LOCK"); }

  // Waits until `path` exists and, with `bytes` given, holds them.
  bool WaitFor(const std::string& path, const std::string& bytes = {}) {
    for (int i = 0; i < kMaxPolls; ++i) {
      if (std::filesystem::exists(path) && (bytes.empty() || ReadBytes(path) == bytes)) {
        return true;
      }
      std::this_thread::sleep_for(kPoll);
    }
    return false;
  }
  static int End(pid_t pid, int signal) {
    ::kill(pid, signal);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
  }

  testing::TempFolder home_;
  markup::MarkupStore store_;
};

TEST_F(KillWindowTest, AnOrderlyEndNamesTheDeviceAndAKillLeavesNone) {
  const std::string startup = home_ / "dravik.def";
  for (const int signal : {SIGTERM, SIGKILL}) {
    SCOPED_TRACE(signal);
    std::filesystem::remove(startup);
    const pid_t pid = testing::Spawn({KESTROVA_BIN_DIR "/kestrova", "--home", home_.path(),
                                      "--device", "demo", "--emulated-board", "--link", "ich"});
    ASSERT_NE(pid, -1);
    ASSERT_TRUE(WaitFor(startup, kNoneStartup));  // loaded: "none" while it runs
    const int status = End(pid, signal);
    EXPECT_EQ(WIFEXITED(status) && WEXITSTATUS(status) == 0, signal == SIGTERM);
    EXPECT_EQ(ReadBytes(startup), signal == SIGTERM ? kDemoStartup : kNoneStartup);
  }
}

TEST_F(KillWindowTest, FilesStayWholeWhenTheWindowIsKilledWhileSaving) {
  const std::string data = home_ / "window.dat";
  const std::string partDef = home_ / "demo/part.def";
  const std::string startup = home_ / "dravik.def";
  const auto start = [&] {
    return testing::Spawn({KESTROVA_BIN_DIR "/window_saver", home_.path(), data});
  };
  // A first run until part.def names the data file: the versions to
  // compare with, and how long a start takes to its first save.
  pid_t pid = start();
  ASSERT_TRUE(WaitFor(startup));
  const auto loaded = std::chrono::steady_clock::now();
  ASSERT_TRUE(WaitFor(data));
  const auto toFirstSave = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - loaded);
  for (int i = 0; i < kMaxPolls && ReadBytes(partDef).find("window.dat") == std::string::npos;
       ++i) {
    std::this_thread::sleep_for(kPoll);
  }
  End(pid, SIGKILL);
  const std::vector<std::int16_t> addresses = testing::DataAddresses(store_, data);
  ASSERT_FALSE(addresses.empty());
  const std::string partDefBytes = ReadBytes(partDef);
  ASSERT_NE(partDefBytes.find("window.dat"), std::string::npos);

  std::mt19937 random(0x77696e64);
  const int rounds = testing::KillRounds(kDefaultRounds);
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::filesystem::remove(startup);
    const auto before = std::filesystem::last_write_time(data);
    pid = start();
    ASSERT_TRUE(WaitFor(startup));  // loaded, saving from now on
    // Past this run's first save, into the saves that follow: waiting for
    // the save itself, not a measured time, keeps a loaded machine from
    // killing the window before it saves.
    int polls = 0;
    while (std::filesystem::last_write_time(data) == before && polls++ < kMaxPolls * 20) {
      std::this_thread::sleep_for(kPoll / 20);
    }
    ASSERT_NE(std::filesystem::last_write_time(data), before) << "the window never saved";
    std::this_thread::sleep_for(std::chrono::microseconds(random() % (toFirstSave.count() + 1)));
    End(pid, SIGKILL);
    ASSERT_EQ(testing::DataAddresses(store_, data), addresses) << "torn data file";
    ASSERT_EQ(ReadBytes(partDef), partDefBytes) << "torn part.def";
    const std::string startupNow = ReadBytes(startup);
    ASSERT_TRUE(startupNow == kNoneStartup || startupNow == kDemoStartup) << startupNow;
  }
}

}  // namespace
}  // namespace kestrova
