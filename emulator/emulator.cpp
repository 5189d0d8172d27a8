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

bool Emulator::PlaceChip(std::string name, ChipBus bus, uint8_t address, std::shared_ptr<Chip> chip,
                         std::vector<uint16_t> window) {
  if (!chip) {
    return false;
  }
  std::lock_guard<std::mutex> lock(buses_->Mutex());
  AddressedBus* addressed = nullptr;
  switch (bus) {
    case ChipBus::kI2c:
      addressed = &buses_->I2c();
      break;
    case ChipBus::kSingleWire:
      addressed = &buses_->SingleWire();
      break;
    case ChipBus::kSpi:
      addressed = &buses_->Spi();
      break;
    case ChipBus::kMicrowire:
    case ChipBus::kQx3Test: {
      WindowSlot& slot = bus == ChipBus::kMicrowire ? buses_->Microwire() : buses_->Qx3Test();
      if (slot.Occupant() != nullptr) {
        return false;
      }
      slot.Attach(chip, std::move(window));
      address = 0;
      break;
    }
  }
  if (addressed != nullptr) {
    if (address > addressed->MaxAddress() || addressed->ChipAt(address) != nullptr) {
      return false;
    }
    addressed->Attach(address, chip);
  }
  chips_.push_back({std::move(name), bus, address, std::move(chip)});
  return true;
}

std::shared_ptr<TemperatureSource> Emulator::AddTemperatureSource(TemperatureSource source) {
  sources_.push_back(std::make_shared<TemperatureSource>(std::move(source)));
  return sources_.back();
}

std::shared_ptr<TemperatureSource> Emulator::FindTemperatureSource(std::string_view name) const {
  for (const auto& source : sources_) {
    if (source->name == name) {
      return source;
    }
  }
  return nullptr;
}

std::shared_ptr<TemperatureSource> Emulator::DefaultTemperatureSource() {
  if (sources_.empty()) {
    AddTemperatureSource(TemperatureSource{});
  }
  return sources_.front();
}

}  // namespace kestrova::emulator
