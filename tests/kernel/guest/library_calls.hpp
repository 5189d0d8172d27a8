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
              const std::vector<int16_t>& registers, uint8_t fill = 0, uint8_t port = 0);
Transfer Write(DeviceHandle handle, int16_t busType, int16_t address,
               const std::vector<int16_t>& registers, const std::vector<uint8_t>& data,
               uint8_t port = 0);

// Registers first, first + 1, ... (count entries).
std::vector<int16_t> RegisterRange(int first, int count);

// Milliseconds since an arbitrary start, for timing the lock wait and time-outs.
double NowMs();

}  // namespace kestrova::kerneltest
