#include "adapter_diagnosis.hpp"

#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "i2c_adapters.hpp"

namespace kestrova::tools {

namespace {

constexpr unsigned long kByteData = I2C_FUNC_SMBUS_READ_BYTE_DATA | I2C_FUNC_SMBUS_WRITE_BYTE_DATA;

// The adapter number of "/dev/i2c-N"; -1 for any other path.
int AdapterNumber(const std::string& path) {
  int number = -1;
  char rest = 0;
  if (std::sscanf(path.c_str(), "/dev/i2c-%d%c", &number, &rest) != 1) {
    return -1;
  }
  return number;
}

std::string Hex2(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02x", value);
  return text;
}

}  // namespace

std::string SmbusDevicePath(std::string_view driverName) {
  if (!driverName.empty() && driverName.front() == '/') {
    return std::string(driverName);
  }
  if (!driverName.empty() && driverName.find_first_not_of("0123456789") == std::string_view::npos) {
    return "/dev/i2c-" + std::string(driverName);
  }
  return "/dev/" + std::string(driverName) + "0";
}

std::string AdapterOpenProblem(const std::string& path, int error, const std::string& sysRoot) {
  std::string text = "cannot open " + path + ": " + std::strerror(error);
  const int number = AdapterNumber(path);
  if (error == EACCES || error == EPERM) {
    return text +
           " (members of the i2c group may use the adapters: sudo adduser $USER i2c, then log "
           "in again; the udev rule of i2c-tools gives that group /dev/i2c-*)";
  }
  if (error == ENOENT && number >= 0) {
    std::error_code missing;
    const bool adapterExists = std::filesystem::exists(
        sysRoot + "/class/i2c-adapter/i2c-" + std::to_string(number), missing);
    return text + (adapterExists
                       ? " (the adapter exists: sudo modprobe i2c-dev makes its device node)"
                       : " (no adapter i2c-" + std::to_string(number) +
                             "; dravik-cli list shows the adapters, and sudo modprobe "
                             "i2c-dev makes their device nodes)");
  }
  return text;
}

std::string DiagnoseAdapter(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    return AdapterOpenProblem(path, errno);
  }
  unsigned long functions = 0;
  const bool asked = ::ioctl(fd, I2C_FUNCS, &functions) == 0;
  ::close(fd);
  if (!asked) {
    return path + " is not an I2C adapter (" + std::strerror(errno) + ")";
  }
  if ((functions & kByteData) != kByteData) {
    return path + " cannot do SMBus byte-data transfers";
  }
  return {};
}

std::string DiagnoseAddress(const std::string& path, int address) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    return AdapterOpenProblem(path, errno);
  }
  const bool busy = ::ioctl(fd, I2C_SLAVE, address) < 0 && errno == EBUSY;
  ::close(fd);
  if (!busy) {
    return {};
  }
  // A client device the kernel knows holds the address, bound to a driver or not.
  std::string holder = "a kernel driver";
  const int number = AdapterNumber(path);
  if (const auto client = number >= 0 ? FindI2cClient(number, address) : std::nullopt) {
    holder = !client->driver.empty() ? "the kernel driver " + client->driver
                                     : "the kernel's device " + client->name + " (no driver bound)";
  }
  return "address " + Hex2(address) + " on " + path + " is in use by " + holder +
         " (Device or resource busy); --force uses it anyway, as i2cget -f does";
}

}  // namespace kestrova::tools
