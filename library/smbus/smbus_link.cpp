#include "smbus/smbus_link.hpp"

#include <cstdio>
#include <cstring>
#include <utility>

#include "dravik/dravik.h"
#include "drivers.hpp"
#include "last_error.hpp"
#include "messages.hpp"
#include "packet_trace.hpp"
#include "smbus/traced_driver.hpp"

namespace dravik::smbus {
namespace {

constexpr int kUnitNumber = 0;
constexpr int16_t kMaxDeviceAddress = 127;

bool Fail(const char* message) {
  SetLastError(message);
  return false;
}

// The checks both directions make, in order, before the lock is touched.
bool CheckTransfer(const messages::TransferTexts& texts, int16_t deviceAddress, int16_t count) {
  // Compared unsigned: a negative address is no bus address either.
  if (static_cast<uint16_t>(deviceAddress) > kMaxDeviceAddress) {
    return Fail(texts.addressAbove7f);
  }
  if (count > kMaxBlockEntries) {
    return Fail(texts.dataSizeAboveFf);
  }
  return true;
}

}  // namespace

Link::Link(std::unique_ptr<ControllerLock> lock, std::unique_ptr<Driver> driver)
    : lock_(std::move(lock)), driver_(std::move(driver)) {}

Link::~Link() {
  Close();
}

bool Link::Read(uint8_t port, int16_t deviceAddress, const int16_t* registers, uint8_t* data,
                int16_t count) {
  const messages::TransferTexts& texts = messages::kRead;
  if (!CheckTransfer(texts, deviceAddress, count)) {
    return false;
  }
  uint8_t block[kMaxBlockSize];
  int n = 0;
  for (int i = 0; i < count; ++i) {
    if (registers[i] < BOARD_REGISTER_BASE) {
      block[kBlockHeaderSize + n++] = static_cast<uint8_t>(registers[i]);
    }
  }
  block[0] = static_cast<uint8_t>(deviceAddress);
  block[1] = port;
  block[2] = static_cast<uint8_t>(n);
  const uint32_t length = kBlockHeaderSize + static_cast<uint32_t>(n);
  const uint32_t code = registers[0] == NO_REGISTER_ADDRESS ? kIoctlReadNoRegister : kIoctlRead;
  if (!SendBlock(texts, code, block, length)) {
    return false;
  }
  int taken = 0;
  for (int i = 0; i < count; ++i) {
    if (registers[i] < BOARD_REGISTER_BASE) {
      data[i] = block[kBlockHeaderSize + taken++];
    }
  }
  return true;
}

bool Link::Write(uint8_t port, int16_t deviceAddress, const int16_t* registers, const uint8_t* data,
                 int16_t count) {
  const messages::TransferTexts& texts = messages::kWrite;
  if (!CheckTransfer(texts, deviceAddress, count)) {
    return false;
  }
  int n = 0;
  for (int i = 0; i < count; ++i) {
    if (registers[i] < BOARD_REGISTER_BASE) {
      ++n;
    }
  }
  uint8_t block[kMaxBlockSize];
  block[0] = static_cast<uint8_t>(deviceAddress);
  block[1] = port;
  block[2] = static_cast<uint8_t>(n);
  int kept = 0;
  for (int i = 0; i < count; ++i) {
    if (registers[i] < BOARD_REGISTER_BASE) {
      block[kBlockHeaderSize + kept] = static_cast<uint8_t>(registers[i]);
      block[kBlockHeaderSize + n + kept] = data[i];
      ++kept;
    }
  }
  const uint32_t length = kBlockHeaderSize + 2 * static_cast<uint32_t>(n);
  const uint32_t code = registers[0] == NO_REGISTER_ADDRESS ? kIoctlWriteNoRegister : kIoctlWrite;
  return SendBlock(texts, code, block, length);
}

// The lock is taken before the driver call and given back before any driver
// failure is reported, so a failing transfer never leaves the controller held.
bool Link::SendBlock(const messages::TransferTexts& texts, uint32_t code, uint8_t* block,
                     uint32_t length) {
  if (!lock_->Acquire(kLockWaitMs)) {
    return Fail(texts.cantGetMutex);
  }
  LockOwnership ownership(*lock_);
  uint32_t returned = 0;
  const bool sent = driver_->Control(code, block, length, &returned);
  if (!ownership.Release()) {
    return Fail(texts.cantReleaseMutex);
  }
  if (!sent) {
    return Fail(texts.driverFailed);
  }
  if (returned != length) {
    return Fail(texts.wrongDriverCount);
  }
  return true;
}

bool Link::Close() {
  driver_.reset();
  if (!lock_) {
    return true;
  }
  const bool closed = lock_->Close();
  lock_.reset();
  return closed;
}

bool FormatDriverPath(const char* driverName, char (&path)[kDriverPathSize]) {
  const std::size_t length = std::strlen(driverName);
  if (length > static_cast<std::size_t>(kMaxDriverNameLength)) {
    return false;
  }
  // An adapter number as i2c-tools take it: "1" is /dev/i2c-1.
  const bool busNumber = length > 0 && std::strspn(driverName, "0123456789") == length;
  const int written = driverName[0] == '/' ? std::snprintf(path, sizeof path, "%s", driverName)
                      : busNumber
                          ? std::snprintf(path, sizeof path, "/dev/i2c-%s", driverName)
                          : std::snprintf(path, sizeof path, "/dev/%s%d", driverName, kUnitNumber);
  return written > 0 && static_cast<std::size_t>(written) < sizeof path;
}

std::unique_ptr<Link> OpenLink(const char* driverName) {
  char path[kDriverPathSize];
  if (!FormatDriverPath(driverName, path)) {
    SetLastError(messages::kDriverNameTooLong);
    return nullptr;
  }
  auto lock = std::make_unique<ControllerLock>();
  if (!lock->Create(LockFilePath())) {
    SetLastError(messages::kCantCreateMutex);
    return nullptr;
  }
  std::unique_ptr<Driver> driver = OpenSmbusDriver(path);
  if (!driver) {
    SetLastError(messages::kCantOpenSmbusDriver);
    return nullptr;
  }
  if (TraceEnabled()) {
    driver = std::make_unique<TracedDriver>(std::move(driver));
  }
  return std::make_unique<Link>(std::move(lock), std::move(driver));
}

}  // namespace dravik::smbus
