#pragma once
// The thin layer through which every transfer reaches the device library:
// the program's values in the library's argument forms, one-byte results as
// booleans, and the library's error text. With no board open (handle -1)
// every read and write succeeds at once, sends nothing and leaves the data
// alone, so the program runs on the definition alone.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/device_library.hpp"

namespace kestrova::engine {

// Transfer type of the board's own registers.
inline constexpr std::int16_t kBusBoard = 0;

class BoardBridge {
 public:
  explicit BoardBridge(DeviceLibrary& library) : library_(library) {}

  DeviceLibrary& Library() { return library_; }

  bool OpenBoard(std::int16_t link, std::string_view driverName,
                 std::array<std::uint16_t, 2>& vidPid, std::uint8_t forceFirmware,
                 std::string_view firmwarePath, DeviceHandle& handle);
  bool CloseBoard(DeviceHandle handle);
  // `count` entries of `registers` are read into `data`; the library may
  // change `count`. A count beyond either array is refused without a call.
  bool ReadBoard(DeviceHandle handle, std::int16_t port, std::int16_t busType,
                 std::int16_t deviceAddress, std::span<const std::int16_t> registers,
                 std::span<std::uint8_t> data, std::int16_t& count, bool ignoreFailures);
  bool WriteBoard(DeviceHandle handle, std::int16_t port, std::int16_t busType,
                  std::int16_t deviceAddress, std::span<const std::int16_t> registers,
                  std::span<const std::uint8_t> data, std::int16_t& count, bool ignoreFailures);
  bool WriteOneByte(DeviceHandle handle, std::int16_t busType, std::int16_t deviceAddress,
                    std::int16_t registerAddress, std::uint8_t data, bool ignoreFailures);
  // Writes a register of the board itself.
  bool WriteBoardByte(DeviceHandle handle, std::int16_t registerAddress, std::uint8_t data);
  // The library's text of its last failure; empty when it has none.
  std::string BoardErrorText();

 private:
  DeviceLibrary& library_;
};

// The signed 16-bit value of a high and a low byte (FF FE gives -2).
std::int16_t JoinWord(std::uint8_t high, std::uint8_t low);

struct WordBytes {
  std::uint8_t high = 0;
  std::uint8_t low = 0;
};

// The two bytes of a 16-bit value, high byte first on the wire.
WordBytes SplitWord(std::int32_t value);

}  // namespace kestrova::engine
