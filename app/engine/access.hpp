#pragma once
// Whether a bit field can be read and written, and the access text its row
// shows ("R", "W", "R/W").

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/definition_layout.hpp"
#include "engine/register_images.hpp"

namespace kestrova::engine {

class Session;

struct Access {
  bool readable = true;
  bool writable = true;
  std::string text;
};

// The access of a field with the given `attr`, write address and conditional
// rules, on the given link.
Access EvaluateAccess(std::string_view attr, std::int32_t writeAddress,
                      const std::vector<AccessRule>& rules, const RegisterImages& images,
                      std::int16_t link);

// Only whether the field can be read and written (its conditions decide the
// text alone, so this needs no byte image).
Access EvaluateAccessFlags(std::string_view attr, std::int32_t writeAddress,
                           const std::vector<AccessRule>& rules, std::int16_t link);

// The access of the element at the markup cursor (cursor unchanged).
Access GetAccess(Session& session);

}  // namespace kestrova::engine
