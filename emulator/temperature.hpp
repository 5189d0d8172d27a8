// A simulated temperature: a slow sine around a mean plus seeded noise, so
// continuous reads and plots move, and a test with a manual clock sees the
// same values every run. And how a chip carries a temperature in its bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrova::emulator {

struct TemperatureSource {
  std::string name = "ambient";
  double meanCelsius = 25.0;
  double amplitudeCelsius = 3.0;
  double periodSeconds = 120.0;
  double noiseCelsius = 0.05;  // peak, uniform
  uint32_t seed = 1;

  // The temperature at a point of simulated time. Noise changes ten times a
  // second and is a pure function of (seed, tenth), not of call order.
  double At(double seconds) const;
};

// Some bits of the register value placed in one chip byte.
struct FieldPlacement {
  uint16_t address = 0;  // definition address of the byte
  int rawLow = 0;        // lowest register-value bit this byte holds
  int width = 8;         // number of bits
  int byteLow = 0;       // where they sit in the byte
};

// Bits of one chip byte that must hold a value (a range selection bit of a
// configuration register, for example).
struct ByteCondition {
  uint16_t address = 0;
  uint8_t mask = 0xFF;
  uint8_t value = 0;  // already placed at the mask's bits
};

// How raw register values stand for degrees: raw = round(celsius * scale +
// offset), limited to [rawMin, rawMax].
struct TemperatureRange {
  double scale = 16.0;
  double offset = 0.0;
  int64_t rawMin = -32768;
  int64_t rawMax = 32767;
  std::vector<ByteCondition> conditions;  // for an alternative: when it applies

  int64_t RawFor(double celsius) const;
};

// A temperature register, spread over chip bytes (two's complement when
// negative). A chip with a selectable range (an extended range set by a
// configuration bit) has alternatives: the last whose conditions hold on the
// chip's bytes at the moment of the reading applies, else the main range.
struct TemperatureRegister : TemperatureRange {
  std::vector<FieldPlacement> fields;  // the first field's byte latches a reading
  std::vector<TemperatureRange> alternatives;

  template <typename ByteAt>
  const TemperatureRange& RangeNow(ByteAt byteAt) const {
    const TemperatureRange* chosen = this;
    for (const TemperatureRange& alternative : alternatives) {
      bool holds = true;
      for (const ByteCondition& condition : alternative.conditions) {
        holds = holds && (byteAt(condition.address) & condition.mask) == condition.value;
      }
      if (holds) {
        chosen = &alternative;
      }
    }
    return *chosen;
  }

  // The register of a chip that shows `displayMin..displayMax` for raw
  // `inputMin..inputMax` (the register's own format in its definition).
  static TemperatureRegister FromRanges(double inputMin, double inputMax, double displayMin,
                                        double displayMax);
  static TemperatureRange RangeFor(double inputMin, double inputMax, double displayMin,
                                   double displayMax);
  // round(celsius / lsb) shifted left by `shift`, over `addresses` (most
  // significant byte first), signed or not.
  static TemperatureRegister FromLsb(double lsbCelsius, int shift, bool isSigned,
                                     const std::vector<uint16_t>& addresses);
};

}  // namespace kestrova::emulator
