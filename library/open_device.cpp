#include "open_device.hpp"

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <utility>

#include "diagnostics.hpp"
#include "drivers.hpp"
#include "handle_table.hpp"
#include "last_error.hpp"
#include "messages.hpp"
#include "sleep.hpp"
#include "smbus/smbus_link.hpp"

namespace dravik {
namespace {

constexpr uint16_t kRenumberingVendor = 0x0400;
constexpr uint16_t kRenumberingProductFamily = 0x11;
constexpr uint16_t kRenumberedProductOffset = 0x2000;
constexpr uint16_t kFx2BcdUsb = 0x0200;
// String indexes of a board that already runs the evaluation firmware.
constexpr uint8_t kFirmwareManufacturerIndex = 1;
constexpr uint8_t kFirmwareProductIndex = 2;

bool Fail(const char* message) {
  SetLastError(message);
  return false;
}

// A board that does not open may hang on its port: reset it and try once more.
bool OpenBoard(usb::Device& device, uint8_t index) {
  if (device.Open(index)) {
    return true;
  }
  device.ResetParentPort();
  return device.Open(index);
}

bool RunsEvaluationFirmware(const usb::DeviceDescriptor& descriptor) {
  return descriptor.iManufacturer == kFirmwareManufacturerIndex &&
         descriptor.iProduct == kFirmwareProductIndex;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Reads at most kMaxFirmwareSize bytes; the count read is the image length.
bool ReadFirmwareImage(const char* name, uint8_t* image, int16_t& length) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(name, "rb"));
  if (!file) {
    return Fail(messages::kErrorOpeningFirmware);
  }
  const std::size_t read = std::fread(image, 1, kMaxFirmwareSize, file.get());
  if (std::ferror(file.get())) {
    return Fail(messages::kErrorReadingFirmware);
  }
  length = static_cast<int16_t>(read);
  return true;
}

bool IsPlaceholderFirmware(const uint8_t* image, int16_t length) {
  const std::size_t markLength = sizeof kPlaceholderFirmwareMark - 1;
  return static_cast<std::size_t>(length) >= markLength &&
         std::memcmp(image, kPlaceholderFirmwareMark, markLength) == 0;
}

// A real board given a placeholder image: refused before anything reaches
// the board, with the file the maker's image has to replace.
bool RefusePlaceholder(const char* name) {
  char message[kLastErrorSize];
  std::snprintf(message, sizeof message, "%s%s", messages::kPlaceholderFirmware, name);
  return Fail(message);
}

// After a download the board disconnects and comes back with the firmware.
// A board found still bare has not started the image (or has not left the
// bus yet): it is not the board asked for, so the polling goes on.
bool WaitForReenumeration(usb::Device& device, uint8_t boardCount, uint8_t index) {
  SleepMs(kReenumerationDelayMs);
  for (int poll = 0; poll < kReenumerationPolls; ++poll) {
    if (device.DeviceCount() == boardCount && OpenBoard(device, index) &&
        RunsEvaluationFirmware(device.Descriptor())) {
      return true;
    }
    SleepMs(kReenumerationPollDelayMs);
  }
  return Fail(messages::kNoReenumeration);
}

bool DownloadFirmware(usb::Device& device, const char* firmwarePath, uint8_t boardCount,
                      uint8_t index) {
  if (firmwarePath == nullptr) {
    return Fail(messages::kCodeFileNameNull);
  }
  const usb::DeviceDescriptor descriptor = device.Descriptor();
  char name[kFirmwareNameBufferSize];
  if (!FirmwareFileName(firmwarePath, descriptor.bcdUSB, name)) {
    return Fail(messages::kFirmwarePathTooLong);
  }
  uint8_t image[kMaxFirmwareSize];
  int16_t length = 0;
  if (!ReadFirmwareImage(name, image, length)) {
    return false;
  }
  if (IsPlaceholderFirmware(image, length) && !device.Emulated()) {
    return RefusePlaceholder(name);
  }
  if (!device.LoadFirmware(descriptor.idVendor, descriptor.idProduct, image, length)) {
    return false;
  }
  return WaitForReenumeration(device, boardCount, index);
}

}  // namespace

bool MatchesVidPid(uint16_t wantedVendor, uint16_t wantedProduct,
                   const usb::DeviceDescriptor& descriptor) {
  if (wantedVendor != 0 && wantedVendor != descriptor.idVendor) {
    return false;
  }
  if (wantedProduct == 0 || wantedProduct == descriptor.idProduct) {
    return true;
  }
  return wantedVendor == kRenumberingVendor && (wantedProduct >> 8) == kRenumberingProductFamily &&
         descriptor.idProduct == static_cast<uint16_t>(wantedProduct + kRenumberedProductOffset);
}

bool FirmwareFileName(const char* firmwarePath, uint16_t bcdUSB,
                      char (&name)[kFirmwareNameBufferSize]) {
  const std::size_t length = std::strlen(firmwarePath);
  if (length > kFirmwareNameBufferSize - 1) {
    return false;
  }
  std::memcpy(name, firmwarePath, length + 1);
  if (bcdUSB >= kFx2BcdUsb && length > 0) {
    name[length - 1] = '2';
  }
  return true;
}

bool OpenUsbLink(uint16_t* vidPid, uint8_t forceFirmware, const char* firmwarePath,
                 DeviceHandle* handle) {
  std::unique_ptr<usb::Device> created = MakeDevice();
  if (!created) {
    *handle = kNoHandle;
    return Fail(messages::kBoardNotFound);
  }
  usb::Device& device = *created;
  const DeviceHandle opened = AddOpenLink(OpenLink{std::move(created), nullptr});
  if (opened == kNoHandle) {
    *handle = kNoHandle;
    return Fail(messages::kTooManyOpen);
  }
  *handle = opened;

  const uint8_t boardCount = device.DeviceCount();
  Diagnostic("Found cyusb device count = %d\n", boardCount);
  int matched = -1;
  for (int i = 0; i < boardCount && matched < 0; ++i) {
    if (!OpenBoard(device, static_cast<uint8_t>(i))) {
      continue;
    }
    const usb::DeviceDescriptor& descriptor = device.Descriptor();
    Diagnostic("Found cyusb.sys device VID=%x, PID=%x\n", descriptor.idVendor,
               descriptor.idProduct);
    if (vidPid[0] == 0 && vidPid[1] == 0) {
      vidPid[0] = descriptor.idVendor;
      vidPid[1] = descriptor.idProduct;
    }
    if (MatchesVidPid(vidPid[0], vidPid[1], descriptor)) {
      matched = i;
    }
  }
  if (matched < 0) {
    TakeOpenLink(opened);  // closes and frees the device object
    *handle = kNoHandle;
    return Fail(messages::kBoardNotFound);
  }
  if (RunsEvaluationFirmware(device.Descriptor()) && forceFirmware == 0) {
    return true;
  }
  // From here a failure keeps the device in the caller's handle: the caller
  // closes it.
  return DownloadFirmware(device, firmwarePath, boardCount, static_cast<uint8_t>(matched));
}

bool OpenSmbusLink(const char* driverName, DeviceHandle* handle) {
  *handle = kNoHandle;
  std::unique_ptr<smbus::Link> link = smbus::OpenLink(driverName);
  if (!link) {
    return false;
  }
  const DeviceHandle opened = AddOpenLink(OpenLink{nullptr, std::move(link)});
  if (opened == kNoHandle) {
    return Fail(messages::kTooManyOpen);
  }
  *handle = opened;
  return true;
}

bool CloseOpenDevice(DeviceHandle handle) {
  OpenLink link = TakeOpenLink(handle);
  if (link.controller) {
    if (!link.controller->Close()) {
      return Fail(messages::kCantCloseMutex);
    }
    return true;
  }
  if (!link.board) {
    return Fail(messages::kInvalidHandle);
  }
  // The device layer reports a failed close by throwing; the object is freed
  // either way and the reason becomes the error text.
  try {
    link.board->Close();
  } catch (const std::exception& error) {
    return Fail(error.what());
  }
  return true;
}

}  // namespace dravik
