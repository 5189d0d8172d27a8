#pragma once
// What the kill tests share: the number of kills to make and the temporary
// files that killed saves leave.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../app/markup/temp_folder.hpp"

namespace kestrova::testing {

// KESTROVA_KILL_ROUNDS, else `fallback`.
inline int KillRounds(int fallback) {
  const char* text = std::getenv("KESTROVA_KILL_ROUNDS");
  const int rounds = text != nullptr ? std::atoi(text) : 0;
  return rounds > 0 ? rounds : fallback;
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

}  // namespace kestrova::testing
