// Transfers on an open board allocate nothing, in every form and with the
// packet trace on. Counts every allocation of the process, so it is a binary
// of its own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "../support/counting_new.hpp"
#include "fake_board.hpp"
#include "packet_trace.hpp"
#include "usb/usb_device.hpp"
#include "usb/usb_endpoint.hpp"

namespace dravik::usb {
namespace {

using testing::ConfigBuilder;
using testing::FakeBoard;
using testing::FakeDriverClass;

class UsbAllocationTest : public ::testing::TestWithParam<uint32_t> {};

TEST_P(UsbAllocationTest, TransfersAllocateNothing) {
  char name[] = "/tmp/dravik-alloc-trace-XXXXXX";
  close(mkstemp(name));
  SetTraceFileForTesting(name);
  FakeBoard board;
  board.driverVersion = GetParam();
  board.configurations = {
      ConfigBuilder(1).Interface(0, 0, 2).Endpoint(0x02, 2, 64).Endpoint(0x86, 2, 64).Finish()};
  FakeDriverClass driverClass;
  driverClass.boards = {&board};
  UsbDevice device(&driverClass);
  ASSERT_TRUE(device.Open(0));
  board.recording = false;

  uint8_t packet[63] = {1, 2, 57};
  uint8_t reply[58] = {};
  int32_t length = 63;
  ASSERT_TRUE(device.EndpointAt(1)->XferData(packet, length));  // first trace line
  const long before = dravik::testing::AllocationCount();
  for (int i = 0; i < 20; ++i) {
    length = 63;
    ASSERT_TRUE(device.EndpointAt(1)->XferData(packet, length));
    length = 58;
    ASSERT_TRUE(device.EndpointAt(2)->XferData(reply, length));
    ASSERT_TRUE(device.Reset8051(true));
  }
  EXPECT_EQ(dravik::testing::AllocationCount() - before, 0);
  SetTraceFileForTesting(nullptr);
  unlink(name);
}

INSTANTIATE_TEST_SUITE_P(DirectAndBuffered, UsbAllocationTest,
                         ::testing::Values(0x01050500u, 0x01000000u));

}  // namespace
}  // namespace dravik::usb
