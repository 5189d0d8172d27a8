// A simulated temperature: a slow sine around a mean plus seeded noise, so
// continuous reads and plots move, and a test with a manual clock sees the
// same values every run.
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

// How a temperature is carried in chip bytes: round(T / lsb), shifted left,
// two's complement over the bytes, most significant byte first.
struct TemperatureEncoding {
  double lsbCelsius = 0.0625;
  int shift = 0;
  bool isSigned = true;

  // Fills `count` bytes (1..4), high first.
  void Encode(double celsius, uint8_t* bytes, int count) const;
};

}  // namespace kestrova::emulator
