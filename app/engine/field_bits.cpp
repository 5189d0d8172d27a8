#include "engine/field_bits.hpp"

#include <cmath>

#include "engine/attribute_pair.hpp"

namespace kestrova::engine {

namespace {

// Bit numbers beyond a 32-bit register are not meaningful; keeping them in
// range keeps the shifts defined whatever a definition holds.
constexpr int kMaxBitNumber = 31;

int BitNumber(double value) {
  const long rounded = std::lround(value);
  if (rounded < 0) {
    return 0;
  }
  return rounded > kMaxBitNumber ? kMaxBitNumber : static_cast<int>(rounded);
}

}  // namespace

FieldBits ResolveFieldBits(std::string_view bitText, std::string_view regbitText, bool byteMode) {
  FieldBits bits;
  std::string_view source = bitText;
  if (!byteMode && !regbitText.empty()) {
    if (regbitText == "none") {
      bits.none = true;
      return bits;
    }
    source = regbitText;
  }
  const NumberPair pair = SplitNumberPair(source);
  bits.hi = BitNumber(pair.first);
  bits.lo = BitNumber(pair.second);
  if (byteMode) {
    bits.hi %= 8;
    bits.lo %= 8;
  }
  return bits;
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
