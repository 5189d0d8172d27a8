#include "emulator/register_chip.hpp"

#include <algorithm>

namespace kestrova::emulator {
namespace {

uint8_t FieldMask(int hiBit, int loBit) {
  int hi = hiBit % 8;
  int lo = loBit % 8;
  if (hi < lo) {
    std::swap(hi, lo);
  }
  return static_cast<uint8_t>(((1u << (hi + 1)) - 1) & ~((1u << lo) - 1));
}

bool InRange(uint16_t address) {
  return address < kChipAddressCount;
}

}  // namespace

RegisterChip::RegisterChip(std::string name) : name_(std::move(name)) {}

void RegisterChip::DefineField(uint16_t readAddress, uint16_t writeAddress, int hiBit, int loBit,
                               uint32_t value, bool writable) {
  if (!InRange(readAddress) || hiBit < 0 || loBit < 0) {
    return;
  }
  const uint8_t mask = FieldMask(hiBit, loBit);
  const int lo = std::min(hiBit % 8, loBit % 8);
  named_[readAddress] = true;
  bytes_[readAddress] =
      static_cast<uint8_t>((bytes_[readAddress] & ~mask) | ((value << lo) & mask));
  if (!writable || !InRange(writeAddress)) {
    return;
  }
  for (WriteRoute& route : routes_) {
    if (route.writeAddress == writeAddress && route.readAddress == readAddress) {
      route.mask |= mask;
      return;
    }
  }
  routes_.push_back({writeAddress, readAddress, mask});
}

void RegisterChip::SetByte(uint16_t address, uint8_t value) {
  if (InRange(address)) {
    named_[address] = true;
    bytes_[address] = value;
  }
}

uint8_t RegisterChip::Byte(uint16_t address) const {
  return InRange(address) ? bytes_[address] : 0;
}

bool RegisterChip::Names(uint16_t address) const {
  return InRange(address) && named_[address];
}

void RegisterChip::BindTemperature(TemperatureRegister reg,
                                   std::shared_ptr<const TemperatureSource> source,
                                   std::shared_ptr<const SimClock> clock) {
  if (reg.fields.empty() || !source || !clock) {
    return;
  }
  for (const FieldPlacement& field : reg.fields) {
    if (!InRange(field.address) || field.width < 1 || field.byteLow < 0 ||
        field.byteLow + field.width > 8 || field.rawLow < 0 || field.rawLow > 62) {
      return;
    }
  }
  for (const FieldPlacement& field : reg.fields) {
    named_[field.address] = true;
  }
  temperatures_.push_back({std::move(reg), std::move(source), std::move(clock)});
}

bool RegisterChip::FollowsTemperature(uint16_t address) const {
  for (const TemperatureBinding& binding : temperatures_) {
    for (const FieldPlacement& field : binding.reg.fields) {
      if (field.address == address) {
        return true;
      }
    }
  }
  return false;
}

uint8_t RegisterChip::ReadByte(uint16_t address) {
  if (!InRange(address)) {
    return 0xFF;
  }
  uint8_t value = bytes_[address];
  for (TemperatureBinding& binding : temperatures_) {
    bool refreshed = false;
    for (const FieldPlacement& field : binding.reg.fields) {
      if (field.address != address) {
        continue;
      }
      if (!refreshed && (&field == &binding.reg.fields.front() || !binding.latchValid)) {
        const TemperatureRange& range =
            binding.reg.RangeNow([this](uint16_t at) { return Byte(at); });
        binding.raw = range.RawFor(binding.source->At(binding.clock->Seconds()));
        binding.latchValid = true;
        refreshed = true;
      }
      const auto fieldMask = static_cast<uint8_t>(((1u << field.width) - 1) << field.byteLow);
      const auto bits = static_cast<uint64_t>(binding.raw) >> field.rawLow;
      value = static_cast<uint8_t>((value & ~fieldMask) | ((bits << field.byteLow) & fieldMask));
    }
  }
  return value;
}

void RegisterChip::WriteByte(uint16_t address, uint8_t value) {
  for (const WriteRoute& route : routes_) {
    if (route.writeAddress == address) {
      uint8_t& stored = bytes_[route.readAddress];
      stored = static_cast<uint8_t>((stored & ~route.mask) | (value & route.mask));
    }
  }
}

}  // namespace kestrova::emulator
