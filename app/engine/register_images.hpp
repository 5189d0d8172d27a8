#pragma once
// The byte images of the chip and the pending-change flags, indexed by
// register address or by register line (32768 entries each).

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kestrova::engine {

inline constexpr int kImageSize = 32768;

struct RegisterImages {
  // The value the panel shows and edits.
  std::vector<std::uint8_t> valueImage = std::vector<std::uint8_t>(kImageSize, 0);
  // The last value known to be in the chip (written successfully or read).
  std::vector<std::uint8_t> deviceImage = std::vector<std::uint8_t>(kImageSize, 0);
  // The address has a change that is not yet written.
  std::vector<bool> modifiedByAddress = std::vector<bool>(kImageSize, false);
  // The register (by its line) has a change that is not yet written.
  std::vector<bool> modifiedByLine = std::vector<bool>(kImageSize, false);

  static bool InRange(int index) { return index >= 0 && index < kImageSize; }

  // The shown byte at an address; 0 outside the table.
  std::uint8_t ValueAt(int address) const {
    return InRange(address) ? valueImage[static_cast<std::size_t>(address)] : 0;
  }
  bool ModifiedAddress(int address) const {
    return InRange(address) && modifiedByAddress[static_cast<std::size_t>(address)];
  }
  bool ModifiedLine(int line) const {
    return InRange(line) && modifiedByLine[static_cast<std::size_t>(line)];
  }

  // Sets both flags of a change: the address's and the register line's.
  void MarkModified(int address, int line, bool flag) {
    if (InRange(address)) {
      modifiedByAddress[static_cast<std::size_t>(address)] = flag;
    }
    if (InRange(line)) {
      modifiedByLine[static_cast<std::size_t>(line)] = flag;
    }
  }

  void ClearModified() {
    std::fill(modifiedByAddress.begin(), modifiedByAddress.end(), false);
    std::fill(modifiedByLine.begin(), modifiedByLine.end(), false);
  }
};

}  // namespace kestrova::engine
