#include "engine/field_bits.hpp"

#include "markup/markup_store.hpp"

namespace kestrova::engine {

namespace {

// Bit numbers beyond a 32-bit register are not meaningful; keeping them in
// range keeps the shifts defined whatever a definition holds.
constexpr int kMaxBitNumber = 31;

int BitNumber(int value) {
  if (value < 0) {
    return 0;
  }
  return value > kMaxBitNumber ? kMaxBitNumber : value;
}

}  // namespace

FieldBits ResolveFieldBits(const definition::BitRange& bit, const definition::RegBit& regBit,
                           bool byteMode) {
  using Kind = definition::RegBit::Kind;
  FieldBits bits;
  definition::BitRange range = bit;
  if (!byteMode && regBit.kind != Kind::kAbsent) {
    if (regBit.kind == Kind::kNone) {
      bits.none = true;
      return bits;
    }
    range = regBit.range;
  }
  bits.hi = BitNumber(range.high);
  bits.lo = BitNumber(range.low);
  if (byteMode) {
    bits.hi %= 8;
    bits.lo %= 8;
  }
  return bits;
}

FieldBits FieldBitsAt(const markup::MarkupStore& store, bool byteMode) {
  return ResolveFieldBits(definition::ReadBitRange(store, "bit"),
                          byteMode ? definition::RegBit{} : definition::ReadRegBit(store),
                          byteMode);
}

std::int64_t PlaceField(std::int64_t value, const FieldBits& bits) {
  if (bits.none) {
    return 0;
  }
  return value * (std::int64_t{1} << bits.lo);
}

std::int64_t ExtractField(std::int64_t raw, const FieldBits& bits) {
  if (bits.none) {
    return 0;
  }
  if (bits.hi > 15) {
    // Wider than the 16-bit register arithmetic: take the bits directly.
    const int width = bits.hi - bits.lo + 1;
    if (width <= 0) {
      return 0;
    }
    return (raw >> bits.lo) & ((std::int64_t{1} << width) - 1);
  }
  // ((raw * 2^(15 - hi)) mod 65536) \ 2^(15 - hi + lo)
  const std::int64_t shifted = (raw * (std::int64_t{1} << (15 - bits.hi))) % 65536;
  return shifted / (std::int64_t{1} << (15 - bits.hi + bits.lo));
}

std::int64_t FieldMask(const FieldBits& bits) {
  if (bits.none || bits.hi < bits.lo) {
    return 0;
  }
  return ((std::int64_t{1} << (bits.hi - bits.lo + 1)) - 1) << bits.lo;
}

}  // namespace kestrova::engine
