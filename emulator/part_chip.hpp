// A chip built from a part's register definition: every byte a bit field
// names, with the startup values of its fields placed at their bits, write
// rights from `attr`, separate write addresses from `addr="r:w"`. Fields at
// board register addresses (0x400 and up) become board register presets.
// Temperature registers (logged, in degrees, read-only value bits) are
// reported so a bench can tie them to a simulated temperature through the
// register's own display format and the fields' `regbit`.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "emulator/descriptors.hpp"
#include "emulator/register_chip.hpp"
#include "emulator/temperature.hpp"

namespace kestrova::emulator {

struct PartTemperature {
  std::string title;
  TemperatureRegister reg;
};

struct PartChip {
  std::string label;
  std::string interfaceType;  // the definition's `interface` `type`
  std::optional<uint8_t> defaultAddress;
  std::optional<BoardIdentity> usbIdentity;  // vid/pid of the "usb" link entry
  std::shared_ptr<RegisterChip> chip;
  std::vector<std::pair<uint16_t, uint8_t>> boardRegisters;
  std::vector<PartTemperature> temperatures;
  std::vector<std::string> warnings;  // "file:line: ..." for fields that were skipped
};

// nullopt (and `error` set, naming the file) when the file cannot be read or
// holds no part.
std::optional<PartChip> LoadPartChip(const std::string& path, std::string* error);

}  // namespace kestrova::emulator
