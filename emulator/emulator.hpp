// The whole emulated bench: the boards of the USB interface class, the chip
// buses they share with the emulated SMBus controller, and the faults armed
// on them. Tests build one and hand UsbClass() and OpenSmbus() to the
// library; the shared library builds one from the environment.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "emulator/board.hpp"
#include "emulator/buses.hpp"
#include "emulator/chip_placement.hpp"
#include "emulator/faults.hpp"
#include "emulator/smbus_controller.hpp"
#include "emulator/temperature.hpp"
#include "emulator/usb_driver_adapter.hpp"

namespace kestrova::emulator {

class Emulator {
 public:
  // A bench with chip buses and no boards.
  Emulator();

  const std::shared_ptr<Buses>& GetBuses() const { return buses_; }
  EmulatedDriverClass& UsbClass() { return usbClass_; }
  // Adds a board wired to the bench's buses; returns it.
  Board& AddBoard(BoardClass boardClass, BoardIdentity coreIdentity);
  Board& BoardAt(size_t index) { return *usbClass_.Boards().at(index); }
  size_t BoardCount() const { return usbClass_.Boards().size(); }

  // The emulated SMBus controller for a driver path; nullptr for a path that
  // names another device.
  std::unique_ptr<dravik::smbus::Driver> OpenSmbus(const char* path);
  FaultPlan& SmbusFaults() { return *smbusFaults_; }

  // Arms the text form of faults on every board and on the SMBus controller.
  bool ArmFaults(const std::string& text, std::string* error);

  // Puts a chip on a bus; false (nothing changed) when the address is beyond
  // the bus's range or already taken. `window`: the bytes a headerless bus
  // shifts (empty: bytes 0, 1, 2, ...).
  struct PlacedChip {
    std::string name;
    ChipBus bus;
    uint8_t address;
    std::shared_ptr<Chip> chip;
  };
  bool PlaceChip(std::string name, ChipBus bus, uint8_t address, std::shared_ptr<Chip> chip,
                 std::vector<uint16_t> window = {});
  const std::vector<PlacedChip>& Chips() const { return chips_; }

  // Temperature sources by name; the first one added is the default.
  std::shared_ptr<TemperatureSource> AddTemperatureSource(TemperatureSource source);
  std::shared_ptr<TemperatureSource> FindTemperatureSource(std::string_view name) const;
  std::shared_ptr<TemperatureSource> DefaultTemperatureSource();

 private:
  std::shared_ptr<Buses> buses_;
  EmulatedDriverClass usbClass_;
  std::shared_ptr<FaultPlan> smbusFaults_;
  std::vector<PlacedChip> chips_;
  std::vector<std::shared_ptr<TemperatureSource>> sources_;
};

}  // namespace kestrova::emulator
