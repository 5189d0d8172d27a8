#include "emulator/stream_source.hpp"

namespace kestrova::emulator {

void StreamSource::Push(const std::vector<uint8_t>& bytes) {
  queue_.insert(queue_.end(), bytes.begin(), bytes.end());
}

void StreamSource::SetRepeat(std::vector<uint8_t> pattern) {
  repeat_ = std::move(pattern);
}

void StreamSource::Clear() {
  queue_.clear();
  repeat_.clear();
}

size_t StreamSource::Take(uint8_t* out, size_t max) {
  size_t taken = 0;
  while (taken < max) {
    if (queue_.empty()) {
      if (repeat_.empty()) {
        break;
      }
      queue_.insert(queue_.end(), repeat_.begin(), repeat_.end());
    }
    out[taken++] = queue_.front();
    queue_.pop_front();
  }
  return taken;
}

}  // namespace kestrova::emulator
