#include "library_fixture.hpp"

#include "drivers.hpp"
#include "handle_table.hpp"
#include "last_error.hpp"
#include "sleep.hpp"

namespace dravik::testing {

void LibraryTest::SetUp() {
  ResetLastErrorForTesting();
  CloseAllOpenLinksForTesting();
  SetDeviceFactoryForTesting([this] { return std::make_unique<FakeDevice>(state); });
  SetSleeperForTesting([this](int ms) { sleeps.push_back(ms); });
}

void LibraryTest::TearDown() {
  CloseAllOpenLinksForTesting();
  SetDeviceFactoryForTesting(nullptr);
  SetSmbusOpenerForTesting(nullptr);
  SetSleeperForTesting(nullptr);
}

std::string LibraryTest::LastError() {
  char buffer[DRAVIK_ERROR_TEXT_SIZE];
  LastErrorDevice(buffer);
  return std::string(buffer);
}

std::vector<char> LibraryTest::LastErrorBytes() {
  std::vector<char> buffer(DRAVIK_ERROR_TEXT_SIZE, 'x');
  LastErrorDevice(buffer.data());
  return buffer;
}

DeviceHandle LibraryTest::OpenBoard() {
  if (state->boards.empty()) {
    state->boards.push_back(RunningBoard(0x0400, 0x1234));
  }
  uint16_t vidPid[2] = {0, 0};
  DeviceHandle handle = -1;
  EXPECT_EQ(OpenDevice(LINK_USB, "dravik", vidPid, 0, nullptr, &handle), 1) << LastError();
  state->calls.clear();
  return handle;
}

}  // namespace dravik::testing
