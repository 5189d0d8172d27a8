#include "continuous/plot_log_lines.hpp"

#include <algorithm>
#include <memory>

#include "engine/session.hpp"
#include "engine/transfer_engine.hpp"

namespace kestrova::continuous {

std::vector<std::int16_t> PlotLogLines(engine::Session& session) {
  // The list is large (three tables of 2049 entries): kept off the stack.
  auto list = std::make_unique<engine::TransferList>();
  std::vector<std::int16_t> lines;
  if (!engine::BuildTransferList(session, engine::Direction::Read, engine::Scope::Log, *list)) {
    return lines;
  }
  for (int i = 0; i < list->count; ++i) {
    const std::int16_t line = list->line[static_cast<std::size_t>(i)];
    // A register of several bytes appears once per byte.
    if (std::find(lines.begin(), lines.end(), line) == lines.end()) {
      lines.push_back(line);
    }
  }
  return lines;
}

}  // namespace kestrova::continuous
