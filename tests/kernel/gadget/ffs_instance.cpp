#include "ffs_instance.hpp"

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

constexpr uint8_t kDescriptorInterface = 4;
constexpr uint8_t kDescriptorEndpoint = 5;
constexpr uint16_t kFullSpeedBulkMaxPacket = 64;

void PutLong(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    out.push_back(static_cast<uint8_t>(value >> (8 * i)));
  }
}

void SetLong(std::vector<uint8_t>& out, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    out[offset + i] = static_cast<uint8_t>(value >> (8 * i));
  }
}

struct Parsed {
  std::vector<std::vector<uint8_t>> descriptors;  // interface, then endpoints
  std::vector<uint8_t> addresses;                 // the board's, in descriptor order
  std::map<uint8_t, uint16_t> maxPacket;
};

// The interface and endpoint descriptors behind the configuration header.
bool Parse(const std::vector<uint8_t>& configuration, Parsed* parsed, std::string* error) {
  size_t offset = configuration.empty() ? 0 : configuration[0];
  while (offset + 2 <= configuration.size()) {
    const uint8_t length = configuration[offset];
    const uint8_t type = configuration[offset + 1];
    if (length < 2 || offset + length > configuration.size()) {
      *error = "configuration descriptor: bad descriptor at offset " + std::to_string(offset);
      return false;
    }
    std::vector<uint8_t> descriptor(configuration.begin() + static_cast<long>(offset),
                                    configuration.begin() + static_cast<long>(offset + length));
    if (type == kDescriptorInterface) {
      descriptor[8] = 0;  // no interface string: FunctionFS would want a string table
      parsed->descriptors.push_back(descriptor);
    } else if (type == kDescriptorEndpoint && length >= 7) {
      parsed->addresses.push_back(descriptor[2]);
      parsed->maxPacket[descriptor[2]] = static_cast<uint16_t>(descriptor[4] | descriptor[5] << 8);
      parsed->descriptors.push_back(descriptor);
    }
    offset += length;
  }
  if (parsed->descriptors.empty()) {
    *error = "configuration descriptor holds no interface";
    return false;
  }
  return true;
}

std::vector<uint8_t> DescriptorBlob(const Parsed& parsed) {
  std::vector<uint8_t> blob;
  PutLong(blob, FUNCTIONFS_DESCRIPTORS_MAGIC_V2);
  PutLong(blob, 0);  // length, set below
  // Every request to the device (such as the 0xA0 firmware load) reaches
  // ep0. The device controller numbers the endpoints itself (the kernel's
  // virtual-address mode fails to configure when its numbers differ), so the
  // host sees other addresses than the board's, in the board's order.
  PutLong(blob, FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC | FUNCTIONFS_ALL_CTRL_RECIP);
  PutLong(blob, static_cast<uint32_t>(parsed.descriptors.size()));
  PutLong(blob, static_cast<uint32_t>(parsed.descriptors.size()));
  for (bool highSpeed : {false, true}) {
    for (std::vector<uint8_t> descriptor : parsed.descriptors) {
      if (descriptor[1] == kDescriptorEndpoint && !highSpeed) {
        const uint16_t size = std::min<uint16_t>(
            static_cast<uint16_t>(descriptor[4] | descriptor[5] << 8), kFullSpeedBulkMaxPacket);
        descriptor[4] = static_cast<uint8_t>(size);
        descriptor[5] = static_cast<uint8_t>(size >> 8);
      }
      blob.insert(blob.end(), descriptor.begin(), descriptor.end());
    }
  }
  SetLong(blob, 4, static_cast<uint32_t>(blob.size()));
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

bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
  return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

}  // namespace

FfsInstance::FfsInstance(std::string name, std::string mountPoint)
    : name_(std::move(name)), mountPoint_(std::move(mountPoint)) {}

FfsInstance::~FfsInstance() {
  for (auto& [address, fd] : endpoints_) {
    ::close(fd);
  }
  if (ep0_ >= 0) {
    ::close(ep0_);
  }
}

bool FfsInstance::Start(const std::vector<uint8_t>& configurationDescriptor, std::string* error) {
  Parsed parsed;
  if (!Parse(configurationDescriptor, &parsed, error)) {
    return false;
  }
  if (::mkdir(mountPoint_.c_str(), 0755) != 0 && errno != EEXIST) {
    *error = "mkdir " + mountPoint_ + ": " + std::strerror(errno);
    return false;
  }
  if (::mount(name_.c_str(), mountPoint_.c_str(), "functionfs", 0, nullptr) != 0) {
    *error = "mount functionfs " + name_ + " on " + mountPoint_ + ": " + std::strerror(errno);
    return false;
  }
  const std::string ep0 = mountPoint_ + "/ep0";
  ep0_ = ::open(ep0.c_str(), O_RDWR | O_CLOEXEC);
  if (ep0_ < 0) {
    *error = "open " + ep0 + ": " + std::strerror(errno);
    return false;
  }
  if (!WriteAll(ep0_, DescriptorBlob(parsed)) || !WriteAll(ep0_, EmptyStrings())) {
    *error = "FunctionFS refused the descriptors of " + name_ + ": " + std::strerror(errno);
    return false;
  }
  // Endpoint files are numbered in descriptor order: ep1 is the first.
  for (size_t i = 0; i < parsed.addresses.size(); ++i) {
    const uint8_t address = parsed.addresses[i];
    char file[32];
    std::snprintf(file, sizeof file, "/ep%zu", i + 1);
    const int fd = ::open((mountPoint_ + file).c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
      *error = "open " + mountPoint_ + file + ": " + std::strerror(errno);
      return false;
    }
    endpoints_[address] = fd;
  }
  maxPacket_ = parsed.maxPacket;
  return true;
}

int FfsInstance::Endpoint(uint8_t address) const {
  auto it = endpoints_.find(address);
  return it == endpoints_.end() ? -1 : it->second;
}

uint16_t FfsInstance::MaxPacket(uint8_t address) const {
  auto it = maxPacket_.find(address);
  return it == maxPacket_.end() ? 0 : it->second;
}

}  // namespace kestrova::kerneltest
