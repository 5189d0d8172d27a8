// A board driver that writes one packet-trace line per request and passes the
// request on unchanged. UsbDevice puts it in front of whichever driver it
// opened (libusb or the emulated board) when the trace is on.
#pragma once

#include <memory>

#include "usb/usb_driver.hpp"

namespace dravik::usb {

class TracedDriver : public Driver {
 public:
  explicit TracedDriver(std::unique_ptr<Driver> inner) : inner_(std::move(inner)) {}
  IoResult Control(uint32_t code, const uint8_t* in, uint32_t inLength, uint8_t* out,
                   uint32_t outLength, uint32_t* returned, uint32_t timeoutMs) override;

 private:
  std::unique_ptr<Driver> inner_;
};

// Writes the trace line of one finished request (the decoding of the control
// codes and transfer header into endpoint, direction and data bytes).
void TraceUsbRequest(uint32_t code, const uint8_t* in, uint32_t inLength, const uint8_t* out,
                     uint32_t outLength, uint32_t returned, IoResult result);

}  // namespace dravik::usb
