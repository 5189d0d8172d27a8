#include "emulator/smbus_controller.hpp"

namespace kestrova::emulator {
namespace {

constexpr uint32_t kBlockHeaderSize = 3;

}  // namespace

bool IsEmulatedSmbusPath(std::string_view path) {
  const size_t slash = path.rfind('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  return name == kSmbusDeviceName;
}

SmbusController::SmbusController(std::shared_ptr<Buses> buses, std::shared_ptr<FaultPlan> faults)
    : buses_(std::move(buses)), faults_(std::move(faults)) {}

bool SmbusController::Control(uint32_t code, uint8_t* block, uint32_t length, uint32_t* returned) {
  uint32_t ignored = 0;
  if (returned == nullptr) {
    returned = &ignored;
  }
  *returned = 0;
  ++requests_;
  const bool noRegister =
      code == dravik::smbus::kIoctlReadNoRegister || code == dravik::smbus::kIoctlWriteNoRegister;
  const bool read =
      code == dravik::smbus::kIoctlRead || code == dravik::smbus::kIoctlReadNoRegister;
  const bool write =
      code == dravik::smbus::kIoctlWrite || code == dravik::smbus::kIoctlWriteNoRegister;
  if ((!read && !write) || block == nullptr || length < kBlockHeaderSize) {
    return false;
  }
  const uint8_t address = block[0];
  const uint32_t n = block[2];
  const uint32_t expected = kBlockHeaderSize + (read ? n : 2 * n);
  if (length < expected) {
    return false;
  }
  // Every fault kind counts every well-formed request.
  const bool nak = faults_ && faults_->Fire(FaultKind::kNak);
  const bool timeout = faults_ && faults_->Fire(FaultKind::kTimeout);
  const bool shortReply = faults_ && faults_->Fire(FaultKind::kShortResponse);
  if (nak || timeout) {
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(buses_->Mutex());
    AddressedBus& bus = buses_->I2c();
    uint8_t* registers = block + kBlockHeaderSize;
    for (uint32_t i = 0; i < n;) {
      // As a real adapter does: two equal entries in a row are one 16-bit
      // register, carried as one word transfer.
      const size_t width = !noRegister && i + 1 < n && registers[i] == registers[i + 1] ? 2 : 1;
      bool acknowledged = false;
      if (noRegister) {
        acknowledged = read ? bus.ReadFromPointer(address, &registers[i], 1)
                            : bus.WriteWithPointer(address, &registers[n + i], 1);
      } else {
        acknowledged = read ? bus.ReadRegister(address, registers[i], &registers[i], width)
                            : bus.WriteRegister(address, registers[i], &registers[n + i], width);
      }
      if (!acknowledged) {
        return false;
      }
      i += static_cast<uint32_t>(width);
    }
  }
  *returned = expected;
  if (shortReply) {
    --*returned;
  }
  return true;
}

}  // namespace kestrova::emulator
