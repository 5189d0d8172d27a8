// The emulated SMBus controller behind the library's SMBus driver interface.
// It serves the request block (device address, port, n, n register bytes,
// then n data bytes for a write) with one byte-data transfer per entry on
// the same I2C chips as the board, the way the i2c-dev driver carries it
// out. A chip that does not acknowledge fails the request, as the kernel's
// driver fails the call. The port byte is taken but not used: the
// controller has one bus.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "emulator/buses.hpp"
#include "emulator/faults.hpp"
#include "smbus/smbus_driver.hpp"

namespace kestrova::emulator {

// The unit the library opens by default (driver name "dravik_i2c", unit 0).
constexpr std::string_view kSmbusDeviceName = "dravik_i2c0";

// True for a driver path naming the emulated controller: "dravik_i2c0",
// optionally behind a folder ("/dev/dravik_i2c0").
bool IsEmulatedSmbusPath(std::string_view path);

class SmbusController : public dravik::smbus::Driver {
 public:
  explicit SmbusController(std::shared_ptr<Buses> buses, std::shared_ptr<FaultPlan> faults = {});

  // Faults taken here: nak and timeout fail the request (per request), short
  // hands back one byte less than the block (per request).
  bool Control(uint32_t code, uint8_t* block, uint32_t length, uint32_t* returned) override;

  uint32_t Requests() const { return requests_; }

 private:
  std::shared_ptr<Buses> buses_;
  std::shared_ptr<FaultPlan> faults_;
  uint32_t requests_ = 0;
};

}  // namespace kestrova::emulator
