// ReadDevice and WriteDevice against the emulated board, with the fuzzer in
// the middle of the wire: it picks the calls (bus type, device address,
// count, register list, data) and, for every bulk transfer once the board is
// open, whether the board's answer passes, times out, fails, comes back with
// another length, with garbage in place of the response (stream length bytes
// included), or with bad status words; it also arms the emulator's faults.
//
// Properties: every call returns 0 or 1; a failure leaves a terminated,
// non-empty error text; a failed read leaves the caller's buffer untouched;
// a write never changes the count and a read only lowers it (streams);
// nothing is read or written outside the caller's exact-size buffers.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "dravik/dravik.h"
#include "drivers.hpp"
#include "emulator/emulator.hpp"
#include "emulator/register_chip.hpp"
#include "fuzz_support.hpp"
#include "handle_table.hpp"
#include "last_error.hpp"
#include "sleep.hpp"
#include "usb/transfer_header.hpp"
#include "usb/usb_driver.hpp"

using namespace kestrova;
namespace usb = dravik::usb;

namespace {

constexpr std::uint16_t kVendor = 0x0400;
constexpr std::uint16_t kProduct = 0x1100;
constexpr int kMaxCalls = 24;
constexpr int kLargestCount = 1100;  // beyond one pass of 1024 entries

const std::string& FirmwarePath() {
  static const std::string path = [] {
    std::string image(4096, '\0');
    for (std::size_t i = 0; i < image.size(); ++i) {
      image[i] = static_cast<char>(i * 13);
    }
    return fuzz::WriteFirmwareImages("board", image);
  }();
  return path;
}

// What the fuzzer does to one bulk transfer.
enum class Wire : std::uint8_t {
  kPass,
  kTimeout,
  kFail,
  kOtherLength,
  kGarbage,
  kBadStatus,
  kMaxValue = kBadStatus
};

class FuzzedDriver : public usb::Driver {
 public:
  FuzzedDriver(std::unique_ptr<usb::Driver> inner, FuzzedDataProvider& input, const bool& armed)
      : inner_(std::move(inner)), input_(input), armed_(armed) {}

  usb::IoResult Control(std::uint32_t code, const std::uint8_t* in, std::uint32_t inLength,
                        std::uint8_t* out, std::uint32_t outLength, std::uint32_t* returned,
                        std::uint32_t timeoutMs) override {
    const bool bulk = code == usb::kIoctlDirectTransfer || code == usb::kIoctlBufferedTransfer;
    if (!armed_ || !bulk || inLength < usb::kTransferHeaderSize || input_.remaining_bytes() == 0) {
      return inner_->Control(code, in, inLength, out, outLength, returned, timeoutMs);
    }
    const bool incoming = (in[usb::kHeaderEndpointOffset] & 0x80) != 0;
    const bool buffered = code == usb::kIoctlBufferedTransfer;
    const std::uint32_t offset = buffered ? usb::kTransferHeaderSize : 0;
    switch (input_.ConsumeEnum<Wire>()) {
      case Wire::kPass:
        break;
      case Wire::kTimeout:
        *returned = 0;
        return usb::IoResult::kTimeout;
      case Wire::kFail:
        *returned = 0;
        return usb::IoResult::kFailed;
      case Wire::kOtherLength: {
        const usb::IoResult result =
            inner_->Control(code, in, inLength, out, outLength, returned, timeoutMs);
        *returned = input_.ConsumeIntegralInRange<std::uint32_t>(0, outLength + 70);
        return result;
      }
      case Wire::kGarbage: {
        // The board is not asked: whatever it queued stays queued.
        if (out == nullptr || outLength < offset) {
          return usb::IoResult::kFailed;
        }
        if (buffered) {
          std::memcpy(out, in, usb::kTransferHeaderSize);
          std::memset(out + usb::kHeaderStatusOffset, 0, 8);
        }
        const std::uint32_t room = outLength - offset;
        const std::uint32_t length =
            incoming ? input_.ConsumeIntegralInRange<std::uint32_t>(0, room) : room;
        if (incoming) {
          const std::vector<std::uint8_t> bytes = input_.ConsumeBytes<std::uint8_t>(length);
          if (!bytes.empty()) {
            std::memcpy(out + offset, bytes.data(), bytes.size());
          }
          *returned = offset + static_cast<std::uint32_t>(bytes.size());
        } else {
          *returned = offset + length;
        }
        return usb::IoResult::kDone;
      }
      case Wire::kBadStatus: {
        const usb::IoResult result =
            inner_->Control(code, in, inLength, out, outLength, returned, timeoutMs);
        if (buffered && out != nullptr && outLength >= usb::kTransferHeaderSize) {
          usb::WriteLe32(out + usb::kHeaderStatusOffset, input_.ConsumeIntegral<std::uint32_t>());
          usb::WriteLe32(out + usb::kHeaderUsbdStatusOffset,
                         input_.ConsumeIntegral<std::uint32_t>());
        }
        return result;
      }
    }
    return inner_->Control(code, in, inLength, out, outLength, returned, timeoutMs);
  }

 private:
  std::unique_ptr<usb::Driver> inner_;
  FuzzedDataProvider& input_;
  const bool& armed_;
};

class FuzzedDriverClass : public usb::DriverClass {
 public:
  FuzzedDriverClass(usb::DriverClass& inner, FuzzedDataProvider& input)
      : inner_(inner), input_(input) {}
  int Count() override { return inner_.Count(); }
  std::unique_ptr<usb::Driver> Open(int index) override {
    auto driver = inner_.Open(index);
    if (!driver) {
      return nullptr;
    }
    return std::make_unique<FuzzedDriver>(std::move(driver), input_, armed);
  }
  bool armed = false;

 private:
  usb::DriverClass& inner_;
  FuzzedDataProvider& input_;
};

void SetUpBench(emulator::Emulator& bench, FuzzedDataProvider& input) {
  auto chip = std::make_shared<emulator::RegisterChip>("fuzz");
  for (std::uint16_t a = 0; a < 16; ++a) {
    chip->DefineField(a, a, 7, 0, static_cast<std::uint32_t>(0x30 + a), a % 3 != 0);
    chip->DefineField(static_cast<std::uint16_t>(0x100 + a), static_cast<std::uint16_t>(0x100 + a),
                      7, 0, a, true);
  }
  auto& buses = *bench.GetBuses();
  buses.I2c().Attach(0x48, chip);
  buses.SingleWire().Attach(3, chip);
  buses.Spi().Attach(0x20, chip);
  buses.Microwire().Attach(chip);
  buses.Qx3Test().Attach(chip);
  buses.Stream().Push(input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(0, 300)));
  if (input.ConsumeBool()) {
    buses.Stream().SetRepeat(input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(0, 8)));
  }
}

std::int16_t PickBusType(FuzzedDataProvider& input) {
  static constexpr std::array<std::int16_t, 9> kTypes = {
      BUS_BOARD,  BUS_MICROWIRE,  BUS_I2C, BUS_SMBUS,  BUS_SINGLEWIRE,
      BUS_STREAM, BUS_MICROWIRE4, BUS_SPI, BUS_QX3TEST};
  const auto pick = input.ConsumeIntegralInRange<std::size_t>(0, kTypes.size());
  return pick < kTypes.size() ? kTypes[pick] : input.ConsumeIntegral<std::int16_t>();
}

std::int16_t PickAddress(FuzzedDataProvider& input) {
  static constexpr std::array<std::int16_t, 4> kAddresses = {0x48, 3, 0x20, 0};
  const auto pick = input.ConsumeIntegralInRange<std::size_t>(0, kAddresses.size());
  return pick < kAddresses.size() ? kAddresses[pick] : input.ConsumeIntegral<std::int16_t>();
}

void FillRegisters(FuzzedDataProvider& input, std::int16_t* registers, int count) {
  const auto form = input.ConsumeIntegralInRange(0, 4);
  const auto start = input.ConsumeIntegral<std::int16_t>();
  for (int i = 0; i < count; ++i) {
    switch (form) {
      case 0:  // consecutive chip registers
        registers[i] = static_cast<std::int16_t>((start & 0xFF) + i);
        break;
      case 1:  // a 16-bit register: equal entries
        registers[i] = static_cast<std::int16_t>(start & 0x3FF);
        break;
      case 2:  // chip and board registers mixed
        registers[i] = static_cast<std::int16_t>(i % 2 == 0 ? (i & 0xFF) : 1024 + i);
        break;
      case 3:  // no register address
        registers[i] = i == 0 ? NO_REGISTER_ADDRESS : static_cast<std::int16_t>(i);
        break;
      default:
        registers[i] = input.ConsumeIntegral<std::int16_t>();
        break;
    }
  }
}

void CheckFailureText() {
  char text[DRAVIK_ERROR_TEXT_SIZE];
  std::memset(text, 0x7E, sizeof text);
  FUZZ_CHECK(LastErrorDevice(text) == 1);
  FUZZ_CHECK(std::memchr(text, 0, sizeof text) != nullptr);
  FUZZ_CHECK(text[0] != 0);
}

void OneCall(FuzzedDataProvider& input, DeviceHandle handle) {
  const bool read = input.ConsumeBool();
  const auto port = input.ConsumeIntegral<std::uint8_t>();
  const std::int16_t busType = PickBusType(input);
  const std::int16_t address = PickAddress(input);
  const int count = input.ConsumeBool() ? input.ConsumeIntegralInRange(0, 70)
                                        : input.ConsumeIntegralInRange(-2, kLargestCount);
  const std::size_t entries = count > 0 ? static_cast<std::size_t>(count) : 0;
  // Exact-size buffers: one entry too far is an address sanitizer report.
  std::unique_ptr<std::int16_t[]> registers(new std::int16_t[entries]);
  std::unique_ptr<std::uint8_t[]> data(new std::uint8_t[entries]);
  FillRegisters(input, registers.get(), count);
  for (std::size_t i = 0; i < entries; ++i) {
    data[i] = static_cast<std::uint8_t>(i * 7 + 1);
  }
  const std::vector<std::uint8_t> dataBefore(data.get(), data.get() + entries);
  std::int16_t dataSize = static_cast<std::int16_t>(count);

  const std::uint8_t result =
      read ? ReadDevice(handle, port, busType, address, registers.get(), data.get(), &dataSize)
           : WriteDevice(handle, port, busType, address, registers.get(), data.get(), &dataSize);
  FUZZ_CHECK(result == 0 || result == 1);
  if (result == 0) {
    CheckFailureText();
  }
  if (!read) {
    FUZZ_CHECK(dataSize == count);
    FUZZ_CHECK(std::equal(dataBefore.begin(), dataBefore.end(), data.get()));
    return;
  }
  if (result == 0) {
    FUZZ_CHECK(dataSize == count);
    FUZZ_CHECK(std::equal(dataBefore.begin(), dataBefore.end(), data.get()));
  } else if (busType == BUS_STREAM) {
    FUZZ_CHECK(dataSize >= 0 && dataSize <= count);
  } else {
    FUZZ_CHECK(dataSize == count);
  }
}

void ArmFault(FuzzedDataProvider& input, emulator::Board& board) {
  const auto kind = static_cast<emulator::FaultKind>(
      input.ConsumeIntegralInRange<std::size_t>(0, emulator::kFaultKindCount - 1));
  board.Faults().Arm(kind, input.ConsumeIntegralInRange<std::uint32_t>(1, 4));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  dravik::SetSleeperForTesting([](int) {});
  FirmwarePath();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::ExactCopy copy(data, size);
  FuzzedDataProvider input(reinterpret_cast<const std::uint8_t*>(copy.Data()), copy.Size());
  dravik::ResetLastErrorForTesting();
  dravik::CloseAllOpenLinksForTesting();

  emulator::Emulator bench;
  const auto boardClass =
      input.ConsumeBool() ? emulator::BoardClass::kHighSpeed : emulator::BoardClass::kFullSpeed;
  emulator::Board& board = bench.AddBoard(boardClass, {kVendor, kProduct});
  SetUpBench(bench, input);
  FuzzedDriverClass driverClass(bench.UsbClass(), input);
  dravik::SetUsbDriverClassForTesting(&driverClass);

  std::uint16_t vidPid[2] = {kVendor, kProduct};
  DeviceHandle handle = -1;
  FUZZ_CHECK(OpenDevice(LINK_USB, "dravik", vidPid, 0, FirmwarePath().c_str(), &handle) == 1);
  driverClass.armed = true;

  for (int call = 0; call < kMaxCalls && input.remaining_bytes() > 0; ++call) {
    if (input.ConsumeIntegralInRange(0, 7) == 7) {
      ArmFault(input, board);
    } else {
      OneCall(input, handle);
    }
  }
  FUZZ_CHECK(CloseDevice(handle) == 1);
  dravik::SetUsbDriverClassForTesting(nullptr);
  return 0;
}
