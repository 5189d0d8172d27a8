#pragma once
// Register data files (*.dat): a snapshot of a part's register bytes, one
// `reg` line per register byte address with its value, both in upper-case
// hexadecimal without leading zeros.

#include <cstdint>
#include <span>
#include <string>

#include "markup/markup_store.hpp"
#include "markup/message_box.hpp"

namespace kestrova::definition {

// The address and value lists of a file have room for indices 0 to 2048.
inline constexpr int kMaxDataFileEntries = 2049;

// Reads the `reg` entries at depth 1 under the root, in file order, into the
// lists (room: the smaller list, at most kMaxDataFileEntries). True when at
// least one entry was read. A file that cannot be opened shows "File
// read/write error for <path>"; a file with a malformed entry or more entries
// than there is room for is refused whole (count 0) with a message naming the
// file and line, so a snapshot is never applied in part.
bool ReadDataFile(markup::MarkupStore& store, const std::string& path,
                  std::span<std::int16_t> addresses, std::span<std::uint8_t> values, int& count,
                  markup::MessageBox& messages);

// Writes entries 0 to count - 1 (addresses as 16-bit values). The result is
// that of the save; a failure shows "File read/write error for <path>".
bool WriteDataFile(markup::MarkupStore& store, const std::string& path,
                   std::span<const std::int16_t> addresses, std::span<const std::uint8_t> values,
                   int count, markup::MessageBox& messages);

}  // namespace kestrova::definition
