// One emulated sensor chip as its bus sees it: bytes by definition address.
// A definition address 0x000..0x3FF names byte j (address / 0x100) of the
// chip register (address & 0xFF), byte 0 being the most significant, so a
// 16-bit register at pointer 5 is bytes 0x005 and 0x105.
#pragma once

#include <cstdint>

namespace kestrova::emulator {

constexpr uint16_t kChipAddressCount = 0x400;
constexpr uint16_t kChipBytesPerRegister = 4;

constexpr uint16_t ChipByteAddress(uint8_t reg, uint16_t byteIndex) {
  return static_cast<uint16_t>(reg + 0x100 * byteIndex);
}

class Chip {
 public:
  virtual ~Chip() = default;
  // The byte the chip drives onto the bus for this definition address.
  virtual uint8_t ReadByte(uint16_t address) = 0;
  // A byte the bus master wrote to this (write) address.
  virtual void WriteByte(uint16_t address, uint8_t value) = 0;
};

}  // namespace kestrova::emulator
