// How the shared library builds its bench from the environment:
//   DRAVIK_EMULATOR_SCENARIO  scenario file; unset: scenario/default.scn of the
//                             data folders, else every shipped part at its
//                             default address
//   DRAVIK_EMULATOR_FAULTS    faults to arm, e.g. "timeout@3,short"
//   DRAVIK_EMULATOR_STATE     a file that keeps the first board's running
//                             firmware between processes (the board starts
//                             with it, and every boot or power loss updates it)
//   DRAVIK_EMULATOR_BARE      "1": the board starts bare despite that file
// Problems (a missing or bad file, a bad fault list) are reported on
// standard error and leave a working bench: a board without chips at worst.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "emulator/emulator.hpp"

namespace kestrova::emulator {

using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

struct BenchBuild {
  std::unique_ptr<Emulator> emulator;
  std::vector<std::string> problems;
  std::string scenario;  // the scenario file used; empty for the built-in bench
};

BenchBuild BuildBench(const EnvironmentLookup& environment,
                      const std::vector<std::string>& dataFolders);

// BuildBench from the process environment and the default data folders,
// with its problems written to standard error.
std::unique_ptr<Emulator> BuildEmulatorFromEnvironment();

}  // namespace kestrova::emulator
