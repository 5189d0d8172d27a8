#pragma once
// A stand-in for the device library in tests: it writes every call down as a
// text, keeps the bytes written per register address like a chip would,
// answers reads from them, and fails on request with a scripted error text.

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "definition/numbers.hpp"
#include "engine/device_library.hpp"

namespace kestrova::engine {

class RecordingDeviceLibrary : public DeviceLibrary {
 public:
  std::uint8_t OpenDevice(std::int16_t link, const char* driverName, std::uint16_t* vidPid,
                          std::uint8_t, const char* firmwarePath, DeviceHandle* handle) override {
    const bool ok = Record("OpenDevice " + std::to_string(link) + " " + Hex(vidPid[0]) + " " +
                           Hex(vidPid[1]) + " " + driverName + " " + firmwarePath);
    *handle = ok ? 7 : *handle;  // the handle the tests' sessions hold
    return ok;
  }

  std::uint8_t CloseDevice(DeviceHandle handle) override {
    return Record("CloseDevice " + std::to_string(handle));
  }

  std::uint8_t ReadDevice(DeviceHandle handle, std::uint8_t port, std::int16_t busType,
                          std::int16_t deviceAddress, const std::int16_t* registers,
                          std::uint8_t* data, std::int16_t* count) override {
    return Transfer("ReadDevice", handle, port, busType, deviceAddress, registers, data, *count,
                    data);
  }

  std::uint8_t WriteDevice(DeviceHandle handle, std::uint8_t port, std::int16_t busType,
                           std::int16_t deviceAddress, const std::int16_t* registers,
                           const std::uint8_t* data, std::int16_t* count) override {
    return Transfer("WriteDevice", handle, port, busType, deviceAddress, registers, data, *count);
  }

  std::uint8_t LastErrorDevice(char* buffer) override {
    std::snprintf(buffer, kErrorTextSize, "%s", errorText.c_str());
    return 1;
  }

  // The calls, "|" between them.
  std::string CallsText() const {
    std::string text;
    for (const std::string& call : calls) {
      text += (text.empty() ? "" : "|") + call;
    }
    return text;
  }

  // Each call as its function and arguments: an open's link, vid, pid, driver
  // and firmware; a transfer's handle, port, bus type and device address, then
  // "register=data" per register (the bytes read, or written), all in hex.
  std::vector<std::string> calls;
  // Chip bytes by register address; reads of an unknown address give 0.
  std::map<std::int16_t, std::uint8_t> chip;
  // Successive readings of one address, used up before `chip` answers (for
  // registers that change between repeated reads).
  std::map<std::int16_t, std::vector<std::uint8_t>> readings;
  int failuresLeft = 0;      // the next calls that fail
  std::string failingCalls;  // a function whose every call fails
  std::string errorText = "ReadDevice: Device not open";

 private:
  static std::string Hex(int value) {
    return definition::HexText(static_cast<std::uint16_t>(value));
  }

  // Writes the call down; whether it succeeds.
  bool Record(const std::string& call) {
    calls.push_back(call);
    if (failuresLeft > 0) {
      --failuresLeft;
      return false;
    }
    return !call.starts_with(failingCalls + " ");
  }

  // A read (`readInto` given) is answered from the chip, a write changes it;
  // a failed call does neither.
  std::uint8_t Transfer(const char* function, DeviceHandle handle, std::uint8_t port,
                        std::int16_t busType, std::int16_t deviceAddress,
                        const std::int16_t* registers, const std::uint8_t* data, std::int16_t count,
                        std::uint8_t* readInto = nullptr) {
    std::string call = std::string(function) + " " + std::to_string(handle) + " " +
                       std::to_string(port) + " " + std::to_string(busType) + " " +
                       Hex(deviceAddress);
    const bool ok = Record(call);
    for (int i = 0; i < count; ++i) {
      std::vector<std::uint8_t>& next = readings[registers[i]];
      if (ok && readInto != nullptr && !next.empty()) {
        readInto[i] = next.front();
        next.erase(next.begin());
      } else if (ok && readInto != nullptr) {
        readInto[i] = chip[registers[i]];
      } else if (ok) {
        chip[registers[i]] = data[i];
      }
      call += " " + Hex(registers[i]) + "=" + definition::Hex2(data[i]);
    }
    calls.back() = call;  // with its bytes, now that they are known
    return ok;
  }
};

}  // namespace kestrova::engine
