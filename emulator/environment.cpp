#include "emulator/environment.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "definition/program_folder.hpp"
#include "emulator/data_folders.hpp"
#include "emulator/scenario.hpp"

namespace kestrova::emulator {

namespace {

std::vector<uint8_t> ReadKeptImage(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Whole or not at all: another process may read the file at any moment.
void KeepImage(const std::string& path, const std::vector<uint8_t>& image) {
  if (image.empty()) {
    std::remove(path.c_str());
    return;
  }
  const std::string temporary = path + "." + std::to_string(::getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
    if (!out.flush()) {
      std::remove(temporary.c_str());
      return;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
  }
}

// A real board keeps its firmware while it is powered; the emulated one
// keeps the first board's running image in the file DRAVIK_EMULATOR_STATE
// names, so only the first process pays for the download.
// DRAVIK_EMULATOR_BARE=1 starts the board bare all the same.
void KeepFirmwareBetweenProcesses(const EnvironmentLookup& environment, Emulator& emulator) {
  const std::optional<std::string> path = environment("DRAVIK_EMULATOR_STATE");
  if (!path || path->empty() || emulator.BoardCount() == 0) {
    return;
  }
  Board& board = emulator.BoardAt(0);
  const std::optional<std::string> bare = environment("DRAVIK_EMULATOR_BARE");
  if (!bare || *bare != "1") {
    board.BootFrom(ReadKeptImage(*path));  // a missing or bad file leaves it bare
  }
  board.SetFirmwareObserver(
      [file = *path](const std::vector<uint8_t>& image) { KeepImage(file, image); });
}

}  // namespace

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
  KeepFirmwareBetweenProcesses(environment, emulator);
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
