// Common set-up of the library's tests: a fresh last-error text, no open
// devices, instant sleeps, a folder of its own (the SMBus controller lock and
// the packet trace in it), and OpenDevice's board object, its calls recorded,
// over the emulator's faithful board (or the scripted one of
// usb/fake_board.hpp, for what a faithful board never does).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../../app/markup/temp_folder.hpp"
#include "dravik/dravik.h"
#include "emulator/emulator.hpp"
#include "usb/fake_board.hpp"

namespace dravik::testing {

using Bytes = std::vector<uint8_t>;
using usb::testing::EvaluationConfiguration;

std::string Hex(const Bytes& bytes);
// Hexadecimal numbers separated by blanks; "-1" is -1, "10..13" is 10 11 12 13.
std::vector<long> Numbers(const std::string& text);
Bytes BytesOf(const std::string& text);
// The image with this board identity at 0x0F08, as the download writes it.
Bytes ImageOf(uint16_t vendor, uint16_t product, Bytes image = Bytes(4096));

// A chip whose every byte starts as the low byte of its own address.
class MemoryChip : public kestrova::emulator::Chip {
 public:
  uint8_t ReadByte(uint16_t address) override { return bytes_[address]; }
  void WriteByte(uint16_t address, uint8_t value) override { bytes_[address] = value; }

 private:
  std::vector<uint8_t> bytes_ = BytesOf("0..FF 0..FF 0..FF 0..FF");
};

// The emulator's board running the firmware as 0400:1234, memory chips at
// I2C 0x48, 0x50 and 0x7F, board registers 0x400 to 0x40F holding B0 to BF.
struct EmulatedBench {
  EmulatedBench();
  kestrova::emulator::Emulator emulator;
};

class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The last-error text up to its terminator.
  static std::string LastError();
  // All 256 bytes of it.
  static std::vector<char> LastErrorBytes();

  // The packet trace lines written since the last call, without their time
  // stamps (the trace is on from SetUp).
  std::vector<std::string> NewTraceLines();
  // The data of the bulk OUT transfers among them.
  std::vector<Bytes> SentPackets();

  // Opens the board (the bench's unless set up otherwise); fails the test
  // when it does not open.
  DeviceHandle OpenBoard();
  // OpenDevice on the USB link for a board of any identity.
  static uint8_t OpenAny(DeviceHandle* handle);
  // ReadDevice (or WriteDevice) of I2C register 0 at 0x48, count 0 or 1.
  static uint8_t TransferOne(DeviceHandle handle, bool write = false, int16_t count = 1);

  kestrova::testing::TempFolder folder;
  std::size_t traceLinesSeen = 0;
  std::unique_ptr<EmulatedBench> bench = std::make_unique<EmulatedBench>();
  usb::testing::FakeBoard board;
  // The boards OpenDevice's board object sees.
  usb::DriverClass* driverClass = &bench->emulator.UsbClass();
  // The board object's calls: "Count, Open 0, Reset" (the download shows on the board).
  std::string calls;
  bool destroyed = false;  // the board object of the last OpenDevice is gone
  bool throwing = false;   // its endpoints throw std::bad_alloc
  std::string sleeps;      // the milliseconds slept, blank between
};

}  // namespace dravik::testing
