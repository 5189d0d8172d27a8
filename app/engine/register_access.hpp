#pragma once
// Single-register access for the raw register dialog, and the traced write
// through which the engine writes register lists.

#include <cstdint>
#include <span>
#include <string>

#include "engine/device_library.hpp"

namespace kestrova::engine {

class Session;

// The register address that means none: the chip is addressed without one.
inline constexpr std::int16_t kNoRegisterAddress = -1;

// The file, in the device's working folder, that traces register writes.
inline constexpr const char* kWriteLogName = "write.log";

// One write.log line: "ADDR=DATA " per register, upper-case hexadecimal of at
// least two digits.
std::string WriteLogLine(std::span<const std::int16_t> registers,
                         std::span<const std::uint8_t> data, int count);

// Writes a register list; with test bit 8 the write is first traced to
// write.log (failed writes are traced too).
bool LoggedWrite(Session& session, DeviceHandle handle, std::int16_t port, std::int16_t busType,
                 std::int16_t deviceAddress, std::span<const std::int16_t> registers,
                 std::span<const std::uint8_t> data, std::int16_t& count, bool ignoreFailures);

// Reads one 8-bit register, or a 16-bit one (high byte first, signed), of any
// chip address. A failure shows the library's text.
bool RegRead(Session& session, std::int16_t deviceAddress, std::int16_t registerAddress,
             std::int16_t& value, bool wide);

// Writes one 8-bit register (value 0..255) or a 16-bit one (high byte first).
bool RegWrite(Session& session, std::int16_t deviceAddress, std::int16_t registerAddress,
              std::int16_t value, bool wide);

}  // namespace kestrova::engine
