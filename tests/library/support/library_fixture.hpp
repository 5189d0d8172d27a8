// Common set-up of the library's tests: a fresh last-error text, no open
// devices, instant sleeps, a folder of its own (the SMBus controller lock and
// the packet trace in it), and OpenDevice's board object over the scripted
// board (usb/fake_board.hpp), its calls recorded.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../app/markup/temp_folder.hpp"
#include "dravik/dravik.h"
#include "usb/fake_board.hpp"

namespace dravik::testing {

using Bytes = std::vector<uint8_t>;
using usb::testing::EvaluationConfiguration;

std::string Hex(const Bytes& bytes);
// Hexadecimal numbers separated by blanks; "-1" is -1, "10..13" is 10 11 12 13.
std::vector<long> Numbers(const std::string& text);
Bytes BytesOf(const std::string& text);

class LibraryTest : public ::testing::Test {
 protected:
  LibraryTest();
  void SetUp() override;
  void TearDown() override;

  // The last-error text up to its terminator.
  static std::string LastError();
  // All 256 bytes of it.
  static std::vector<char> LastErrorBytes();

  // The packet trace lines written since the last call, without their time
  // stamps (the trace is on from SetUp).
  std::vector<std::string> NewTraceLines();

  // Opens the board (a running 0400:1234 unless set up otherwise); fails the
  // test when it does not open.
  DeviceHandle OpenBoard();
  // OpenDevice on the USB link for a board of any identity.
  static uint8_t OpenAny(DeviceHandle* handle);
  // ReadDevice (or WriteDevice) of I2C register 0 at 0x48, count 0 or 1.
  static uint8_t TransferOne(DeviceHandle handle, bool write = false, int16_t count = 1);

  kestrova::testing::TempFolder folder;
  std::size_t traceLinesSeen = 0;
  usb::testing::FakeBoard board;
  usb::testing::FakeDriverClass boards;
  usb::DriverClass* driverClass = &boards;  // the boards OpenDevice's board object sees
  // The board object's calls: "Count, Open 0, Reset, LoadFirmware VID PID LENGTH".
  std::string calls;
  bool destroyed = false;  // the board object of the last OpenDevice is gone
  bool throwing = false;   // its endpoints throw std::bad_alloc
  std::string sleeps;      // the milliseconds slept, blank between
};

}  // namespace dravik::testing
