#pragma once
// What the kill tests share: starting a program with its output discarded,
// the number of kills to make, and the register addresses of a data file
// (empty when it does not read whole).

#include <fcntl.h>
#include <spawn.h>

#include <cstdlib>
#include <string>
#include <vector>

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

inline std::vector<std::int16_t> DataAddresses(markup::MarkupStore& store,
                                               const std::string& path) {
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

}  // namespace kestrova::testing
