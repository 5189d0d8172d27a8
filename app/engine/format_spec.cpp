#include "engine/format_spec.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <utility>

#include "definition/numbers.hpp"
#include "engine/number_pattern.hpp"

namespace kestrova::engine {

namespace {

constexpr double kRawFormatMax = 255;
// Rounding errors of the few operations of a conversion stay within a few
// units in the last place of the numbers involved.
constexpr double kNoiseUlps = 8;
// Whole numbers a double holds exactly.
constexpr double kExactMin = -9007199254740992.0;
constexpr double kExactMax = 9007199254740992.0;

double Limited(double v, double low, double high) {
  if (v < low) {
    return low;
  }
  if (v > high) {
    return high;
  }
  return v;
}

}  // namespace

bool IsRawFormat(std::string_view format) {
  return format == "hex" || format == "dec";
}

double EntryLow(const FormatSpec& spec) {
  return std::min(spec.dispMin, spec.dispMax);
}

FormatSpec RawFormatSpec(std::string_view format) {
  FormatSpec spec;
  spec.format = std::string(format);
  spec.inMin = 0;
  spec.inMax = kRawFormatMax;
  spec.dispMin = 0;
  spec.dispMax = kRawFormatMax;
  spec.limit = kRawFormatMax;
  spec.inverted = false;
  return spec;
}

void NormaliseRange(FormatSpec& spec) {
  spec.inverted = spec.inMin > spec.inMax;
  if (spec.inverted) {
    std::swap(spec.inMin, spec.inMax);
  }
}

double ClampRaw(const FormatSpec& spec, double raw) {
  const double span = spec.inMax - spec.inMin + 1;
  double r = raw - spec.inMin;
  // Only a signed range takes an unsigned reading one span back (200 is -56
  // for -128:127); above an unsigned range it is no value of the range.
  if (r >= span && spec.inMin < 0) {
    r -= span;
  }
  r += spec.inMin;
  return Limited(r, spec.inMin, spec.inMax);
}

double RawToDisplayValue(const FormatSpec& spec, double raw) {
  const double r = ClampRaw(spec, raw);
  if (!spec.inverted) {
    if (spec.inMax == spec.inMin) {
      return spec.dispMin;
    }
    // Not cut at the entry limit (displaymax): a chip may hold more than may
    // be entered, and shows what it holds.
    return (r - spec.inMin) * (spec.dispMax - spec.dispMin) / (spec.inMax - spec.inMin) +
           spec.dispMin;
  }
  if (r == spec.inMax) {
    return spec.dispMin;
  }
  // An inverted range needs inMin above 0; a raw 0 has no reciprocal.
  if (r == 0) {
    return spec.dispMax;
  }
  return spec.dispMax * spec.inMin / r;
}

std::string RawToDisplayText(const FormatSpec& spec, double raw) {
  const double v = RawToDisplayValue(spec, raw);
  if (spec.format == "hex") {
    return definition::Hex2(static_cast<std::uint32_t>(std::llround(v))) + "h";
  }
  if (spec.format == "dec") {
    return FormatNumber(v, "0");
  }
  return FormatNumber(v, spec.format);
}

std::int64_t DisplayTextToRaw(const FormatSpec& spec, std::string_view text) {
  return DisplayValueToRaw(spec, definition::LeadingNumber(text));
}

std::int64_t DisplayValueToRaw(const FormatSpec& spec, double value, int wordBits) {
  const double v = Limited(value, EntryLow(spec), spec.limit);
  double r = 0;
  double scale = 0;  // the magnitude the arithmetic worked at
  if (!spec.inverted) {
    if (spec.dispMax == spec.dispMin) {
      r = spec.inMin;
    } else {
      const double factor = (spec.inMax - spec.inMin) / (spec.dispMax - spec.dispMin);
      r = (v - spec.dispMin) * factor + spec.inMin;
      scale = std::fabs(factor) * std::max(std::fabs(v), std::fabs(spec.dispMin)) +
              std::fabs(spec.inMin) + std::fabs(r);
    }
  } else if (v == spec.dispMin) {
    r = spec.inMax;
  } else {
    r = v == 0 ? spec.inMax : spec.dispMax * spec.inMin / v;
    scale = std::fabs(r);
  }
  r = Limited(r, spec.inMin, spec.inMax);
  // A range with an end beyond what a number holds (a definition may write
  // one) leaves no raw value; the lowest raw value stands in for it.
  if (std::isnan(r)) {
    r = std::isfinite(spec.inMin) ? spec.inMin : 0;
  }
  // Halves go up. Arithmetic noise (400.4999999999999 for 400.5) must not
  // decide the rounding, and nothing coarser than that noise may either: a
  // value typed with many places converts by the value it has.
  const double noise = std::isfinite(scale) ? kNoiseUlps * DBL_EPSILON * scale : 0;
  r = Limited(std::floor(r + 0.5 + noise), kExactMin, kExactMax);
  // Rounded first, then wrapped: -0.5 rounds to 0 rather than wrapping to 65536.
  auto whole = static_cast<std::int64_t>(r);
  if (whole < 0) {
    whole += std::int64_t{1} << wordBits;
  }
  return whole;
}

}  // namespace kestrova::engine
