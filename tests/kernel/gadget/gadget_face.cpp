#include "configfs_gadget.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kestrova::kerneltest {
namespace {

constexpr const char* kGadgetRoot = "/sys/kernel/config/usb_gadget/";
constexpr const char* kUdcClass = "/sys/class/udc";
constexpr const char* kEnglishUs = "strings/0x409";
constexpr const char* kConfiguration = "configs/c.1";
constexpr int kMaxPowerMa = 100;
constexpr int kBusPowered = 0x80;

std::string Hex4(uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04x", value);
  return text;
}

bool Fail(std::string* error, const std::string& what) {
  *error = what + ": " + std::strerror(errno);
  return false;
}

bool MakeFolder(const std::string& path, std::string* error) {
  if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
    return Fail(error, "mkdir " + path);
  }
  return true;
}

bool WriteAttribute(const std::string& path, const std::string& value, std::string* error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    return Fail(error, "open " + path);
  }
  const std::string line = value + "\n";
  const bool ok = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  const int saved = errno;
  ::close(fd);
  errno = saved;
  return ok || Fail(error, "write " + path + " = '" + value + "'");
}

}  // namespace

ConfigfsGadget::ConfigfsGadget(std::string name, std::string function)
    : root_(kGadgetRoot + name + "/"), function_(std::move(function)) {}

bool ConfigfsGadget::Create(std::string* error) {
  const std::string functionDir = root_ + "functions/ffs." + function_;
  const std::string link = root_ + kConfiguration + "/ffs." + function_;
  if (!MakeFolder(root_, error) || !MakeFolder(root_ + kConfiguration, error) ||
      !WriteAttribute(root_ + kConfiguration + "/MaxPower", std::to_string(kMaxPowerMa), error) ||
      !WriteAttribute(root_ + kConfiguration + "/bmAttributes", Hex4(kBusPowered), error) ||
      !MakeFolder(functionDir, error)) {
    return false;
  }
  if (::symlink(functionDir.c_str(), link.c_str()) != 0 && errno != EEXIST) {
    return Fail(error, "symlink " + link);
  }
  return true;
}

bool ConfigfsGadget::SetIdentity(const GadgetIdentity& identity, std::string* error) {
  if (!WriteAttribute(root_ + "idVendor", Hex4(identity.vendorId), error) ||
      !WriteAttribute(root_ + "idProduct", Hex4(identity.productId), error) ||
      !WriteAttribute(root_ + "bcdDevice", Hex4(identity.bcdDevice), error) ||
      !WriteAttribute(root_ + "bcdUSB", Hex4(identity.bcdUsb), error) ||
      !WriteAttribute(root_ + "bDeviceClass", Hex4(identity.deviceClass), error) ||
      !WriteAttribute(root_ + "bDeviceSubClass", Hex4(identity.deviceClass), error) ||
      !WriteAttribute(root_ + "bDeviceProtocol", Hex4(identity.deviceClass), error)) {
    return false;
  }
  const std::string strings = root_ + kEnglishUs;
  if (identity.manufacturer || identity.product) {
    return MakeFolder(strings, error) &&
           WriteAttribute(strings + "/manufacturer", identity.manufacturer.value_or(""), error) &&
           WriteAttribute(strings + "/product", identity.product.value_or(""), error);
  }
  // No string table at all, or the kernel would hand out indexes for it.
  if (::rmdir(strings.c_str()) != 0 && errno != ENOENT) {
    return Fail(error, "rmdir " + strings);
  }
  return true;
}

bool ConfigfsGadget::Bind(const std::string& udc, std::string* error) {
  if (!WriteAttribute(root_ + "UDC", udc, error)) {
    return false;
  }
  bound_ = true;
  return true;
}

bool ConfigfsGadget::Unbind(std::string* error) {
  if (!bound_) {
    return true;
  }
  bound_ = false;
  return WriteAttribute(root_ + "UDC", "", error);
}

std::optional<std::string> FirstUdc() {
  DIR* dir = ::opendir(kUdcClass);
  if (dir == nullptr) {
    return std::nullopt;
  }
  std::optional<std::string> first;
  while (dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] != '.') {
      first = entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return first;
}

}  // namespace kestrova::kerneltest
