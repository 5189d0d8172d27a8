// Everything the board's firmware and the emulated SMBus controller drive:
// the chip buses, the byte stream, the board's own registers and the clock
// the simulated temperatures follow. One lock covers them, so a board and a
// controller (or a gadget's threads) may share the chips.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

#include "emulator/addressed_bus.hpp"
#include "emulator/sim_clock.hpp"
#include "emulator/stream_source.hpp"
#include "emulator/window_slot.hpp"

namespace kestrova::emulator {

constexpr uint8_t kMaxI2cAddress = 0x7F;
constexpr uint8_t kMaxSingleWireAddress = 7;
constexpr uint8_t kMaxSpiAddress = 0xFF;

// The board's registers: 16-bit addresses, plain bytes. They live in the
// firmware's memory, so every boot of the firmware starts them again from
// their power-up values (0 unless the bench sets one).
class BoardRegisters {
 public:
  uint8_t Read(uint16_t address) const { return bytes_[address]; }
  void Write(uint16_t address, uint8_t value) { bytes_[address] = value; }
  // A value the register holds now and after every boot.
  void SetPowerUp(uint16_t address, uint8_t value) {
    powerUp_[address] = value;
    bytes_[address] = value;
  }
  void PowerUp() { bytes_ = powerUp_; }

 private:
  std::array<uint8_t, 0x10000> bytes_{};
  std::array<uint8_t, 0x10000> powerUp_{};
};

class Buses {
 public:
  Buses();

  std::mutex& Mutex() { return mutex_; }
  AddressedBus& I2c() { return i2c_; }
  AddressedBus& SingleWire() { return singleWire_; }
  AddressedBus& Spi() { return spi_; }
  WindowSlot& Microwire() { return microwire_; }
  WindowSlot& Qx3Test() { return qx3Test_; }
  StreamSource& Stream() { return stream_; }
  BoardRegisters& Registers() { return *registers_; }
  const std::shared_ptr<SimClock>& Clock() const { return clock_; }

 private:
  std::mutex mutex_;
  AddressedBus i2c_{true, kMaxI2cAddress};
  AddressedBus singleWire_{true, kMaxSingleWireAddress};
  AddressedBus spi_{false, kMaxSpiAddress};
  WindowSlot microwire_;
  WindowSlot qx3Test_;
  StreamSource stream_;
  std::unique_ptr<BoardRegisters> registers_;
  std::shared_ptr<SimClock> clock_;
};

}  // namespace kestrova::emulator
