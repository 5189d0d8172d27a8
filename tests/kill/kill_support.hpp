#pragma once
// What the kill tests share: the number of kills to make, programs started
// with their output discarded and ended by a signal, waiting for a file, the
// register addresses of a data file (empty when it does not read whole) and
// the temporary files that killed saves leave.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "../app/markup/temp_folder.hpp"
#include "definition/data_file.hpp"
#include "markup/markup_store.hpp"
#include "support/message_box_recorder.hpp"

extern char** environ;

namespace kestrova::testing {

// KESTROVA_KILL_ROUNDS, else `fallback`.
inline int KillRounds(int fallback) {
  const char* text = std::getenv("KESTROVA_KILL_ROUNDS");
  const int rounds = text != nullptr ? std::atoi(text) : 0;
  return rounds > 0 ? rounds : fallback;
}

// Starts args[0] with the rest as its arguments; -1 when it could not start.
inline pid_t Spawn(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? pid : -1;
}

// Sends `signal` (none: 0) and waits for the end; the wait status.
inline int End(pid_t pid, int signal) {
  if (signal != 0) {
    ::kill(pid, signal);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

// Waits up to 30 s (a loaded machine) until `path` exists and, with `bytes`
// given, holds them.
inline bool WaitFor(const std::string& path, const std::string& bytes = {}) {
  for (int i = 0; i < 1500; ++i) {
    if (std::filesystem::exists(path) && (bytes.empty() || ReadBytes(path) == bytes)) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

inline std::vector<std::int16_t> DataAddresses(const std::string& path) {
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

// The temporary files below `folder` (a save's new version before its rename).
inline std::vector<std::string> Temporaries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.path().filename().string().find(".tmp") != std::string::npos) {
      names.push_back(entry.path().string());
    }
  }
  return names;
}

// A program folder of its own, with an SMBus controller lock of its own.
class ProgramKillTest : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("DRAVIK_SMBUS_LOCK", (home_ / "smbus.lock").c_str(), 1); }
  void TearDown() override { ::unsetenv("DRAVIK_SMBUS_LOCK"); }

  // Starts `program` on the demo part and the emulated SMBus controller.
  pid_t Start(const std::string& program, const std::vector<std::string>& command = {}) {
    const std::string path = KESTROVA_BIN_DIR "/" + program;
    std::vector<std::string> args = {path,   "--home",           home_.path(), "--device",
                                     "demo", "--emulated-board", "--link",     "ich"};
    args.insert(args.end(), command.begin(), command.end());
    return Spawn(args);
  }

  TempFolder home_;
};

}  // namespace kestrova::testing
