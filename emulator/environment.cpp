#include "emulator/environment.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace kestrova::emulator {

std::unique_ptr<Emulator> BuildEmulatorFromEnvironment() {
  auto emulator = std::make_unique<Emulator>();
  emulator->AddBoard(BoardClass::kHighSpeed,
                     {kBootVendorId, TraitsOf(BoardClass::kHighSpeed).bootProductId});
  if (const char* faults = std::getenv("DRAVIK_EMULATOR_FAULTS")) {
    std::string error;
    if (!emulator->ArmFaults(faults, &error)) {
      std::fprintf(stderr, "dravik-emulator: DRAVIK_EMULATOR_FAULTS: %s\n", error.c_str());
    }
  }
  return emulator;
}

}  // namespace kestrova::emulator
