// Common set-up of the library's tests: a fresh last-error text, no open
// devices, the fake device layer behind OpenDevice and instant sleeps.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dravik/dravik.h"
#include "fake_board.hpp"

namespace dravik::testing {

class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The last-error text up to its terminator.
  static std::string LastError();
  // All 256 bytes of it.
  static std::vector<char> LastErrorBytes();

  // Opens the fake layer's first board (adds a running 0x0400/0x1234 board
  // when none is set up); fails the test when it does not open.
  DeviceHandle OpenBoard();

  std::shared_ptr<FakeState> state = std::make_shared<FakeState>();
  std::vector<int> sleeps;
};

}  // namespace dravik::testing
