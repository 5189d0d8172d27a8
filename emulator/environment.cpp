#include "emulator/environment.hpp"

#include <cstdio>
#include <cstdlib>

#include "definition/program_folder.hpp"
#include "emulator/data_folders.hpp"
#include "emulator/scenario.hpp"

namespace kestrova::emulator {

BenchBuild BuildBench(const EnvironmentLookup& environment,
                      const std::vector<std::string>& dataFolders) {
  BenchBuild build;
  build.emulator = std::make_unique<Emulator>();
  Emulator& emulator = *build.emulator;
  const std::optional<std::string> named = environment("DRAVIK_EMULATOR_SCENARIO");
  if (named && !named->empty()) {
    build.scenario = *named;
    LoadScenario(*named, dataFolders, emulator, build.problems);
  } else if (const auto shipped = definition::FindDataFile(dataFolders, "scenario/default.scn")) {
    build.scenario = *shipped;
    LoadScenario(*shipped, dataFolders, emulator, build.problems);
  } else {
    BuildDefaultBench(dataFolders, emulator, build.problems);
  }
  if (emulator.BoardCount() == 0) {
    emulator.AddBoard(BoardClass::kHighSpeed,
                      {kBootVendorId, TraitsOf(BoardClass::kHighSpeed).bootProductId});
  }
  if (const auto faults = environment("DRAVIK_EMULATOR_FAULTS"); faults && !faults->empty()) {
    std::string error;
    if (!emulator.ArmFaults(*faults, &error)) {
      build.problems.push_back("DRAVIK_EMULATOR_FAULTS: " + error);
    }
  }
  return build;
}

std::unique_ptr<Emulator> BuildEmulatorFromEnvironment() {
  BenchBuild build = BuildBench(
      [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
      },
      DefaultDataFolders());
  for (const std::string& problem : build.problems) {
    std::fprintf(stderr, "dravik-emulator: %s\n", problem.c_str());
  }
  return std::move(build.emulator);
}

}  // namespace kestrova::emulator
