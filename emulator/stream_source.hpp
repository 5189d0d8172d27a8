// The board's byte stream (read with the stream bus type): a queue of bytes
// that reads drain. With a repeat pattern set, the queue refills from it and
// the stream never ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace kestrova::emulator {

class StreamSource {
 public:
  void Push(const std::vector<uint8_t>& bytes);
  void SetRepeat(std::vector<uint8_t> pattern);
  void Clear();
  size_t Available() const { return queue_.size(); }
  // Moves up to `max` bytes out of the stream; returns how many.
  size_t Take(uint8_t* out, size_t max);

 private:
  std::deque<uint8_t> queue_;
  std::vector<uint8_t> repeat_;
};

}  // namespace kestrova::emulator
