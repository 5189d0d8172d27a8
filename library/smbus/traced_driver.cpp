#include "smbus/traced_driver.hpp"

#include <cstdio>

#include "packet_trace.hpp"

namespace dravik::smbus {

bool TracedDriver::Control(uint32_t code, uint8_t* block, uint32_t length, uint32_t* returned) {
  uint32_t moved = 0;
  const bool ok = inner_->Control(code, block, length, &moved);
  if (returned != nullptr) {
    *returned = moved;
  }
  char target[32];
  std::snprintf(target, sizeof target, "code=0x%06x", code);
  TraceRecord record;
  record.link = "smbus";
  record.target = target;
  // A read block comes back with the values in place of the register bytes.
  const bool read = code == kIoctlRead || code == kIoctlReadNoRegister;
  record.direction = read ? "in" : "out";
  record.moved = moved;
  record.asked = length;
  record.bytes = block;
  record.byteCount = block != nullptr ? length : 0;
  record.result = ok ? TraceResult::kOk : TraceResult::kFailed;
  TraceTransfer(record);
  return ok;
}

}  // namespace dravik::smbus
