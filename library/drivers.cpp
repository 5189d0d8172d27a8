#include "drivers.hpp"

#include <utility>

namespace dravik {
namespace {

DeviceFactory& TestDeviceFactory() {
  static DeviceFactory factory;
  return factory;
}

SmbusOpener& TestSmbusOpener() {
  static SmbusOpener opener;
  return opener;
}

}  // namespace

void SetDeviceFactoryForTesting(DeviceFactory factory) {
  TestDeviceFactory() = std::move(factory);
}

std::unique_ptr<usb::Device> MakeDevice() {
  if (TestDeviceFactory()) {
    return TestDeviceFactory()();
  }
  return usb::CreateDevice();
}

void SetSmbusOpenerForTesting(SmbusOpener opener) {
  TestSmbusOpener() = std::move(opener);
}

std::unique_ptr<smbus::Driver> OpenSmbusDriver(const char* path) {
  if (TestSmbusOpener()) {
    return TestSmbusOpener()(path);
  }
  return smbus::OpenDriver(path);
}

}  // namespace dravik
