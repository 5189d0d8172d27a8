// The emulated boards behind the library's board driver interface: each
// Control call is decoded as the board driver would (control codes, the
// 38-byte transfer header) and carried out on a Board. A request the board
// keeps answering with NAK ends at once as a time-out: the library's abort
// then cancels it, so tests never wait for the real 10 s.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "emulator/board.hpp"
#include "usb/usb_driver.hpp"

namespace kestrova::emulator {

// Byte offsets of the transfer header.
namespace header {
constexpr size_t kSetup = 0;  // bmRequestType, bRequest, wValue, wIndex, wLength
constexpr size_t kTimeoutSeconds = 8;
constexpr size_t kEndpoint = 13;
constexpr size_t kStatus1 = 14;
constexpr size_t kStatus2 = 18;
constexpr size_t kBufferOffset = 30;
constexpr size_t kBufferLength = 34;
}  // namespace header

constexpr uint32_t kStatusStall = 0xC0000004;
constexpr uint32_t kStatusDeviceGone = 0xC0000005;
constexpr uint32_t kStatusBabble = 0xC0000012;
constexpr uint32_t kEmulatedDriverVersion = 0x01060000;
constexpr uint32_t kEmulatedStackVersion = 0x00020000;
constexpr uint32_t kSpeedFull = 1;
constexpr uint32_t kSpeedHigh = 2;

class EmulatedDriverClass : public dravik::usb::DriverClass {
 public:
  EmulatedDriverClass() = default;
  explicit EmulatedDriverClass(std::vector<std::shared_ptr<Board>> boards);

  void AddBoard(std::shared_ptr<Board> board);
  const std::vector<std::shared_ptr<Board>>& Boards() const { return boards_; }
  // The version the driver reports (below 0x01050500 the library falls back
  // to buffered transfers).
  void SetDriverVersion(uint32_t version) { driverVersion_ = version; }
  uint32_t DriverVersion() const { return driverVersion_; }
  // Control calls made through this class's drivers, for tests.
  uint32_t Calls() const { return calls_; }

  // The boards present now; disconnected boards that replug on a search
  // come back (as bare cores) here.
  int Count() override;
  // Board n among the present ones; nullptr when there is none.
  std::unique_ptr<dravik::usb::Driver> Open(int index) override;
  bool Emulated() const override { return true; }

  void CountCall() { ++calls_; }

 private:
  std::vector<std::shared_ptr<Board>> boards_;
  uint32_t driverVersion_ = kEmulatedDriverVersion;
  uint32_t calls_ = 0;
};

// One open handle on a board. It reaches the board only as long as the board
// stays the one it opened: after a disconnect or a re-enumeration every
// request fails, as with a stale driver handle.
class EmulatedDriver : public dravik::usb::Driver {
 public:
  EmulatedDriver(EmulatedDriverClass& owner, std::shared_ptr<Board> board, int index);

  dravik::usb::IoResult Control(uint32_t code, const uint8_t* in, uint32_t inLength, uint8_t* out,
                                uint32_t outLength, uint32_t* returned,
                                uint32_t timeoutMs) override;

 private:
  dravik::usb::IoResult ControlTransfer(const uint8_t* in, uint32_t inLength, uint8_t* out,
                                        uint32_t outLength, uint32_t* returned);
  dravik::usb::IoResult BufferedTransfer(const uint8_t* in, uint32_t inLength, uint8_t* out,
                                         uint32_t outLength, uint32_t* returned);
  dravik::usb::IoResult DirectTransfer(const uint8_t* in, uint32_t inLength, uint8_t* out,
                                       uint32_t outLength, uint32_t* returned);

  EmulatedDriverClass& owner_;
  std::shared_ptr<Board> board_;
  int index_;
  uint32_t generation_;
};

}  // namespace kestrova::emulator
