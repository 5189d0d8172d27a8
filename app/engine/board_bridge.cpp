#include "engine/board_bridge.hpp"

#include <cstring>

namespace kestrova::engine {

namespace {

bool CountFits(std::int16_t count, std::size_t registers, std::size_t data) {
  return count >= 0 && static_cast<std::size_t>(count) <= registers &&
         static_cast<std::size_t>(count) <= data;
}

// The library takes the port's low byte.
std::uint8_t PortByte(std::int16_t port) {
  return static_cast<std::uint8_t>(port & 0xFF);
}

}  // namespace

bool BoardBridge::OpenBoard(std::int16_t link, std::string_view driverName,
                            std::array<std::uint16_t, 2>& vidPid, std::uint8_t forceFirmware,
                            std::string_view firmwarePath, DeviceHandle& handle) {
  const std::string driver(driverName);
  const std::string firmware(firmwarePath);
  return library_.OpenDevice(link, driver.c_str(), vidPid.data(), forceFirmware, firmware.c_str(),
                             &handle) != 0;
}

bool BoardBridge::CloseBoard(DeviceHandle handle) {
  if (handle == kNoDevice) {
    return true;
  }
  return library_.CloseDevice(handle) != 0;
}

bool BoardBridge::ReadBoard(DeviceHandle handle, std::int16_t port, std::int16_t busType,
                            std::int16_t deviceAddress, std::span<const std::int16_t> registers,
                            std::span<std::uint8_t> data, std::int16_t& count,
                            bool ignoreFailures) {
  bool ok = true;
  if (handle != kNoDevice) {
    ok = CountFits(count, registers.size(), data.size()) &&
         library_.ReadDevice(handle, PortByte(port), busType, deviceAddress, registers.data(),
                             data.data(), &count) != 0;
  }
  return ignoreFailures || ok;
}

bool BoardBridge::WriteBoard(DeviceHandle handle, std::int16_t port, std::int16_t busType,
                             std::int16_t deviceAddress, std::span<const std::int16_t> registers,
                             std::span<const std::uint8_t> data, std::int16_t& count,
                             bool ignoreFailures) {
  bool ok = true;
  if (handle != kNoDevice) {
    ok = CountFits(count, registers.size(), data.size()) &&
         library_.WriteDevice(handle, PortByte(port), busType, deviceAddress, registers.data(),
                              data.data(), &count) != 0;
  }
  return ignoreFailures || ok;
}

bool BoardBridge::WriteOneByte(DeviceHandle handle, std::int16_t busType,
                               std::int16_t deviceAddress, std::int16_t registerAddress,
                               std::uint8_t data, bool ignoreFailures) {
  const std::array<std::int16_t, 1> registers = {registerAddress};
  const std::array<std::uint8_t, 1> bytes = {data};
  std::int16_t count = 1;
  return WriteBoard(handle, 0, busType, deviceAddress, registers, bytes, count, ignoreFailures);
}

bool BoardBridge::WriteBoardByte(DeviceHandle handle, std::int16_t registerAddress,
                                 std::uint8_t data) {
  return WriteOneByte(handle, kBusBoard, 0, registerAddress, data, false);
}

std::string BoardBridge::BoardErrorText() {
  std::array<char, kErrorTextSize> buffer{};
  if (library_.LastErrorDevice(buffer.data()) == 0) {
    return {};
  }
  // The library promises a terminated text; never read past the buffer anyway.
  return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

std::int16_t JoinWord(std::uint8_t high, std::uint8_t low) {
  const int signedHigh = high >= 128 ? high - 256 : high;
  return static_cast<std::int16_t>(signedHigh * 256 + low);
}

WordBytes SplitWord(std::int32_t value) {
  // (value with its low byte cleared) / 256, low eight bits of that.
  const std::int32_t high = ((value & ~0xFF) / 256) & 0xFF;
  return {static_cast<std::uint8_t>(high), static_cast<std::uint8_t>(value & 0xFF)};
}

}  // namespace kestrova::engine
