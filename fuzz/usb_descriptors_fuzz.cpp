// The USB device layer facing a board that answers with anything: either
// the configuration descriptor parser on the bytes themselves (an exact-size
// copy, so a read one byte past the end is a report), or OpenDevice and a
// read and write against a board whose every answer comes from the fuzzer:
// device, configuration and string descriptors, the driver's facts (names,
// versions, speed, alternate setting), firmware download requests and bulk
// transfers, with any status and any byte count.
//
// Properties: the parsed endpoint lists stay within their limits; every
// export returns 0 or 1 and a failure leaves a non-empty error text.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "dravik/dravik.h"
#include "drivers.hpp"
#include "fuzz_support.hpp"
#include "handle_table.hpp"
#include "last_error.hpp"
#include "sleep.hpp"
#include "usb/transfer_header.hpp"
#include "usb/usb_configuration.hpp"
#include "usb/usb_driver.hpp"

using namespace kestrova;
namespace usb = dravik::usb;

namespace {

const std::string& FirmwarePath() {
  static const std::string path = [] {
    return fuzz::WriteFirmwareImages("any", std::string(4096, '\x5A'));
  }();
  return path;
}

void ParseConfiguration(const fuzz::ExactCopy& copy, std::size_t skip) {
  const std::size_t length = copy.Size() - skip;
  // The descriptor alone in a block of its own size.
  std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[length]);
  if (length > 0) {
    std::memcpy(bytes.get(), copy.Data() + skip, length);
  }
  const auto configuration = usb::UsbConfiguration::Parse(bytes.get(), length, nullptr);
  if (!configuration) {
    return;
  }
  for (std::size_t i = 0; i < configuration->InterfaceCount(); ++i) {
    const usb::UsbInterface* interface = configuration->InterfaceAt(i);
    FUZZ_CHECK(interface != nullptr);
    FUZZ_CHECK(interface->EndpointCount() <= usb::kMaxEndpointsPerInterface);
    for (std::size_t e = 0; e < interface->EndpointCount(); ++e) {
      const usb::UsbEndpoint* endpoint = interface->EndpointAt(e);
      FUZZ_CHECK(endpoint != nullptr);
      FUZZ_CHECK(endpoint->Attributes() <= 3);
    }
  }
}

// A board whose every answer is the fuzzer's.
class AnyDriver : public usb::Driver {
 public:
  explicit AnyDriver(FuzzedDataProvider& input) : input_(input) {}

  usb::IoResult Control(std::uint32_t code, const std::uint8_t* in, std::uint32_t inLength,
                        std::uint8_t* out, std::uint32_t outLength, std::uint32_t* returned,
                        std::uint32_t) override {
    *returned = 0;
    // Out of input, the board stops answering.
    if (input_.remaining_bytes() == 0) {
      return usb::IoResult::kFailed;
    }
    switch (input_.ConsumeIntegralInRange(0, 9)) {
      case 0:
        return usb::IoResult::kFailed;
      case 1:
        return usb::IoResult::kTimeout;
      default:
        break;
    }
    if (code == usb::kIoctlAbortPipe || code == usb::kIoctlResetParentPort || out == nullptr ||
        outLength == 0) {
      return usb::IoResult::kDone;
    }
    const bool block = code == usb::kIoctlControlTransfer || code == usb::kIoctlBufferedTransfer;
    std::uint32_t offset = 0;
    if (block && inLength >= usb::kTransferHeaderSize && outLength >= usb::kTransferHeaderSize) {
      std::memcpy(out, in, usb::kTransferHeaderSize);
      const bool badStatus = input_.ConsumeIntegralInRange(0, 15) == 0;
      usb::WriteLe32(out + usb::kHeaderStatusOffset,
                     badStatus ? input_.ConsumeIntegral<std::uint32_t>() : 0);
      usb::WriteLe32(out + usb::kHeaderUsbdStatusOffset, 0);
      offset = usb::kTransferHeaderSize;
    }
    const bool toHost = !block || (in != nullptr && inLength > 0 && (in[0] & 0x80) != 0) ||
                        (in != nullptr && inLength > usb::kHeaderEndpointOffset &&
                         (in[usb::kHeaderEndpointOffset] & 0x80) != 0);
    std::uint32_t length = outLength - offset;
    if (toHost) {
      const auto bytes = input_.ConsumeBytes<std::uint8_t>(
          input_.ConsumeIntegralInRange<std::uint32_t>(0, outLength - offset));
      if (!bytes.empty()) {
        std::memcpy(out + offset, bytes.data(), bytes.size());
      }
      length = static_cast<std::uint32_t>(bytes.size());
    }
    *returned = offset + length;
    // Now and then a driver that miscounts.
    if (input_.ConsumeIntegralInRange(0, 15) == 0) {
      *returned = input_.ConsumeIntegralInRange<std::uint32_t>(0, outLength + 64);
    }
    return usb::IoResult::kDone;
  }

 private:
  FuzzedDataProvider& input_;
};

class AnyDriverClass : public usb::DriverClass {
 public:
  AnyDriverClass(FuzzedDataProvider& input, int count) : input_(input), count_(count) {}
  int Count() override { return count_; }
  std::unique_ptr<usb::Driver> Open(int index) override {
    if (index < 0 || index >= count_) {
      return nullptr;
    }
    return std::make_unique<AnyDriver>(input_);
  }

 private:
  FuzzedDataProvider& input_;
  int count_;
};

void CheckCall(std::uint8_t result) {
  FUZZ_CHECK(result == 0 || result == 1);
  if (result == 0) {
    char text[DRAVIK_ERROR_TEXT_SIZE];
    LastErrorDevice(text);
    FUZZ_CHECK(std::memchr(text, 0, sizeof text) != nullptr);
    FUZZ_CHECK(text[0] != 0);
  }
}

void OpenAnyBoard(FuzzedDataProvider& input) {
  dravik::ResetLastErrorForTesting();
  dravik::CloseAllOpenLinksForTesting();
  AnyDriverClass driverClass(input, input.ConsumeIntegralInRange(0, 3));
  dravik::SetUsbDriverClassForTesting(&driverClass);

  std::uint16_t vidPid[2] = {0, 0};
  if (input.ConsumeBool()) {
    vidPid[0] = input.ConsumeIntegral<std::uint16_t>();
    vidPid[1] = input.ConsumeIntegral<std::uint16_t>();
  }
  const std::uint8_t force = input.ConsumeBool() ? 1 : 0;
  DeviceHandle handle = -1;
  const std::uint8_t opened =
      OpenDevice(LINK_USB, "dravik", vidPid, force, FirmwarePath().c_str(), &handle);
  CheckCall(opened);
  if (opened == 1) {
    std::int16_t registers[3] = {0, 1, BOARD_REGISTER_BASE};
    std::uint8_t data[3] = {1, 2, 3};
    std::int16_t size = 3;
    CheckCall(ReadDevice(handle, 0, BUS_I2C, 0x48, registers, data, &size));
    FUZZ_CHECK(size == 3);
    CheckCall(WriteDevice(handle, 0, BUS_I2C, 0x48, registers, data, &size));
    size = 3;
    CheckCall(ReadDevice(handle, 0, BUS_STREAM, 0, registers, data, &size));
    FUZZ_CHECK(size >= 0 && size <= 3);
  }
  if (handle != -1) {
    CheckCall(CloseDevice(handle));
  }
  dravik::SetUsbDriverClassForTesting(nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  dravik::SetSleeperForTesting([](int) {});
  FirmwarePath();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::ExactCopy copy(data, size);
  if (size == 0) {
    return 0;
  }
  if ((data[0] & 1) == 0) {
    ParseConfiguration(copy, 1);
    return 0;
  }
  FuzzedDataProvider input(reinterpret_cast<const std::uint8_t*>(copy.Data()) + 1, size - 1);
  OpenAnyBoard(input);
  return 0;
}
