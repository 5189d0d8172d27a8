#pragma once
// The form in which every engine read and write travels: parallel arrays of
// register address, data byte and register line, and a count.

#include <array>
#include <cstdint>

namespace kestrova::engine {

// Entries of a transfer list (index 0..2048).
inline constexpr int kTransferListSize = 2049;
// Register addresses from here on are registers of the board itself.
inline constexpr std::int32_t kBoardRegisterBase = 1024;
// The highest chip register address.
inline constexpr std::int32_t kLastChipRegister = 0x3FF;

enum class Direction { Read, Write };

// Which registers a list holds: everything, the log registers, the registers
// with dependants, those without pending change (read) or with (write).
enum class Scope { All, Log, UpdateReg, Unchanged, Changed };

struct TransferList {
  std::array<std::int16_t, kTransferListSize> address{};
  std::array<std::uint8_t, kTransferListSize> data{};
  std::array<std::int16_t, kTransferListSize> line{};
  std::int16_t count = 0;

  void Append(std::int16_t entryAddress, std::uint8_t entryData, std::int16_t entryLine) {
    address[static_cast<std::size_t>(count)] = entryAddress;
    data[static_cast<std::size_t>(count)] = entryData;
    line[static_cast<std::size_t>(count)] = entryLine;
    ++count;
  }
  bool Full() const { return count >= kTransferListSize; }
};

}  // namespace kestrova::engine
