// A bus without addresses (three-wire Microwire, the QX3 test port): one chip
// shifts its bytes out and in. The window lists the chip bytes a transfer
// walks, in order; by default the chip's bytes 0, 1, 2, ... An empty slot
// reads as a floating line (0xFF) and drops writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "emulator/chip.hpp"

namespace kestrova::emulator {

class WindowSlot {
 public:
  void Attach(std::shared_ptr<Chip> chip, std::vector<uint16_t> window = {});
  Chip* Occupant() const { return chip_.get(); }

  void Read(uint8_t* data, size_t length);
  void Write(const uint8_t* data, size_t length);

 private:
  uint16_t AddressAt(size_t position) const;

  std::shared_ptr<Chip> chip_;
  std::vector<uint16_t> window_;
};

}  // namespace kestrova::emulator
