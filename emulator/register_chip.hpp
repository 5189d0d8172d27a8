// A chip made of named register bytes: each byte holds the startup values of
// the bit fields placed in it, a write changes only the bits of writable
// fields routed to the written address, and bytes bound to a temperature
// follow the simulated temperature.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "emulator/chip.hpp"
#include "emulator/sim_clock.hpp"
#include "emulator/temperature.hpp"

namespace kestrova::emulator {

class RegisterChip : public Chip {
 public:
  explicit RegisterChip(std::string name = {});

  const std::string& Name() const { return name_; }

  // One bit field: bits hi..lo (taken modulo 8) of the byte at readAddress
  // start as `value`; when writable, a write to writeAddress sets them.
  void DefineField(uint16_t readAddress, uint16_t writeAddress, int hiBit, int loBit,
                   uint32_t value, bool writable);
  // Sets a byte as the chip itself would, whatever its write rights.
  void SetByte(uint16_t address, uint8_t value);
  // The stored byte (temperature bindings not applied).
  uint8_t Byte(uint16_t address) const;
  bool Names(uint16_t address) const;

  // The bits `reg` places follow the temperature of `source`; the other
  // bits of those bytes keep what the chip holds. Reading the first field's
  // byte takes a new reading; the other bytes show the same reading, so a
  // multi-byte read never mixes two samples.
  void BindTemperature(TemperatureRegister reg, std::shared_ptr<const TemperatureSource> source,
                       std::shared_ptr<const SimClock> clock);
  // True when bits of this byte follow a temperature.
  bool FollowsTemperature(uint16_t address) const;

  uint8_t ReadByte(uint16_t address) override;
  void WriteByte(uint16_t address, uint8_t value) override;

 private:
  struct WriteRoute {
    uint16_t writeAddress;
    uint16_t readAddress;
    uint8_t mask;
  };
  struct TemperatureBinding {
    TemperatureRegister reg;
    std::shared_ptr<const TemperatureSource> source;
    std::shared_ptr<const SimClock> clock;
    int64_t raw = 0;
    bool latchValid = false;
  };

  std::string name_;
  std::array<uint8_t, kChipAddressCount> bytes_{};
  std::array<bool, kChipAddressCount> named_{};
  std::vector<WriteRoute> routes_;
  std::vector<TemperatureBinding> temperatures_;
};

}  // namespace kestrova::emulator
