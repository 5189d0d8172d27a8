#include "emulator/window_slot.hpp"

#include <cstring>

namespace kestrova::emulator {

void WindowSlot::Attach(std::shared_ptr<Chip> chip, std::vector<uint16_t> window) {
  chip_ = std::move(chip);
  window_ = std::move(window);
}

uint16_t WindowSlot::AddressAt(size_t position) const {
  if (!window_.empty()) {
    return position < window_.size() ? window_[position] : kChipAddressCount;
  }
  return static_cast<uint16_t>(position);
}

void WindowSlot::Read(uint8_t* data, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    const uint16_t address = AddressAt(i);
    data[i] = chip_ && address < kChipAddressCount ? chip_->ReadByte(address) : 0xFF;
  }
}

void WindowSlot::Write(const uint8_t* data, size_t length) {
  for (size_t i = 0; i < length && chip_; ++i) {
    const uint16_t address = AddressAt(i);
    if (address < kChipAddressCount) {
      chip_->WriteByte(address, data[i]);
    }
  }
}

}  // namespace kestrova::emulator
