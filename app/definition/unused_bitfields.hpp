#pragma once
// Generated bit fields for the bits of a register byte that no defined bit
// field covers: invisible, read-only and always 0, so that every bit of the
// register belongs to exactly one field when its value is assembled.

#include <cstdint>

#include "markup/markup_store.hpp"

namespace kestrova::definition {

// Inserts one empty `bitfield` at depth 3 (AddLine with `position`) for each
// run of clear bits in `coverage`, most significant bit first, with the
// attributes label "unused", addr "<read>:<write>" (low 8 bits of each, upper-case
// hex), bit "<high>:<low>", regbit "none", attr "R", value "0" and visible
// "false". Bits are numbered 7..0 when `byteNumbering` is set, else 15..8.
// Returns the number of fields inserted, or -1 when the store refused a line.
int InsertUnusedBitfields(markup::MarkupStore& store, std::uint8_t coverage,
                          std::int32_t readAddress, std::int32_t writeAddress, bool byteNumbering,
                          int position);

}  // namespace kestrova::definition
