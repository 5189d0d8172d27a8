#include "definition/unused_bitfields.hpp"

#include <string>

#include "definition/numbers.hpp"

namespace kestrova::definition {

int InsertUnusedBitfields(markup::MarkupStore& store, std::uint8_t coverage,
                          std::int32_t readAddress, std::int32_t writeAddress, bool byteNumbering,
                          int position) {
  const std::string addr = HexText(static_cast<std::uint32_t>(readAddress) & 0xFFu) + ":" +
                           HexText(static_cast<std::uint32_t>(writeAddress) & 0xFFu);
  const int topBit = byteNumbering ? 7 : 15;
  unsigned mask = coverage;
  int inserted = 0;
  int runHigh = -1;
  // Nine looks at the top bit: the eight bits of the mask, then the one shifted
  // in, which closes a run still open at the lowest bit.
  for (int step = 0; step <= 8; ++step) {
    const bool covered = (mask & 0x80u) != 0;
    const int bitNumber = topBit - step;
    if (!covered && runHigh < 0) {
      runHigh = bitNumber;
    } else if (covered && runHigh >= 0) {
      const std::string line = "<bitfield label=\"unused\" addr=\"" + addr + "\" bit=\"" +
                               std::to_string(runHigh) + ":" + std::to_string(bitNumber + 1) +
                               "\" regbit=\"none\" attr=\"R\" value=\"0\" visible=\"false\" />";
      if (!store.AddLine(3, line, position)) {
        return -1;
      }
      ++inserted;
      runHigh = -1;
    }
    mask = ((mask << 1) | 1u) & 0xFFu;
  }
  return inserted;
}

}  // namespace kestrova::definition
