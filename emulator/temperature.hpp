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

// A temperature register: raw = round(celsius * scale + offset), limited to
// [rawMin, rawMax], spread over chip bytes (two's complement when negative).
struct TemperatureRegister {
  double scale = 16.0;
  double offset = 0.0;
  int64_t rawMin = -32768;
  int64_t rawMax = 32767;
  std::vector<FieldPlacement> fields;  // the first field's byte latches a reading

  int64_t RawFor(double celsius) const;

  // The register of a chip that shows `displayMin..displayMax` for raw
  // `inputMin..inputMax` (the register's own format in its definition).
  static TemperatureRegister FromRanges(double inputMin, double inputMax, double displayMin,
                                        double displayMax);
  // round(celsius / lsb) shifted left by `shift`, over `addresses` (most
  // significant byte first), signed or not.
  static TemperatureRegister FromLsb(double lsbCelsius, int shift, bool isSigned,
                                     const std::vector<uint16_t>& addresses);
};

}  // namespace kestrova::emulator
