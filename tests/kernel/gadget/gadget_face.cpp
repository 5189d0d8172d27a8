#include "gadget_face.hpp"

#include <fcntl.h>
#include <linux/usb/functionfs.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "emulator/descriptors.hpp"

namespace kestrova::kerneltest {
namespace {

namespace fs = std::filesystem;

constexpr const char* kGadgetRoot = "/sys/kernel/config/usb_gadget/";
constexpr size_t kConfigurationHeader = 9;
constexpr size_t kInterfaceSize = 9;
constexpr size_t kEndpointSize = 7;
constexpr uint8_t kFullSpeedBulkMaxPacket = 64;

// The device descriptor's fields that configfs takes, by attribute name.
const struct {
  const char* attribute;
  size_t offset;
  bool word;
} kDeviceFields[] = {{"bcdUSB", 2, true},           {"bDeviceClass", 4, false},
                     {"bDeviceSubClass", 5, false}, {"bDeviceProtocol", 6, false},
                     {"idVendor", 8, true},         {"idProduct", 10, true},
                     {"bcdDevice", 12, true}};

bool Fail(std::string* error, const std::string& what) {
  *error = what + ": " + std::strerror(errno);
  return false;
}

bool MakeFolder(const std::string& path, std::string* error) {
  return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST || Fail(error, "mkdir " + path);
}

bool WriteAttribute(const std::string& path, const std::string& value, std::string* error) {
  std::ofstream file(path);
  file << value << std::endl;
  return file.good() || Fail(error, "write " + path + " = '" + value + "'");
}

std::string Hex(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04x", value);
  return text;
}

bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
  return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

// FunctionFS takes little-endian words, as the x86 guest writes them.
void Append(std::vector<uint8_t>& out, std::initializer_list<uint32_t> words) {
  for (uint32_t word : words) {
    out.insert(out.end(), reinterpret_cast<const uint8_t*>(&word),
               reinterpret_cast<const uint8_t*>(&word) + sizeof word);
  }
}

// The FunctionFS descriptors of the board's configuration: its interface and
// endpoint descriptors as the full-speed set (bulk packets of 64 bytes) and
// the high-speed set. Every request to the device (such as the 0xA0 firmware
// load) reaches ep0. The device controller numbers the endpoints itself (the
// kernel's virtual-address mode fails to configure when its numbers differ),
// so the host sees other addresses than the board's, in the board's order.
std::vector<uint8_t> FunctionDescriptors(const std::vector<uint8_t>& configuration) {
  const std::vector<uint8_t> highSpeed(configuration.begin() + kConfigurationHeader,
                                       configuration.end());
  std::vector<uint8_t> fullSpeed = highSpeed;
  for (size_t at = kInterfaceSize; at + kEndpointSize <= fullSpeed.size(); at += kEndpointSize) {
    fullSpeed[at + 4] = kFullSpeedBulkMaxPacket;
    fullSpeed[at + 5] = 0;
  }
  const uint32_t count = 1 + highSpeed[4];  // the interface and its endpoints
  std::vector<uint8_t> blob;
  Append(blob, {FUNCTIONFS_DESCRIPTORS_MAGIC_V2, static_cast<uint32_t>(20 + 2 * highSpeed.size()),
                FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC | FUNCTIONFS_ALL_CTRL_RECIP, count,
                count});
  blob.insert(blob.end(), fullSpeed.begin(), fullSpeed.end());
  blob.insert(blob.end(), highSpeed.begin(), highSpeed.end());
  return blob;
}

}  // namespace

bool GadgetFace::Create(const std::vector<uint8_t>& configuration, std::string* error) {
  const std::string root = kGadgetRoot + name_;
  const std::string config = root + "/configs/c.1";
  const std::string function = root + "/functions/ffs." + name_;
  const std::string mountPoint = "/dev/ffs-" + name_;
  const std::string link = config + "/ffs." + name_;
  if (!MakeFolder(root, error) || !MakeFolder(config, error) || !MakeFolder(function, error) ||
      !MakeFolder(mountPoint, error) ||
      !WriteAttribute(config + "/bmAttributes", Hex(configuration[7]), error) ||
      !WriteAttribute(config + "/MaxPower", std::to_string(2 * configuration[8]), error)) {
    return false;
  }
  if (::symlink(function.c_str(), link.c_str()) != 0) {
    return Fail(error, "symlink " + link);
  }
  if (::mount(name_.c_str(), mountPoint.c_str(), "functionfs", 0, nullptr) != 0) {
    return Fail(error, "mount functionfs " + name_ + " on " + mountPoint);
  }
  ep0_ = ::open((mountPoint + "/ep0").c_str(), O_RDWR | O_CLOEXEC);
  std::vector<uint8_t> noStrings;
  Append(noStrings, {FUNCTIONFS_STRINGS_MAGIC, 16, 0, 0});
  if (ep0_ < 0 || !WriteAll(ep0_, FunctionDescriptors(configuration)) ||
      !WriteAll(ep0_, noStrings)) {
    return Fail(error, "FunctionFS ep0 of " + name_);
  }
  // Endpoint files are numbered in descriptor order: ep1 is the first.
  const size_t endpoints = configuration[kConfigurationHeader + 4];
  for (size_t i = 0; i < endpoints; ++i) {
    const std::string file = mountPoint + "/ep" + std::to_string(i + 1);
    const int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
      return Fail(error, "open " + file);
    }
    endpoints_[configuration[kConfigurationHeader + kInterfaceSize + kEndpointSize * i + 2]] = fd;
  }
  return true;
}

bool GadgetFace::Bind(const std::vector<uint8_t>& device, const std::string& udc,
                      std::string* error) {
  const std::string root = kGadgetRoot + name_ + "/";
  for (const auto& field : kDeviceFields) {
    const unsigned value = device[field.offset] | (field.word ? device[field.offset + 1] << 8 : 0);
    if (!WriteAttribute(root + field.attribute, Hex(value), error)) {
      return false;
    }
  }
  // The kernel numbers the strings itself (manufacturer 1, product 2), as
  // the board model does; without them, no string table at all, or the
  // kernel would hand out indexes for it.
  const std::string strings = root + "strings/0x409";
  if (device[14] != 0) {
    if (!MakeFolder(strings, error) ||
        !WriteAttribute(strings + "/manufacturer", emulator::kManufacturerText, error) ||
        !WriteAttribute(strings + "/product", emulator::kProductText, error)) {
      return false;
    }
  } else if (::rmdir(strings.c_str()) != 0 && errno != ENOENT) {
    return Fail(error, "rmdir " + strings);
  }
  return WriteAttribute(root + "UDC", udc, error);
}

void GadgetFace::Unbind() {
  std::string notBound;
  WriteAttribute(kGadgetRoot + name_ + "/UDC", "", &notBound);
}

std::string FirstUdc() {
  std::error_code failure;
  for (const auto& entry : fs::directory_iterator("/sys/class/udc", failure)) {
    return entry.path().filename();
  }
  return "";
}

}  // namespace kestrova::kerneltest
