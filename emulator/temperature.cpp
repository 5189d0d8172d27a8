#include "emulator/temperature.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kestrova::emulator {
namespace {

constexpr double kNoiseStepsPerSecond = 10.0;

// SplitMix64 step: a good-enough hash of the seed and the time step.
uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

}  // namespace

double TemperatureSource::At(double seconds) const {
  double value = meanCelsius;
  if (periodSeconds > 0) {
    value += amplitudeCelsius * std::sin(2.0 * std::numbers::pi * seconds / periodSeconds);
  }
  if (noiseCelsius != 0) {
    const auto step = static_cast<int64_t>(std::floor(seconds * kNoiseStepsPerSecond));
    const uint64_t hash = Mix((static_cast<uint64_t>(seed) << 32) ^ static_cast<uint64_t>(step));
    const double unit = static_cast<double>(hash >> 11) / static_cast<double>(1ull << 53);
    value += noiseCelsius * (2.0 * unit - 1.0);
  }
  return value;
}

void TemperatureEncoding::Encode(double celsius, uint8_t* bytes, int count) const {
  count = std::clamp(count, 1, 4);
  const int totalBits = 8 * count;
  const int valueBits = std::clamp(totalBits - shift, 1, totalBits);
  const double lsb = lsbCelsius > 0 ? lsbCelsius : 1.0;
  const double steps = std::round(celsius / lsb);
  const double maxSteps =
      isSigned ? std::ldexp(1.0, valueBits - 1) - 1 : std::ldexp(1.0, valueBits) - 1;
  const double minSteps = isSigned ? -std::ldexp(1.0, valueBits - 1) : 0;
  const auto raw = static_cast<int64_t>(std::clamp(steps, minSteps, maxSteps));
  const uint64_t mask = totalBits >= 64 ? ~0ull : ((1ull << totalBits) - 1);
  const uint64_t word = (static_cast<uint64_t>(raw) << std::clamp(shift, 0, totalBits - 1)) & mask;
  for (int i = 0; i < count; ++i) {
    bytes[i] = static_cast<uint8_t>(word >> (8 * (count - 1 - i)));
  }
}

}  // namespace kestrova::emulator
