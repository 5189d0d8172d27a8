// The descriptors the board presents: before the firmware runs (the core's
// own, string indexes 0) and after (strings 1 and 2, the command endpoints).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "emulator/board_class.hpp"
#include "emulator/usb_types.hpp"

namespace kestrova::emulator {

struct BoardIdentity {
  uint16_t vendorId = 0;
  uint16_t productId = 0;
};

struct EndpointInfo {
  uint8_t address;
  uint8_t attributes;  // 2 bulk
};

// The firmware's command pair. The library takes the command endpoint from
// entry 1 of the endpoint list and the response endpoint from entry 8, so the
// descriptors list them first and last.
constexpr uint8_t kCommandEndpoint = 0x01;
constexpr uint8_t kResponseEndpoint = 0x81;
constexpr size_t kFirmwareEndpointCount = 8;
const std::array<EndpointInfo, kFirmwareEndpointCount>& FirmwareEndpoints();

constexpr uint16_t kLanguageEnglishUs = 0x0409;
constexpr uint8_t kManufacturerStringIndex = 1;
constexpr uint8_t kProductStringIndex = 2;
constexpr const char* kManufacturerText = "Kestrova";
constexpr const char* kProductText = "Kestrova sensor evaluation board (emulated)";

// 18 bytes.
std::vector<uint8_t> BuildDeviceDescriptor(BoardClass boardClass, BoardIdentity identity,
                                           bool firmwareRunning);
// Configuration, interface and endpoint descriptors, wTotalLength bytes.
std::vector<uint8_t> BuildConfigurationDescriptor(BoardClass boardClass, bool firmwareRunning);
// String 0 is the language list; nullopt for an index the board does not have.
std::optional<std::vector<uint8_t>> BuildStringDescriptor(uint8_t index, bool firmwareRunning);

}  // namespace kestrova::emulator
