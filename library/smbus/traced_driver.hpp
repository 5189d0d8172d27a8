// An SMBus controller driver that writes one packet-trace line per request
// block and passes it on unchanged; the link puts it in front of whichever
// driver it opened (i2c-dev or the emulated controller) when the trace is on.
#pragma once

#include <memory>

#include "smbus/smbus_driver.hpp"

namespace dravik::smbus {

class TracedDriver : public Driver {
 public:
  explicit TracedDriver(std::unique_ptr<Driver> inner) : inner_(std::move(inner)) {}
  bool Control(uint32_t code, uint8_t* block, uint32_t length, uint32_t* returned) override;

 private:
  std::unique_ptr<Driver> inner_;
};

}  // namespace dravik::smbus
