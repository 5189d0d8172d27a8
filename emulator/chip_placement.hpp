// Where a chip sits on the bench: which bus, which address.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova::emulator {

enum class ChipBus { kI2c, kSingleWire, kSpi, kMicrowire, kQx3Test };

// "i2c", "singlewire", "spi", "microwire", "qx3test"; the definition's
// interface types "spiqx5" (SPI) are accepted too.
std::optional<ChipBus> ChipBusFromName(std::string_view name);
std::string_view ChipBusName(ChipBus bus);

}  // namespace kestrova::emulator
