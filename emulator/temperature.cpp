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

int64_t TemperatureRange::RawFor(double celsius) const {
  const double raw = std::round(celsius * scale + offset);
  if (std::isnan(raw)) {
    return rawMin;
  }
  return static_cast<int64_t>(
      std::clamp(raw, static_cast<double>(rawMin), static_cast<double>(rawMax)));
}

TemperatureRange TemperatureRegister::RangeFor(double inputMin, double inputMax, double displayMin,
                                               double displayMax) {
  TemperatureRange range;
  const double span = displayMax - displayMin;
  range.scale = span != 0 ? (inputMax - inputMin) / span : 1.0;
  range.offset = inputMin - displayMin * range.scale;
  range.rawMin = static_cast<int64_t>(std::ceil(std::min(inputMin, inputMax)));
  range.rawMax = static_cast<int64_t>(std::floor(std::max(inputMin, inputMax)));
  return range;
}

TemperatureRegister TemperatureRegister::FromRanges(double inputMin, double inputMax,
                                                    double displayMin, double displayMax) {
  TemperatureRegister reg;
  static_cast<TemperatureRange&>(reg) = RangeFor(inputMin, inputMax, displayMin, displayMax);
  return reg;
}

TemperatureRegister TemperatureRegister::FromLsb(double lsbCelsius, int shift, bool isSigned,
                                                 const std::vector<uint16_t>& addresses) {
  TemperatureRegister reg;
  const int count = static_cast<int>(std::min<size_t>(addresses.size(), 4));
  const int totalBits = 8 * count;
  shift = std::clamp(shift, 0, std::max(totalBits - 1, 0));
  const int valueBits = std::max(totalBits - shift, 1);
  reg.scale = 1.0 / (lsbCelsius > 0 ? lsbCelsius : 1.0);
  reg.offset = 0;
  reg.rawMin = isSigned ? -(int64_t{1} << (valueBits - 1)) : 0;
  reg.rawMax = isSigned ? (int64_t{1} << (valueBits - 1)) - 1 : (int64_t{1} << valueBits) - 1;
  for (int i = 0; i < count; ++i) {
    const int byteBase = 8 * (count - 1 - i);  // word bit of the byte's bit 0
    const int low = std::max(byteBase, shift);
    const int high = byteBase + 8;
    if (low >= high) {
      continue;
    }
    reg.fields.push_back(
        {addresses[static_cast<size_t>(i)], low - shift, high - low, low - byteBase});
  }
  return reg;
}

}  // namespace kestrova::emulator
