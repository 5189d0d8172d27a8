// The SMBus-controller link: ReadDevice/WriteDevice with bus type BUS_SMBUS
// on a handle opened with LINK_SMBUS. Each transfer is one request block,
// used in place for input and output, handed to the controller driver while
// the controller lock is held.
#pragma once

#include <cstdint>
#include <memory>

#include "messages.hpp"
#include "smbus/controller_lock.hpp"
#include "smbus/smbus_driver.hpp"

namespace dravik::smbus {

// Entries one request block carries (its count is one byte).
constexpr int kMaxBlockEntries = 255;
constexpr int kMaxBlockSize = kBlockHeaderSize + 2 * kMaxBlockEntries;
// Longest driver name taken. The path buffer is a few bytes over 256 because
// "/dev/" is one character longer than the prefix the name limit was made for.
constexpr int kMaxDriverNameLength = 250;
constexpr int kDriverPathSize = 5 + kMaxDriverNameLength + 1 + 1;

class Link {
 public:
  Link(std::unique_ptr<ControllerLock> lock, std::unique_ptr<Driver> driver);
  ~Link();
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  // The block of register entries 1023 or less; entries above are skipped
  // and their data bytes left as they were. A first entry of
  // NO_REGISTER_ADDRESS sends the block with the NoRegister codes.
  bool Read(uint8_t port, int16_t deviceAddress, const int16_t* registers, uint8_t* data,
            int16_t count);
  bool Write(uint8_t port, int16_t deviceAddress, const int16_t* registers, const uint8_t* data,
             int16_t count);
  // Closes the driver, then the lock file; false when a close failed.
  bool Close();

 private:
  // One request block to the driver under the controller lock.
  bool SendBlock(const messages::TransferTexts& texts, uint32_t code, uint8_t* block,
                 uint32_t length);

  std::unique_ptr<ControllerLock> lock_;
  std::unique_ptr<Driver> driver_;
};

// "/dev/" + driverName + "0"; driverName itself when it begins with "/";
// "/dev/i2c-" + driverName when it is an adapter number ("1").
// False when the name is longer than kMaxDriverNameLength.
bool FormatDriverPath(const char* driverName, char (&path)[kDriverPathSize]);

// OpenDevice with LINK_SMBUS: the lock file, then the driver. On failure the
// last error holds the reason and nullptr is returned.
std::unique_ptr<Link> OpenLink(const char* driverName);

}  // namespace dravik::smbus
