// Command packets as the library builds them, for driving the board by hand.
#pragma once

#include <cstdint>
#include <vector>

namespace kestrova::emulator::testing {

// Registers of one byte each (I2C, single-wire, SPI).
inline std::vector<uint8_t> ChipRead(uint8_t bus, uint8_t address,
                                     const std::vector<uint8_t>& registers) {
  std::vector<uint8_t> p{0, bus, static_cast<uint8_t>(registers.size() + 1), address};
  p.insert(p.end(), registers.begin(), registers.end());
  p.push_back(static_cast<uint8_t>(registers.size()));
  return p;
}

// Board registers: 16-bit addresses, high byte first.
inline std::vector<uint8_t> BoardRead(const std::vector<uint16_t>& registers) {
  std::vector<uint8_t> p{0, 0, static_cast<uint8_t>(2 * registers.size() + 1), 0};
  for (uint16_t r : registers) {
    p.push_back(static_cast<uint8_t>(r >> 8));
    p.push_back(static_cast<uint8_t>(r));
  }
  p.push_back(static_cast<uint8_t>(registers.size()));
  return p;
}

inline std::vector<uint8_t> BoardWrite(const std::vector<uint16_t>& registers,
                                       const std::vector<uint8_t>& data) {
  std::vector<uint8_t> p{1, 0, static_cast<uint8_t>(2 * registers.size() + 1), 0};
  for (uint16_t r : registers) {
    p.push_back(static_cast<uint8_t>(r >> 8));
    p.push_back(static_cast<uint8_t>(r));
  }
  p.push_back(static_cast<uint8_t>(data.size()));
  p.insert(p.end(), data.begin(), data.end());
  return p;
}

}  // namespace kestrova::emulator::testing
