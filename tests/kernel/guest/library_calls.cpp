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
    text += (text.empty() ? "" : " ") + std::string(cell);
  }
  return text;
}

Transfer Read(DeviceHandle handle, int16_t busType, int16_t address,
              const std::vector<int16_t>& registers, uint8_t fill) {
  Transfer t;
  t.data.assign(registers.size(), fill);
  t.dataSize = static_cast<int16_t>(registers.size());
  t.ok = ReadDevice(handle, 0, busType, address, registers.data(), t.data.data(), &t.dataSize) == 1;
  t.error = t.ok ? "" : LastError();
  return t;
}

Transfer Write(DeviceHandle handle, int16_t busType, int16_t address,
               const std::vector<int16_t>& registers, const std::vector<uint8_t>& data) {
  Transfer t;
  t.data = data;
  t.dataSize = static_cast<int16_t>(registers.size());
  t.ok =
      WriteDevice(handle, 0, busType, address, registers.data(), t.data.data(), &t.dataSize) == 1;
  t.error = t.ok ? "" : LastError();
  return t;
}

std::string Describe(const Transfer& t) {
  return t.ok ? "data " + Hex(t.data) : "failed: \"" + t.error + "\"";
}

Opened Open(int16_t link, const std::string& driverName, const char* firmware) {
  Opened o;
  const double start = NowMs();
  o.ok = OpenDevice(link, driverName.c_str(), o.vidPid, 0, firmware, &o.handle) == 1;
  char text[96];
  std::snprintf(text, sizeof text, "%s in %.0f ms, board %04x:%04x", o.ok ? "opened" : "failed",
                NowMs() - start, o.vidPid[0], o.vidPid[1]);
  o.detail = text + (o.ok ? "" : ": \"" + LastError() + "\"");
  return o;
}

std::vector<int16_t> RegisterRange(int first, int count) {
  std::vector<int16_t> registers;
  for (int i = 0; i < count; ++i) {
    registers.push_back(static_cast<int16_t>(first + i));
  }
  return registers;
}

std::vector<uint8_t> Pattern(uint8_t seed, size_t count) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < count; ++i) {
    bytes.push_back(static_cast<uint8_t>(seed + 29 * i));
  }
  return bytes;
}

double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace kestrova::kerneltest
