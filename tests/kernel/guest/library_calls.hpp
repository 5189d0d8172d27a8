// Thin helpers over the five library exports: the calls as a caller makes
// them, with the last-error text and readable byte lists for the report.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dravik/dravik.h"

namespace kestrova::kerneltest {

std::string LastError();
std::string Hex(const std::vector<uint8_t>& bytes);

struct Transfer {
  bool ok = false;
  std::vector<uint8_t> data;
  int16_t dataSize = 0;
  std::string error;  // the last-error text after a failed call
};

Transfer Read(DeviceHandle handle, int16_t busType, int16_t address,
              const std::vector<int16_t>& registers, uint8_t fill = 0);
Transfer Write(DeviceHandle handle, int16_t busType, int16_t address,
               const std::vector<int16_t>& registers, const std::vector<uint8_t>& data);
// "data <bytes>" or "failed: "<message>"".
std::string Describe(const Transfer& t);

struct Opened {
  bool ok = false;
  DeviceHandle handle = -1;
  uint16_t vidPid[2] = {0, 0};
  std::string detail;  // how long it took, the board, the message of a failure
};

// OpenDevice as a caller makes it: the board of any identity, or the SMBus
// controller of that driver name.
Opened Open(int16_t link, const std::string& driverName, const char* firmware = nullptr);

// Registers first, first + 1, ... (count entries).
std::vector<int16_t> RegisterRange(int first, int count);
// count bytes that differ from their neighbours, starting at seed.
std::vector<uint8_t> Pattern(uint8_t seed, size_t count);

// Milliseconds since an arbitrary start, for timing the lock wait and time-outs.
double NowMs();

}  // namespace kestrova::kerneltest
