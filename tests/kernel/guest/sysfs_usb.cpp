#include "sysfs_usb.hpp"

#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

namespace kestrova::kerneltest {
namespace {

constexpr const char* kDevices = "/sys/bus/usb/devices/";
constexpr uint16_t kBoardVendors[] = {0x0400, 0x04B4};
constexpr size_t kDeviceDescriptorSize = 18;

std::string ReadText(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  return line;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace

std::vector<uint8_t> SysfsUsbDevice::EndpointAddresses() const {
  constexpr uint8_t kDescriptorEndpoint = 5;
  std::vector<uint8_t> addresses;
  size_t offset = kDeviceDescriptorSize;
  while (offset + 2 < descriptors.size() && descriptors[offset] >= 2) {
    if (descriptors[offset + 1] == kDescriptorEndpoint) {
      addresses.push_back(descriptors[offset + 2]);
    }
    offset += descriptors[offset];
  }
  return addresses;
}

std::string SysfsUsbDevice::Describe() const {
  char text[256];
  std::snprintf(text, sizeof text,
                "%s bus %d address %d, %04x:%04x bcdUSB %04x, string indexes %u/%u/%u "
                "(\"%s\" / \"%s\")",
                path.c_str(), bus, address, VendorId(), ProductId(), BcdUsb(), ManufacturerIndex(),
                ProductIndex(), SerialIndex(), manufacturer.c_str(), product.c_str());
  return text;
}

std::optional<SysfsUsbDevice> FindBoard() {
  DIR* dir = ::opendir(kDevices);
  if (dir == nullptr) {
    return std::nullopt;
  }
  std::optional<SysfsUsbDevice> found;
  while (dirent* entry = ::readdir(dir)) {
    const std::string path = std::string(kDevices) + entry->d_name;
    const std::string vendor = ReadText(path + "/idVendor");
    if (entry->d_name[0] == '.' || vendor.empty()) {
      continue;
    }
    const auto id = static_cast<uint16_t>(std::strtoul(vendor.c_str(), nullptr, 16));
    bool board = false;
    for (uint16_t v : kBoardVendors) {
      board = board || v == id;
    }
    SysfsUsbDevice device;
    device.descriptors = ReadBytes(path + "/descriptors");
    if (!board || device.descriptors.size() < kDeviceDescriptorSize) {
      continue;
    }
    device.path = path;
    device.bus = std::atoi(ReadText(path + "/busnum").c_str());
    device.address = std::atoi(ReadText(path + "/devnum").c_str());
    device.manufacturer = ReadText(path + "/manufacturer");
    device.product = ReadText(path + "/product");
    found = device;
    break;
  }
  ::closedir(dir);
  return found;
}

std::optional<SysfsUsbDevice> WaitForBoard(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    auto board = FindBoard();
    if (board || std::chrono::steady_clock::now() >= deadline) {
      return board;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace kestrova::kerneltest
