#pragma once
// A stand-in for the device library in tests: it remembers every call, keeps
// the bytes written per register address like a chip would, answers reads from
// them, and fails on request with a scripted error text.

#include <array>
#include <cstdint>
#include <cstring>
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
    std::vector<std::int16_t> registers;
    std::vector<std::uint8_t> data;  // written bytes, or the bytes a read returned
    std::string driverName;
    std::string firmwarePath;
  };

  std::uint8_t OpenDevice(std::int16_t link, const char* driverName, std::uint16_t* vidPid,
                          std::uint8_t, const char* firmwarePath, DeviceHandle* handle) override {
    Call call;
    call.function = "OpenDevice";
    call.busType = link;
    call.driverName = driverName;
    call.firmwarePath = firmwarePath;
    call.registers = {static_cast<std::int16_t>(vidPid[0]), static_cast<std::int16_t>(vidPid[1])};
    calls.push_back(call);
    if (!Succeeds(call.function)) {
      return 0;
    }
    *handle = 7;  // the handle the tests' sessions hold
    return 1;
  }

  std::uint8_t CloseDevice(DeviceHandle handle) override {
    Call call;
    call.function = "CloseDevice";
    call.handle = handle;
    calls.push_back(call);
    return Succeeds(call.function) ? 1 : 0;
  }

  std::uint8_t ReadDevice(DeviceHandle handle, std::uint8_t port, std::int16_t busType,
                          std::int16_t deviceAddress, const std::int16_t* registers,
                          std::uint8_t* data, std::int16_t* count) override {
    Call call = Transfer("ReadDevice", handle, port, busType, deviceAddress, registers, *count);
    const bool ok = Succeeds(call.function);
    if (ok) {
      for (int i = 0; i < *count; ++i) {
        data[i] = NextReading(registers[i]);
      }
    }
    call.data.assign(data, data + (*count > 0 ? *count : 0));
    calls.push_back(call);
    return ok ? 1 : 0;
  }

  std::uint8_t WriteDevice(DeviceHandle handle, std::uint8_t port, std::int16_t busType,
                           std::int16_t deviceAddress, const std::int16_t* registers,
                           const std::uint8_t* data, std::int16_t* count) override {
    Call call = Transfer("WriteDevice", handle, port, busType, deviceAddress, registers, *count);
    call.data.assign(data, data + (*count > 0 ? *count : 0));
    calls.push_back(call);
    if (!Succeeds(call.function)) {
      return 0;
    }
    for (int i = 0; i < *count; ++i) {
      chip[registers[i]] = data[i];
    }
    return 1;
  }

  std::uint8_t LastErrorDevice(char* buffer) override {
    std::memset(buffer, 0, kErrorTextSize);
    std::strncpy(buffer, errorText.c_str(), kErrorTextSize - 1);
    return 1;
  }

  // The calls of one function, in order.
  std::vector<Call> CallsOf(const std::string& function) const {
    std::vector<Call> out;
    for (const Call& call : calls) {
      if (call.function == function) {
        out.push_back(call);
      }
    }
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
    if (function == failingCalls) {
      return false;
    }
    if (failuresLeft > 0) {
      --failuresLeft;
      return false;
    }
    return true;
  }

  std::uint8_t NextReading(std::int16_t address) {
    auto it = readings.find(address);
    if (it != readings.end() && !it->second.empty()) {
      const std::uint8_t value = it->second.front();
      it->second.erase(it->second.begin());
      return value;
    }
    return chip[address];
  }

  static Call Transfer(const char* function, DeviceHandle handle, std::uint8_t port,
                       std::int16_t busType, std::int16_t deviceAddress,
                       const std::int16_t* registers, std::int16_t count) {
    Call call;
    call.function = function;
    call.handle = handle;
    call.port = port;
    call.busType = busType;
    call.deviceAddress = deviceAddress;
    call.registers.assign(registers, registers + (count > 0 ? count : 0));
    return call;
  }
};

}  // namespace kestrova::engine
