#include "emulator/chip_placement.hpp"

namespace kestrova::emulator {

std::optional<ChipBus> ChipBusFromName(std::string_view name) {
  if (name == "i2c") {
    return ChipBus::kI2c;
  }
  if (name == "singlewire") {
    return ChipBus::kSingleWire;
  }
  if (name == "spi" || name == "spiqx5") {
    return ChipBus::kSpi;
  }
  if (name == "microwire") {
    return ChipBus::kMicrowire;
  }
  if (name == "qx3test") {
    return ChipBus::kQx3Test;
  }
  return std::nullopt;
}

std::string_view ChipBusName(ChipBus bus) {
  switch (bus) {
    case ChipBus::kI2c:
      return "i2c";
    case ChipBus::kSingleWire:
      return "singlewire";
    case ChipBus::kSpi:
      return "spi";
    case ChipBus::kMicrowire:
      return "microwire";
    case ChipBus::kQx3Test:
      return "qx3test";
  }
  return "i2c";
}

}  // namespace kestrova::emulator
