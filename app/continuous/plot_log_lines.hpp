#pragma once
// The registers a plot may draw: those of the engine's "log" read list.

#include <cstdint>
#include <vector>

namespace kestrova::engine {
class Session;
}

namespace kestrova::continuous {

// The lines of the registers in the "log" read list (BuildTransferList, read
// direction, scope "log"), each once, in list order: what
// PlotSelection::SetPart takes when a part is opened. Empty when the
// definition breaks the engine's limits (the engine has said why).
std::vector<std::int16_t> PlotLogLines(engine::Session& session);

}  // namespace kestrova::continuous
