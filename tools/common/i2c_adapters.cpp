#include "i2c_adapters.hpp"

#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>

#include "adapter_diagnosis.hpp"

namespace kestrova::tools {

namespace fs = std::filesystem;

namespace {

constexpr unsigned long kByteData = I2C_FUNC_SMBUS_READ_BYTE_DATA | I2C_FUNC_SMBUS_WRITE_BYTE_DATA;

std::string FirstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

// The number behind a prefix ("i2c-12" -> 12); empty when the rest is not one.
std::optional<int> NumberAfter(std::string_view text, std::string_view prefix, int base = 10) {
  if (text.substr(0, prefix.size()) != prefix || text.size() == prefix.size()) {
    return std::nullopt;
  }
  int value = 0;
  const char* first = text.data() + prefix.size();
  const char* last = text.data() + text.size();
  const auto [end, ec] = std::from_chars(first, last, value, base);
  if (ec != std::errc() || end != last) {
    return std::nullopt;
  }
  return value;
}

I2cClient ReadClient(const fs::path& folder, int address) {
  I2cClient client;
  client.address = address;
  client.name = FirstLine(folder / "name");
  std::error_code error;
  const fs::path driver = fs::read_symlink(folder / "driver", error);
  if (!error) {
    client.driver = driver.filename().string();
  }
  return client;
}

// The clients of adapter `number`: sysfs names them "<number>-00<address>".
std::vector<I2cClient> Clients(const fs::path& adapterFolder, int number) {
  std::vector<I2cClient> clients;
  std::error_code error;
  const std::string prefix = std::to_string(number) + "-";
  for (const auto& entry : fs::directory_iterator(adapterFolder, error)) {
    const std::string name = entry.path().filename().string();
    if (const auto address = NumberAfter(name, prefix, 16);
        address && name.size() == prefix.size() + 4) {
      clients.push_back(ReadClient(entry.path(), *address));
    }
  }
  std::sort(clients.begin(), clients.end(),
            [](const I2cClient& a, const I2cClient& b) { return a.address < b.address; });
  return clients;
}

void AskFunctions(I2cAdapter& adapter, const std::string& sysRoot) {
  const int fd = ::open(adapter.device.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    adapter.problem = AdapterOpenProblem(adapter.device, errno, sysRoot);
    return;
  }
  unsigned long functions = 0;
  if (::ioctl(fd, I2C_FUNCS, &functions) == 0) {
    adapter.byteData = (functions & kByteData) == kByteData;
    adapter.plainI2c = (functions & I2C_FUNC_I2C) != 0;
  }
  ::close(fd);
}

}  // namespace

std::vector<I2cAdapter> ListI2cAdapters(const std::string& sysRoot, const std::string& devRoot) {
  std::vector<I2cAdapter> adapters;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(fs::path(sysRoot) / "class/i2c-adapter", error)) {
    const auto number = NumberAfter(entry.path().filename().string(), "i2c-");
    if (!number) {
      continue;
    }
    I2cAdapter adapter;
    adapter.number = *number;
    adapter.name = FirstLine(entry.path() / "name");
    adapter.device = devRoot + "/i2c-" + std::to_string(*number);
    adapter.clients = Clients(entry.path(), *number);
    AskFunctions(adapter, sysRoot);
    adapters.push_back(std::move(adapter));
  }
  std::sort(adapters.begin(), adapters.end(),
            [](const I2cAdapter& a, const I2cAdapter& b) { return a.number < b.number; });
  return adapters;
}

std::optional<I2cClient> FindI2cClient(int number, int address, const std::string& sysRoot) {
  char name[32];
  std::snprintf(name, sizeof name, "%d-%04x", number, address);
  const fs::path folder = fs::path(sysRoot) / "bus/i2c/devices" / name;
  std::error_code error;
  if (!fs::exists(folder, error)) {
    return std::nullopt;
  }
  return ReadClient(folder, address);
}

}  // namespace kestrova::tools
