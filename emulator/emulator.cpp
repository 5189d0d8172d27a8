#include "emulator/emulator.hpp"

namespace kestrova::emulator {

Emulator::Emulator()
    : buses_(std::make_shared<Buses>()), smbusFaults_(std::make_shared<FaultPlan>()) {}

Board& Emulator::AddBoard(BoardClass boardClass, BoardIdentity coreIdentity) {
  usbClass_.AddBoard(std::make_shared<Board>(boardClass, coreIdentity, buses_));
  return *usbClass_.Boards().back();
}

std::unique_ptr<dravik::smbus::Driver> Emulator::OpenSmbus(const char* path) {
  if (path == nullptr || !IsEmulatedSmbusPath(path)) {
    return nullptr;
  }
  return std::make_unique<SmbusController>(buses_, smbusFaults_);
}

bool Emulator::ArmFaults(const std::string& text, std::string* error) {
  // Parse once before arming anything, so a bad item arms nothing anywhere.
  FaultPlan probe;
  if (!probe.ArmFromText(text, error)) {
    return false;
  }
  for (const auto& board : usbClass_.Boards()) {
    board->Faults().ArmFromText(text, nullptr);
  }
  smbusFaults_->ArmFromText(text, nullptr);
  return true;
}

}  // namespace kestrova::emulator
