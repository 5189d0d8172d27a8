// A bus whose chips are picked by an address byte and whose transfers name a
// register: I2C (7-bit addresses), the single-wire bus (addresses 0..7) and
// SPI (the address is the chip select). I2C and single-wire chips answer
// with an acknowledge; an absent chip is a NAK. SPI has no acknowledge: an
// absent chip reads as a floating line (0xFF) and takes writes silently.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "emulator/chip.hpp"

namespace kestrova::emulator {

class AddressedBus {
 public:
  AddressedBus(bool acknowledges, uint8_t maxAddress);

  // Puts a chip at an address (replacing any chip there); nullptr removes it.
  void Attach(uint8_t address, std::shared_ptr<Chip> chip);
  Chip* ChipAt(uint8_t address) const;
  uint8_t MaxAddress() const { return maxAddress_; }

  // One transaction on register `reg`: byte j of the transfer is byte j of
  // the register (the chip's pointer is left on reg). False: no acknowledge.
  bool ReadRegister(uint8_t address, uint8_t reg, uint8_t* data, size_t length);
  bool WriteRegister(uint8_t address, uint8_t reg, const uint8_t* data, size_t length);
  // Transactions without a register byte: a write's first byte sets the
  // chip's register pointer and the rest are register bytes; a read returns
  // the bytes of the register the pointer names.
  bool ReadFromPointer(uint8_t address, uint8_t* data, size_t length);
  bool WriteWithPointer(uint8_t address, const uint8_t* data, size_t length);

 private:
  struct Slot {
    std::shared_ptr<Chip> chip;
    uint8_t pointer = 0;
  };
  Slot* Present(uint8_t address);

  bool acknowledges_;
  uint8_t maxAddress_;
  std::array<Slot, 256> slots_{};
};

}  // namespace kestrova::emulator
