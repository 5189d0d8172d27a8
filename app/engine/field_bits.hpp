#pragma once
// Where a bit field sits: bit numbers hi..lo inside the byte at its address
// (byte mode) or inside the whole register value (register mode, `regbit`).

#include <cstdint>
#include "definition/schema.hpp"

namespace kestrova::markup {
class MarkupStore;
}

namespace kestrova::engine {

struct FieldBits {
  int hi = 0;
  int lo = 0;
  // `regbit` "none" in register mode: the field takes no part in the register.
  bool none = false;
};

// The bits of a field from its `bit` range and `regbit`. In byte mode
// `regbit` is ignored and hi and lo are taken modulo 8.
FieldBits ResolveFieldBits(const definition::BitRange& bit, const definition::RegBit& regBit,
                           bool byteMode);

// The bits of the element at the markup cursor.
FieldBits FieldBitsAt(const markup::MarkupStore& store, bool byteMode);

// The field value placed at its bit position: value * 2^lo.
std::int64_t PlaceField(std::int64_t value, const FieldBits& bits);

// Bits hi..lo of raw (a raw value of 0 or more), shifted down to bit 0.
std::int64_t ExtractField(std::int64_t raw, const FieldBits& bits);

// The bits the field occupies, placed (all ones from lo to hi).
std::int64_t FieldMask(const FieldBits& bits);

}  // namespace kestrova::engine
