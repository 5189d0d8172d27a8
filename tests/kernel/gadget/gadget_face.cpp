#include "gadget_face.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <linux/usb/functionfs.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
constexpr uint8_t kDescriptorInterface = 4;
constexpr uint8_t kDescriptorEndpoint = 5;
constexpr uint16_t kFullSpeedBulkMaxPacket = 64;

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
  return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST || Fail(error, "mkdir " + path);
}

bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
  return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

bool WriteAttribute(const std::string& path, const std::string& value, std::string* error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    return Fail(error, "open " + path);
  }
  const std::string line = value + "\n";
  const bool ok = WriteAll(fd, std::vector<uint8_t>(line.begin(), line.end()));
  const int saved = errno;
  ::close(fd);
  errno = saved;
  return ok || Fail(error, "write " + path + " = '" + value + "'");
}

void PutLong(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    out.push_back(static_cast<uint8_t>(value >> (8 * i)));
  }
}

// The FunctionFS descriptor blob of the interface and endpoint descriptors
// behind the configuration header, and the board's endpoint addresses in
// descriptor order; an empty blob when the configuration holds no interface.
std::vector<uint8_t> DescriptorBlob(const std::vector<uint8_t>& configuration,
                                    std::vector<uint8_t>* addresses) {
  std::vector<std::vector<uint8_t>> descriptors;
  for (size_t offset = configuration.empty() ? 0 : configuration[0];
       offset + 2 <= configuration.size() && configuration[offset] >= 2 &&
       offset + configuration[offset] <= configuration.size();
       offset += configuration[offset]) {
    std::vector<uint8_t> descriptor(
        configuration.begin() + static_cast<long>(offset),
        configuration.begin() + static_cast<long>(offset + configuration[offset]));
    if (descriptor[1] == kDescriptorInterface) {
      descriptor[8] = 0;  // no interface string: FunctionFS would want a string table
      descriptors.push_back(descriptor);
    } else if (descriptor[1] == kDescriptorEndpoint && descriptor.size() >= 7) {
      addresses->push_back(descriptor[2]);
      descriptors.push_back(descriptor);
    }
  }
  if (descriptors.empty()) {
    return {};
  }
  std::vector<uint8_t> body;
  for (bool highSpeed : {false, true}) {
    for (std::vector<uint8_t> descriptor : descriptors) {
      if (descriptor[1] == kDescriptorEndpoint && !highSpeed) {
        const uint16_t size = std::min<uint16_t>(
            static_cast<uint16_t>(descriptor[4] | descriptor[5] << 8), kFullSpeedBulkMaxPacket);
        descriptor[4] = static_cast<uint8_t>(size);
        descriptor[5] = static_cast<uint8_t>(size >> 8);
      }
      body.insert(body.end(), descriptor.begin(), descriptor.end());
    }
  }
  std::vector<uint8_t> blob;
  PutLong(blob, FUNCTIONFS_DESCRIPTORS_MAGIC_V2);
  PutLong(blob, static_cast<uint32_t>(20 + body.size()));  // the five words and the body
  // Every request to the device (such as the 0xA0 firmware load) reaches
  // ep0. The device controller numbers the endpoints itself (the kernel's
  // virtual-address mode fails to configure when its numbers differ), so the
  // host sees other addresses than the board's, in the board's order.
  PutLong(blob, FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC | FUNCTIONFS_ALL_CTRL_RECIP);
  PutLong(blob, static_cast<uint32_t>(descriptors.size()));
  PutLong(blob, static_cast<uint32_t>(descriptors.size()));
  blob.insert(blob.end(), body.begin(), body.end());
  return blob;
}

std::vector<uint8_t> EmptyStrings() {
  std::vector<uint8_t> blob;
  PutLong(blob, FUNCTIONFS_STRINGS_MAGIC);
  PutLong(blob, 16);
  PutLong(blob, 0);  // strings
  PutLong(blob, 0);  // languages
  return blob;
}

}  // namespace

GadgetFace::GadgetFace(const std::string& name)
    : root_(kGadgetRoot + name + "/"), function_(name), mountPoint_("/dev/ffs-" + name) {
  std::replace(function_.begin(), function_.end(), '-', '_');
}

GadgetFace::~GadgetFace() {
  for (auto& [address, fd] : endpoints_) {
    ::close(fd);
  }
  if (ep0_ >= 0) {
    ::close(ep0_);
  }
}

bool GadgetFace::Create(const std::vector<uint8_t>& configurationDescriptor, std::string* error) {
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
  std::vector<uint8_t> addresses;
  const std::vector<uint8_t> descriptors = DescriptorBlob(configurationDescriptor, &addresses);
  if (descriptors.empty()) {
    *error = "the configuration descriptor of " + function_ + " holds no interface";
    return false;
  }
  if (!MakeFolder(mountPoint_, error)) {
    return false;
  }
  if (::mount(function_.c_str(), mountPoint_.c_str(), "functionfs", 0, nullptr) != 0) {
    return Fail(error, "mount functionfs " + function_ + " on " + mountPoint_);
  }
  ep0_ = ::open((mountPoint_ + "/ep0").c_str(), O_RDWR | O_CLOEXEC);
  if (ep0_ < 0) {
    return Fail(error, "open " + mountPoint_ + "/ep0");
  }
  if (!WriteAll(ep0_, descriptors) || !WriteAll(ep0_, EmptyStrings())) {
    return Fail(error, "FunctionFS refused the descriptors of " + function_);
  }
  // Endpoint files are numbered in descriptor order: ep1 is the first.
  for (size_t i = 0; i < addresses.size(); ++i) {
    const std::string file = mountPoint_ + "/ep" + std::to_string(i + 1);
    const int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
      return Fail(error, "open " + file);
    }
    endpoints_[addresses[i]] = fd;
  }
  return true;
}

bool GadgetFace::SetIdentity(const GadgetIdentity& identity, std::string* error) {
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
  return ::rmdir(strings.c_str()) == 0 || errno == ENOENT || Fail(error, "rmdir " + strings);
}

bool GadgetFace::Bind(const std::string& udc, std::string* error) {
  bound_ = WriteAttribute(root_ + "UDC", udc, error);
  return bound_;
}

bool GadgetFace::Unbind(std::string* error) {
  if (!bound_) {
    return true;
  }
  bound_ = false;
  return WriteAttribute(root_ + "UDC", "", error);
}

int GadgetFace::Endpoint(uint8_t address) const {
  auto it = endpoints_.find(address);
  return it == endpoints_.end() ? -1 : it->second;
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
