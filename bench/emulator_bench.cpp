// Round trips through the whole library and the emulated board: a 58-register
// I2C read (one request, one response) and a 1024-register mixed read (I2C
// and board registers, 18 requests). The time spent inside the emulator's
// driver calls is measured separately, so the counters show how a call's
// time splits between the library and the emulator.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "dravik/dravik.h"
#include "drivers.hpp"
#include "emulator/emulator.hpp"
#include "emulator/register_chip.hpp"
#include "handle_table.hpp"
#include "sleep.hpp"
#include "usb/usb_driver.hpp"

namespace {

using kestrova::emulator::BoardClass;
using kestrova::emulator::ChipBus;
using kestrova::emulator::Emulator;
using kestrova::emulator::RegisterChip;
using Clock = std::chrono::steady_clock;

// Time spent inside the emulated driver.
Clock::duration emulatorTime{};

class TimedDriver : public dravik::usb::Driver {
 public:
  explicit TimedDriver(std::unique_ptr<dravik::usb::Driver> inner) : inner_(std::move(inner)) {}
  dravik::usb::IoResult Control(uint32_t code, const uint8_t* in, uint32_t inLength, uint8_t* out,
                                uint32_t outLength, uint32_t* returned,
                                uint32_t timeoutMs) override {
    const Clock::time_point start = Clock::now();
    const auto result = inner_->Control(code, in, inLength, out, outLength, returned, timeoutMs);
    emulatorTime += Clock::now() - start;
    return result;
  }

 private:
  std::unique_ptr<dravik::usb::Driver> inner_;
};

class TimedDriverClass : public dravik::usb::DriverClass {
 public:
  explicit TimedDriverClass(dravik::usb::DriverClass& inner) : inner_(inner) {}
  int Count() override { return inner_.Count(); }
  std::unique_ptr<dravik::usb::Driver> Open(int index) override {
    auto driver = inner_.Open(index);
    return driver ? std::make_unique<TimedDriver>(std::move(driver)) : nullptr;
  }

 private:
  dravik::usb::DriverClass& inner_;
};

// One emulated high-speed board running its firmware, with a chip of 256
// named registers at I2C address 0x48.
struct Bench {
  Bench() : timed(emulator.UsbClass()) {
    auto chip = std::make_shared<RegisterChip>("bench");
    for (int address = 0; address < 0x100; ++address) {
      chip->DefineField(static_cast<uint16_t>(address), static_cast<uint16_t>(address), 7, 0,
                        static_cast<uint32_t>(address), true);
    }
    emulator.PlaceChip("bench", ChipBus::kI2c, 0x48, chip);
    emulator.AddBoard(BoardClass::kHighSpeed, {0x0400, 0x1100});
    dravik::CloseAllOpenLinksForTesting();
    dravik::SetUsbDriverClassForTesting(&timed);
    dravik::SetSleeperForTesting([](int) {});
    // The bare core takes the image the library downloads.
    std::vector<uint8_t> image(4096, 0);
    imagePath = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                "/kestrova-emulator-bench.bi2";
    if (FILE* file = std::fopen(imagePath.c_str(), "wb")) {
      std::fwrite(image.data(), 1, image.size(), file);
      std::fclose(file);
    }
    uint16_t vidPid[2] = {0x0400, 0x1100};
    const std::string bixPath = imagePath.substr(0, imagePath.size() - 1) + "x";
    OpenDevice(LINK_USB, "dravik", vidPid, 0, bixPath.c_str(), &handle);
  }
  ~Bench() {
    CloseDevice(handle);
    dravik::SetUsbDriverClassForTesting(nullptr);
    dravik::SetSleeperForTesting(nullptr);
    std::remove(imagePath.c_str());
  }

  Emulator emulator;
  TimedDriverClass timed;
  std::string imagePath;
  DeviceHandle handle = -1;
};

void Report(benchmark::State& state, Clock::duration total) {
  const double calls = static_cast<double>(state.iterations());
  const double totalUs = std::chrono::duration<double, std::micro>(total).count() / calls;
  const double emulatorUs = std::chrono::duration<double, std::micro>(emulatorTime).count() / calls;
  state.counters["us_per_call"] = totalUs;
  state.counters["emulator_us"] = emulatorUs;
  state.counters["library_us"] = totalUs - emulatorUs;
  state.counters["emulator_share_pct"] = totalUs > 0 ? 100.0 * emulatorUs / totalUs : 0;
}

void RunRead(benchmark::State& state, std::vector<int16_t> registers) {
  Bench bench;
  if (bench.handle == -1) {
    state.SkipWithError("the emulated board did not open");
    return;
  }
  std::vector<uint8_t> data(registers.size());
  emulatorTime = {};
  Clock::duration total{};
  for (auto _ : state) {
    int16_t size = static_cast<int16_t>(registers.size());
    const Clock::time_point start = Clock::now();
    const uint8_t ok =
        ReadDevice(bench.handle, 0, BUS_I2C, 0x48, registers.data(), data.data(), &size);
    total += Clock::now() - start;
    if (ok == 0) {
      state.SkipWithError("ReadDevice failed");
      return;
    }
    benchmark::DoNotOptimize(data.data());
  }
  Report(state, total);
}

void BM_I2cRead58(benchmark::State& state) {
  std::vector<int16_t> registers(58);
  for (size_t i = 0; i < registers.size(); ++i) {
    registers[i] = static_cast<int16_t>(i);
  }
  RunRead(state, registers);
}
BENCHMARK(BM_I2cRead58);

// 1024 entries: 768 chip registers and 256 board registers, interleaved.
void BM_MixedRead1024(benchmark::State& state) {
  std::vector<int16_t> registers(1024);
  for (size_t i = 0; i < registers.size(); ++i) {
    registers[i] = i % 4 == 3 ? static_cast<int16_t>(0x400 + i / 4) : static_cast<int16_t>(i % 256);
  }
  RunRead(state, registers);
}
BENCHMARK(BM_MixedRead1024);

}  // namespace
