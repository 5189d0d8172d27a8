#include "library_calls.hpp"

#include <chrono>
#include <cstdio>

namespace kestrova::kerneltest {

std::string LastError() {
  char text[DRAVIK_ERROR_TEXT_SIZE] = {};
  LastErrorDevice(text);
  text[DRAVIK_ERROR_TEXT_SIZE - 1] = '\0';
  return text;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string text;
  char cell[4];
  for (uint8_t b : bytes) {
    std::snprintf(cell, sizeof cell, "%02x", b);
    if (!text.empty()) {
      text += ' ';
    }
    text += cell;
  }
  return text;
}

Transfer Read(DeviceHandle handle, int16_t busType, int16_t address,
              const std::vector<int16_t>& registers, uint8_t fill, uint8_t port) {
  Transfer t;
  t.data.assign(registers.size(), fill);
  t.dataSize = static_cast<int16_t>(registers.size());
  t.ok =
      ReadDevice(handle, port, busType, address, registers.data(), t.data.data(), &t.dataSize) == 1;
  if (!t.ok) {
    t.error = LastError();
  }
  return t;
}

Transfer Write(DeviceHandle handle, int16_t busType, int16_t address,
               const std::vector<int16_t>& registers, const std::vector<uint8_t>& data,
               uint8_t port) {
  Transfer t;
  t.data = data;
  t.dataSize = static_cast<int16_t>(registers.size());
  t.ok = WriteDevice(handle, port, busType, address, registers.data(), t.data.data(),
                     &t.dataSize) == 1;
  if (!t.ok) {
    t.error = LastError();
  }
  return t;
}

std::vector<int16_t> RegisterRange(int first, int count) {
  std::vector<int16_t> registers;
  for (int i = 0; i < count; ++i) {
    registers.push_back(static_cast<int16_t>(first + i));
  }
  return registers;
}

double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace kestrova::kerneltest
