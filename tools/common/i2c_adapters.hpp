#pragma once
// The machine's I2C adapters as `i2cdetect -l` lists them: number and name
// from sysfs, the device node of i2c-dev, whether SMBus byte-data transfers
// work on it (what libdravik's SMBus link needs), and the chips a kernel
// driver has claimed on it (i2cdetect's "UU").

#include <optional>
#include <string>
#include <vector>

namespace kestrova::tools {

struct I2cClient {
  int address = 0;
  std::string name;    // the client's sysfs name ("jc42")
  std::string driver;  // the kernel driver bound to it; empty when none
};

struct I2cAdapter {
  int number = 0;
  std::string name;    // sysfs name ("SMBus I801 adapter at f000")
  std::string device;  // "/dev/i2c-1"
  // Why the device node cannot be used ("Permission denied: ..."); empty
  // when it opened.
  std::string problem;
  // SMBus byte-data read and write; empty when the adapter could not be asked.
  std::optional<bool> byteData;
  bool plainI2c = false;  // I2C_FUNC_I2C: i2cdetect's type "i2c" instead of "smbus"
  std::vector<I2cClient> clients;
};

// Every adapter of `sysRoot`/class/i2c-adapter, by number; device nodes
// below `devRoot`.
std::vector<I2cAdapter> ListI2cAdapters(const std::string& sysRoot = "/sys",
                                        const std::string& devRoot = "/dev");

// The client at `address` on adapter `number`; empty when there is none.
std::optional<I2cClient> FindI2cClient(int number, int address,
                                       const std::string& sysRoot = "/sys");

}  // namespace kestrova::tools
