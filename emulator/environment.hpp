// How the shared library builds its bench from the environment:
//   DRAVIK_EMULATOR_SCENARIO  scenario file (default: the shipped default scenario)
//   DRAVIK_EMULATOR_FAULTS    faults to arm, e.g. "timeout@3,short"
// Problems (a missing or bad file, a bad fault list) are reported on
// standard error and leave a working bench: a board without chips at worst.
#pragma once

#include <memory>

#include "emulator/emulator.hpp"

namespace kestrova::emulator {

std::unique_ptr<Emulator> BuildEmulatorFromEnvironment();

}  // namespace kestrova::emulator
