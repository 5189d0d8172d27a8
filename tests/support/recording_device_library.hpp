#pragma once
// A stand-in for the device library in tests: it remembers every call, keeps
// the bytes written per register address like a chip would, answers reads from
// them, and fails on request with a scripted error text.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "engine/device_library.hpp"

namespace kestrova::engine {

class RecordingDeviceLibrary : public DeviceLibrary {
 public:
  struct Call {
    std::string function;  // "OpenDevice", "ReadDevice", ...
    DeviceHandle handle = kNoDevice;
    std::uint8_t port = 0;
    std::int16_t busType = 0;
    std::int16_t deviceAddress = 0;
    std::vector<std::int16_t> registers{};
    std::vector<std::uint8_t> data{};  // written bytes, or the bytes a read returned
    std::string driverName{};
    std::string firmwarePath{};
  };

  std::uint8_t OpenDevice(std::int16_t link, const char* driverName, std::uint16_t* vidPid,
                          std::uint8_t, const char* firmwarePath, DeviceHandle* handle) override {
    const std::vector<std::int16_t> ids(vidPid, vidPid + 2);  // vendor, product
    calls.push_back({"OpenDevice", kNoDevice, 0, link, 0, ids, {}, driverName, firmwarePath});
    if (!Succeeds("OpenDevice")) {
      return 0;
    }
    *handle = 7;  // the handle the tests' sessions hold
    return 1;
  }

  std::uint8_t CloseDevice(DeviceHandle handle) override {
    calls.push_back({"CloseDevice", handle});
    return Succeeds("CloseDevice") ? 1 : 0;
  }

  std::uint8_t ReadDevice(DeviceHandle handle, std::uint8_t port, std::int16_t busType,
                          std::int16_t deviceAddress, const std::int16_t* registers,
                          std::uint8_t* data, std::int16_t* count) override {
    return Transfer({"ReadDevice", handle, port, busType, deviceAddress}, registers, data, *count,
                    data);
  }

  std::uint8_t WriteDevice(DeviceHandle handle, std::uint8_t port, std::int16_t busType,
                           std::int16_t deviceAddress, const std::int16_t* registers,
                           const std::uint8_t* data, std::int16_t* count) override {
    return Transfer({"WriteDevice", handle, port, busType, deviceAddress}, registers, data, *count);
  }

  std::uint8_t LastErrorDevice(char* buffer) override {
    std::snprintf(buffer, kErrorTextSize, "%s", errorText.c_str());
    return 1;
  }

  // The calls of one function, in order.
  std::vector<Call> CallsOf(const std::string& function) const {
    std::vector<Call> out;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(out),
                 [&](const Call& call) { return call.function == function; });
    return out;
  }

  std::vector<Call> calls;
  // Chip bytes by register address; reads of an unknown address give 0.
  std::map<std::int16_t, std::uint8_t> chip;
  // Successive readings of one address, used up before `chip` answers (for
  // registers that change between repeated reads).
  std::map<std::int16_t, std::vector<std::uint8_t>> readings;
  int failuresLeft = 0;      // the next calls that fail
  std::string failingCalls;  // a function whose every call fails
  std::string errorText = "ReadDevice: Device not open";

 private:
  bool Succeeds(const std::string& function) {
    if (failuresLeft > 0) {
      --failuresLeft;
      return false;
    }
    return function != failingCalls;
  }

  // Records a transfer of `count` registers: a read (`readInto` given) is
  // answered from the chip, a write changes it; a failed call does neither.
  std::uint8_t Transfer(Call call, const std::int16_t* registers, const std::uint8_t* data,
                        std::int16_t count, std::uint8_t* readInto = nullptr) {
    const bool ok = Succeeds(call.function);
    for (int i = 0; ok && i < count; ++i) {
      if (readInto == nullptr) {
        chip[registers[i]] = data[i];
      } else if (auto& next = readings[registers[i]]; next.empty()) {
        readInto[i] = chip[registers[i]];
      } else {
        readInto[i] = next.front();
        next.erase(next.begin());
      }
    }
    call.registers.assign(registers, registers + std::max<int>(count, 0));
    call.data.assign(data, data + std::max<int>(count, 0));
    calls.push_back(call);
    return ok ? 1 : 0;
  }
};

}  // namespace kestrova::engine
