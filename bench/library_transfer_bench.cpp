// Library time of ReadDevice and WriteDevice over a null link (the tests'
// scripted board, recording nothing and answering at once, under the USB
// device layer), with every allocation of the process counted.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <numeric>
#include <vector>

#include "counting_new.hpp"
#include "dravik/dravik.h"
#include "drivers.hpp"
#include "handle_table.hpp"
#include "library/usb/fake_board.hpp"
#include "protocol.hpp"

namespace {

// I2C registers one write packet carries: 2 budget bytes each.
constexpr int kWriteRegistersPerPacket = dravik::protocol::MAX_CHUNK / 2;

DeviceHandle OpenNullBoard() {
  namespace fake = dravik::usb::testing;
  static fake::FakeBoard board;
  board.recording = false;
  dravik::CloseAllOpenLinksForTesting();
  dravik::SetUsbDriverClassForTesting(&board);
  uint16_t vidPid[2] = {0, 0};
  DeviceHandle handle = -1;
  OpenDevice(LINK_USB, "dravik", vidPid, 0, nullptr, &handle);
  return handle;
}

// Packets (command packets, plus responses for a read) of one transfer.
int PacketsOf(int count, bool write) {
  if (write) {
    return (count + kWriteRegistersPerPacket - 1) / kWriteRegistersPerPacket;
  }
  return 2 * ((count + dravik::protocol::MAX_CHUNK - 1) / dravik::protocol::MAX_CHUNK);
}

void Report(benchmark::State& state, int count, bool write, long allocated) {
  const int packets = PacketsOf(count, write);
  state.counters["packets"] = packets;
  // Library time per packet on the wire.
  state.counters["per_packet"] = benchmark::Counter(
      packets, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["allocations"] =
      benchmark::Counter(static_cast<double>(allocated), benchmark::Counter::kAvgIterations);
}

void BM_ReadDevice(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const DeviceHandle handle = OpenNullBoard();
  std::vector<int16_t> registers(static_cast<std::size_t>(count));
  std::iota(registers.begin(), registers.end(), int16_t{0});
  std::vector<uint8_t> data(registers.size());
  const long before = dravik::testing::AllocationCount();
  for (auto _ : state) {
    int16_t size = static_cast<int16_t>(count);
    if (ReadDevice(handle, 0, BUS_I2C, 0x48, registers.data(), data.data(), &size) != 1) {
      state.SkipWithError("ReadDevice failed");
      break;
    }
    benchmark::DoNotOptimize(data.data());
  }
  Report(state, count, false, dravik::testing::AllocationCount() - before);
  CloseDevice(handle);
}

void BM_WriteDevice(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const DeviceHandle handle = OpenNullBoard();
  std::vector<int16_t> registers(static_cast<std::size_t>(count));
  std::iota(registers.begin(), registers.end(), int16_t{0});
  std::vector<uint8_t> data(registers.size(), 0x5A);
  const long before = dravik::testing::AllocationCount();
  for (auto _ : state) {
    int16_t size = static_cast<int16_t>(count);
    if (WriteDevice(handle, 0, BUS_I2C, 0x48, registers.data(), data.data(), &size) != 1) {
      state.SkipWithError("WriteDevice failed");
      break;
    }
  }
  Report(state, count, true, dravik::testing::AllocationCount() - before);
  CloseDevice(handle);
}

BENCHMARK(BM_ReadDevice)->Arg(1)->Arg(58)->Arg(1024);
BENCHMARK(BM_WriteDevice)->Arg(1)->Arg(58)->Arg(1024);

}  // namespace
