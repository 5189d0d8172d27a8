#pragma once
// Positions of list entries by register address, for lookups in constant
// time. Clearing is a generation bump, so a list of n entries costs O(n).

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kestrova::engine {

class AddressIndex {
 public:
  static constexpr int kNone = -1;

  // Forgets every position.
  void Clear() {
    if (++generation_ == 0) {
      std::fill(stamp_.begin(), stamp_.end(), 0u);
      generation_ = 1;
    }
  }
  void Set(std::int16_t address, int position) {
    const std::size_t slot = Slot(address);
    stamp_[slot] = generation_;
    position_[slot] = position;
  }
  int Find(std::int16_t address) const {
    const std::size_t slot = Slot(address);
    return stamp_[slot] == generation_ ? position_[slot] : kNone;
  }

 private:
  static constexpr std::size_t kSlots = 65536;
  static std::size_t Slot(std::int16_t address) { return static_cast<std::uint16_t>(address); }

  std::vector<std::uint32_t> stamp_ = std::vector<std::uint32_t>(kSlots, 0u);
  std::vector<int> position_ = std::vector<int>(kSlots, kNone);
  std::uint32_t generation_ = 1;
};

}  // namespace kestrova::engine
