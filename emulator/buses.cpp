#include "emulator/buses.hpp"

namespace kestrova::emulator {

Buses::Buses()
    : registers_(std::make_unique<BoardRegisters>()), clock_(std::make_shared<SimClock>()) {}

}  // namespace kestrova::emulator
