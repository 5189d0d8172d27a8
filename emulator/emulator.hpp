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
#include "emulator/faults.hpp"
#include "emulator/smbus_controller.hpp"
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

 private:
  std::shared_ptr<Buses> buses_;
  EmulatedDriverClass usbClass_;
  std::shared_ptr<FaultPlan> smbusFaults_;
};

}  // namespace kestrova::emulator
