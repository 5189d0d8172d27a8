#include "emulator/addressed_bus.hpp"

#include <cstring>

namespace kestrova::emulator {
namespace {

constexpr uint8_t kFloatingLine = 0xFF;

}  // namespace

AddressedBus::AddressedBus(bool acknowledges, uint8_t maxAddress)
    : acknowledges_(acknowledges), maxAddress_(maxAddress) {}

void AddressedBus::Attach(uint8_t address, std::shared_ptr<Chip> chip) {
  slots_[address] = Slot{std::move(chip), 0};
}

Chip* AddressedBus::ChipAt(uint8_t address) const {
  return slots_[address].chip.get();
}

AddressedBus::Slot* AddressedBus::Present(uint8_t address) {
  if (address > maxAddress_ || !slots_[address].chip) {
    return nullptr;
  }
  return &slots_[address];
}

bool AddressedBus::ReadRegister(uint8_t address, uint8_t reg, uint8_t* data, size_t length) {
  Slot* slot = Present(address);
  if (slot == nullptr) {
    std::memset(data, kFloatingLine, length);
    return !acknowledges_;
  }
  slot->pointer = reg;
  for (size_t j = 0; j < length; ++j) {
    data[j] = j < kChipBytesPerRegister
                  ? slot->chip->ReadByte(ChipByteAddress(reg, static_cast<uint16_t>(j)))
                  : kFloatingLine;
  }
  return true;
}

bool AddressedBus::WriteRegister(uint8_t address, uint8_t reg, const uint8_t* data, size_t length) {
  Slot* slot = Present(address);
  if (slot == nullptr) {
    return !acknowledges_;
  }
  slot->pointer = reg;
  for (size_t j = 0; j < length && j < kChipBytesPerRegister; ++j) {
    slot->chip->WriteByte(ChipByteAddress(reg, static_cast<uint16_t>(j)), data[j]);
  }
  return true;
}

bool AddressedBus::ReadFromPointer(uint8_t address, uint8_t* data, size_t length) {
  Slot* slot = Present(address);
  if (slot == nullptr) {
    std::memset(data, kFloatingLine, length);
    return !acknowledges_;
  }
  return ReadRegister(address, slot->pointer, data, length);
}

bool AddressedBus::WriteWithPointer(uint8_t address, const uint8_t* data, size_t length) {
  Slot* slot = Present(address);
  if (slot == nullptr) {
    return !acknowledges_;
  }
  if (length == 0) {
    return true;
  }
  return WriteRegister(address, data[0], data + 1, length - 1);
}

}  // namespace kestrova::emulator
