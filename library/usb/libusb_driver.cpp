#include "usb/libusb_driver.hpp"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "diagnostics.hpp"
#include "usb/transfer_header.hpp"

namespace dravik::usb {
namespace {

constexpr uint8_t kUnknownType = 0xFF;
constexpr uint32_t kBusSpeedLow = 0;
constexpr uint32_t kBusSpeedFull = 1;
constexpr uint32_t kBusSpeedHigh = 2;
constexpr size_t kNameSize = 256;

int EndpointSlot(uint8_t address) {
  return (address & 0x0F) | ((address & 0x80) ? 16 : 0);
}

// Header time-outs are whole seconds; libusb takes milliseconds (0: no limit).
unsigned int HeaderTimeoutMs(const TransferHeader& header) {
  const uint64_t ms = static_cast<uint64_t>(header.timeoutSeconds) * 1000u;
  return static_cast<unsigned int>(std::min<uint64_t>(ms, UINT_MAX));
}

// A transfer answered in the block form: the header comes back with both
// status words 0 and the data, if any, behind it.
void EchoHeader(const uint8_t* in, uint8_t* out) {
  TransferHeader header = ReadTransferHeader(in);
  header.status = 0;
  header.usbdStatus = 0;
  WriteTransferHeader(header, out);
}

bool ParseVendor(const char* begin, const char* end, uint16_t* vendor) {
  if (end - begin > 2 && begin[0] == '0' && (begin[1] == 'x' || begin[1] == 'X')) {
    begin += 2;
  }
  if (begin == end || end - begin > 4) {
    return false;
  }
  uint32_t value = 0;
  const auto [last, ec] = std::from_chars(begin, end, value, 16);
  if (ec != std::errc() || last != end) {
    return false;
  }
  *vendor = static_cast<uint16_t>(value);
  return true;
}

}  // namespace

std::vector<uint16_t> BoardVendorList(const char* text) {
  std::vector<uint16_t> vendors(std::begin(kDefaultBoardVendors), std::end(kDefaultBoardVendors));
  if (text == nullptr) {
    return vendors;
  }
  const char* p = text;
  while (*p != '\0') {
    const char* end = std::strchr(p, ',');
    if (end == nullptr) {
      end = p + std::strlen(p);
    }
    const char* first = p;
    const char* last = end;
    while (first < last && (*first == ' ' || *first == '\t')) {
      ++first;
    }
    while (last > first && (last[-1] == ' ' || last[-1] == '\t')) {
      --last;
    }
    uint16_t vendor = 0;
    if (ParseVendor(first, last, &vendor)) {
      if (std::find(vendors.begin(), vendors.end(), vendor) == vendors.end()) {
        vendors.push_back(vendor);
      }
    } else if (first != last) {
      Diagnostic("DRAVIK_USB_VIDS: \"%.*s\" is not a hexadecimal vendor ID; skipped\n",
                 static_cast<int>(last - first), first);
    }
    p = *end == ',' ? end + 1 : end;
  }
  return vendors;
}

void PortPath(LibusbApi& api, libusb_device* device, char (&path)[kPortPathSize]) {
  path[0] = '\0';
  uint8_t ports[7] = {};
  const int count = api.GetPortNumbers(device, ports, static_cast<int>(sizeof ports));
  if (count <= 0) {
    return;
  }
  int used = std::snprintf(path, sizeof path, "%u", api.GetBusNumber(device));
  for (int i = 0; i < count && used > 0 && static_cast<std::size_t>(used) < sizeof path; ++i) {
    used += std::snprintf(path + used, sizeof path - static_cast<std::size_t>(used), "%c%u",
                          i == 0 ? '-' : '.', ports[i]);
  }
}

LibusbDriverClass::LibusbDriverClass(LibusbApi& api, std::vector<uint16_t> vendors,
                                     std::string port)
    : api_(api), vendors_(std::move(vendors)), port_(std::move(port)) {}

LibusbDriverClass::~LibusbDriverClass() {
  Forget();
}

LibusbDriverClass& LibusbDriverClass::Instance() {
  const char* board = std::getenv("DRAVIK_USB_BOARD");
  static LibusbDriverClass instance(SystemLibusb(), BoardVendorList(std::getenv("DRAVIK_USB_VIDS")),
                                    board != nullptr ? board : "");
  return instance;
}

void LibusbDriverClass::Forget() {
  for (libusb_device* board : boards_) {
    api_.UnrefDevice(board);
  }
  boards_.clear();
  context_.reset();
}

int LibusbDriverClass::Count() {
  Forget();
  libusb_context* raw = nullptr;
  const int status = api_.Init(&raw);
  if (status != 0) {
    Diagnostic("libusb_init failed: %s\n", libusb_error_name(status));
    return 0;
  }
  context_ = std::make_shared<LibusbContext>(api_, raw);
  libusb_device** list = nullptr;
  const ssize_t count = api_.GetDeviceList(raw, &list);
  if (count < 0) {
    Diagnostic("libusb_get_device_list failed: %s\n", libusb_error_name(static_cast<int>(count)));
    return 0;
  }
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device_descriptor descriptor{};
    if (api_.GetDeviceDescriptor(list[i], &descriptor) != 0 ||
        descriptor.bDeviceClass == LIBUSB_CLASS_HUB) {
      continue;
    }
    if (std::find(vendors_.begin(), vendors_.end(), descriptor.idVendor) == vendors_.end()) {
      continue;
    }
    if (!port_.empty()) {
      char path[kPortPathSize];
      PortPath(api_, list[i], path);
      if (port_ != path) {
        continue;
      }
    }
    boards_.push_back(api_.RefDevice(list[i]));
  }
  api_.FreeDeviceList(list, 1);
  return static_cast<int>(std::min<size_t>(boards_.size(), INT_MAX));
}

std::unique_ptr<Driver> LibusbDriverClass::Open(int index) {
  if (boards_.empty()) {
    Count();
  }
  if (index < 0 || static_cast<size_t>(index) >= boards_.size()) {
    return nullptr;
  }
  libusb_device* device = boards_[static_cast<size_t>(index)];
  libusb_device_handle* handle = nullptr;
  int status = api_.Open(device, &handle);
  if (status != 0) {
    Diagnostic(
        "Cannot open USB board %03u/%03u: %s%s\n", api_.GetBusNumber(device),
        api_.GetDeviceAddress(device), libusb_error_name(status),
        status == LIBUSB_ERROR_ACCESS ? " (is the udev rule 60-kestrova.rules installed?)" : "");
    return nullptr;
  }
  // A kernel driver bound to the board gives way while the library holds it.
  api_.SetAutoDetachKernelDriver(handle, 1);
  status = api_.ClaimInterface(handle, kBoardInterface);
  if (status != 0) {
    Diagnostic("Cannot claim interface %d of USB board %03u/%03u: %s\n", kBoardInterface,
               api_.GetBusNumber(device), api_.GetDeviceAddress(device), libusb_error_name(status));
    api_.Close(handle);
    return nullptr;
  }
  return std::make_unique<LibusbDriver>(api_, context_, api_.RefDevice(device), handle);
}

LibusbDriver::LibusbDriver(LibusbApi& api, std::shared_ptr<LibusbContext> context,
                           libusb_device* device, libusb_device_handle* handle)
    : api_(api), context_(std::move(context)), device_(device), handle_(handle) {
  std::memset(endpointTypes_, kUnknownType, sizeof endpointTypes_);
  endpointTypes_[0] = LIBUSB_TRANSFER_TYPE_CONTROL;
  endpointTypes_[16] = LIBUSB_TRANSFER_TYPE_CONTROL;
  ReadEndpointTypes();
}

LibusbDriver::~LibusbDriver() {
  api_.ReleaseInterface(handle_, kBoardInterface);
  api_.Close(handle_);
  api_.UnrefDevice(device_);
}

void LibusbDriver::ReadEndpointTypes() {
  libusb_config_descriptor* config = nullptr;
  if (api_.GetActiveConfigDescriptor(device_, &config) != 0 || config == nullptr) {
    return;
  }
  for (int i = 0; i < config->bNumInterfaces; ++i) {
    const libusb_interface& interface = config->interface[i];
    for (int a = 0; a < interface.num_altsetting; ++a) {
      const libusb_interface_descriptor& alt = interface.altsetting[a];
      for (int e = 0; e < alt.bNumEndpoints; ++e) {
        const libusb_endpoint_descriptor& endpoint = alt.endpoint[e];
        uint8_t& type = endpointTypes_[EndpointSlot(endpoint.bEndpointAddress)];
        if (type == kUnknownType) {
          type = endpoint.bmAttributes & 3;
        }
      }
    }
  }
  api_.FreeConfigDescriptor(config);
}

IoResult LibusbDriver::Answer(const void* data, uint32_t size, uint8_t* out, uint32_t outLength,
                              uint32_t* returned) {
  if (out == nullptr || outLength < size) {
    return IoResult::kFailed;
  }
  std::memcpy(out, data, size);
  *returned = size;
  return IoResult::kDone;
}

IoResult LibusbDriver::Control(uint32_t code, const uint8_t* in, uint32_t inLength, uint8_t* out,
                               uint32_t outLength, uint32_t* returned, uint32_t timeoutMs) {
  uint32_t unused = 0;
  if (returned == nullptr) {
    returned = &unused;
  }
  *returned = 0;
  uint8_t word[4];
  switch (code) {
    case kIoctlDriverVersion:
      WriteLe32(word, kLibusbDriverVersion);
      return Answer(word, 4, out, outLength, returned);
    case kIoctlStackVersion:
      WriteLe32(word, api_.Version());
      return Answer(word, 4, out, outLength, returned);
    case kIoctlAltInterface: {
      // The board's interface is claimed with its default setting and never changed.
      const uint8_t alt = 0;
      return Answer(&alt, 1, out, outLength, returned);
    }
    case kIoctlUsbAddress: {
      const uint8_t address = api_.GetDeviceAddress(device_);
      return Answer(&address, 1, out, outLength, returned);
    }
    case kIoctlBusSpeed: {
      const int speed = api_.GetDeviceSpeed(device_);
      WriteLe32(word, speed >= LIBUSB_SPEED_HIGH   ? kBusSpeedHigh
                      : speed == LIBUSB_SPEED_FULL ? kBusSpeedFull
                                                   : kBusSpeedLow);
      return Answer(word, 4, out, outLength, returned);
    }
    case kIoctlDeviceName: {
      char name[kNameSize] = {};
      std::snprintf(name, sizeof name, "/dev/bus/usb/%03u/%03u", api_.GetBusNumber(device_),
                    api_.GetDeviceAddress(device_));
      return Answer(name, static_cast<uint32_t>(std::min<size_t>(outLength, kNameSize)), out,
                    outLength, returned);
    }
    case kIoctlFriendlyName: {
      char name[kNameSize] = {};
      libusb_device_descriptor descriptor{};
      api_.GetDeviceDescriptor(device_, &descriptor);
      unsigned char product[kNameSize / 2] = {};
      if (descriptor.iProduct == 0 ||
          api_.GetStringDescriptorAscii(handle_, descriptor.iProduct, product,
                                        sizeof product - 1) <= 0) {
        std::snprintf(reinterpret_cast<char*>(product), sizeof product, "USB device");
      }
      std::snprintf(name, sizeof name, "%s (%04x:%04x)", reinterpret_cast<char*>(product),
                    descriptor.idVendor, descriptor.idProduct);
      return Answer(name, static_cast<uint32_t>(std::min<size_t>(outLength, kNameSize)), out,
                    outLength, returned);
    }
    case kIoctlResetParentPort: {
      const int status = api_.ResetDevice(handle_);
      // NOT_FOUND: the board came back as another device; the reset happened.
      return status == 0 || status == LIBUSB_ERROR_NOT_FOUND ? IoResult::kDone : IoResult::kFailed;
    }
    case kIoctlAbortPipe:
      // Transfers here are synchronous: one that timed out was cancelled and
      // reaped by libusb before it returned, so nothing is left to abort.
      return in != nullptr && inLength >= 1 ? IoResult::kDone : IoResult::kFailed;
    case kIoctlControlTransfer:
      return ControlTransfer(in, inLength, out, outLength, returned);
    case kIoctlBufferedTransfer:
      return BufferedTransfer(in, inLength, out, outLength, returned);
    case kIoctlDirectTransfer:
      return DirectTransfer(in, inLength, out, outLength, returned, timeoutMs);
    default:
      return IoResult::kFailed;
  }
}

IoResult LibusbDriver::ControlTransfer(const uint8_t* in, uint32_t inLength, uint8_t* out,
                                       uint32_t outLength, uint32_t* returned) {
  if (in == nullptr || inLength < kTransferHeaderSize || out == nullptr ||
      outLength < kTransferHeaderSize) {
    return IoResult::kFailed;
  }
  const TransferHeader header = ReadTransferHeader(in);
  const bool incoming = (header.bmRequestType & LIBUSB_ENDPOINT_IN) != 0;
  if (kTransferHeaderSize + header.wLength > (incoming ? outLength : inLength)) {
    return IoResult::kFailed;
  }
  EchoHeader(in, out);
  unsigned char* data = out + kTransferHeaderSize;
  if (!incoming) {
    std::memcpy(data, in + kTransferHeaderSize, header.wLength);
  }
  const int status =
      api_.ControlTransfer(handle_, header.bmRequestType, header.bRequest, header.wValue,
                           header.wIndex, data, header.wLength, HeaderTimeoutMs(header));
  if (status >= 0) {
    *returned = kTransferHeaderSize + static_cast<uint32_t>(status);
    return IoResult::kDone;
  }
  return status == LIBUSB_ERROR_TIMEOUT ? IoResult::kTimeout : IoResult::kFailed;
}

bool LibusbDriver::HasPipe(uint8_t endpoint) const {
  const uint8_t type = endpointTypes_[EndpointSlot(endpoint)];
  return type == LIBUSB_TRANSFER_TYPE_INTERRUPT || type == LIBUSB_TRANSFER_TYPE_BULK ||
         type == kUnknownType;
}

int LibusbDriver::Pipe(uint8_t endpoint, uint8_t* data, int length, int* transferred,
                       unsigned int timeoutMs) {
  if (endpointTypes_[EndpointSlot(endpoint)] == LIBUSB_TRANSFER_TYPE_INTERRUPT) {
    return api_.InterruptTransfer(handle_, endpoint, data, length, transferred, timeoutMs);
  }
  return api_.BulkTransfer(handle_, endpoint, data, length, transferred, timeoutMs);
}

void LibusbDriver::DropLateAnswers() {
  for (int number = 0; number < kEndpointNumbers; ++number) {
    if ((lateAnswers_ & (1u << number)) == 0) {
      continue;
    }
    const uint8_t endpoint = static_cast<uint8_t>(0x80 | number);
    for (int read = 0; read < kMaxLateAnswerReads; ++read) {
      int transferred = 0;
      if (Pipe(endpoint, lateAnswer_, sizeof lateAnswer_, &transferred, kLateAnswerWaitMs) != 0) {
        break;
      }
      Diagnostic("Dropped a late answer of %d bytes on endpoint %02x\n", transferred, endpoint);
    }
  }
  lateAnswers_ = 0;
}

IoResult LibusbDriver::PipeTransfer(uint8_t endpoint, uint8_t* data, uint32_t length,
                                    uint32_t timeoutMs, uint32_t* moved) {
  if (length > INT_MAX) {
    return IoResult::kFailed;
  }
  if (!HasPipe(endpoint)) {
    return IoResult::kFailed;  // control and isochronous endpoints have no pipe form here
  }
  const bool incoming = (endpoint & LIBUSB_ENDPOINT_IN) != 0;
  // The host's give-up never reaches the board: an answer that missed its
  // time-out may still arrive and would be taken for the answer to the next
  // request. What came meanwhile is dropped before anything new is sent.
  if (!incoming && lateAnswers_ != 0) {
    DropLateAnswers();
  }
  int transferred = 0;
  const int status = Pipe(endpoint, data, static_cast<int>(length), &transferred, timeoutMs);
  *moved = transferred > 0 ? static_cast<uint32_t>(transferred) : 0;
  if (status == 0) {
    return IoResult::kDone;
  }
  if (status == LIBUSB_ERROR_TIMEOUT) {
    if (incoming) {
      lateAnswers_ |= 1u << (endpoint & 0x0F);
    }
    return IoResult::kTimeout;
  }
  return IoResult::kFailed;
}

IoResult LibusbDriver::BufferedTransfer(const uint8_t* in, uint32_t inLength, uint8_t* out,
                                        uint32_t outLength, uint32_t* returned) {
  if (in == nullptr || inLength < kTransferHeaderSize || out == nullptr ||
      outLength < kTransferHeaderSize) {
    return IoResult::kFailed;
  }
  const TransferHeader header = ReadTransferHeader(in);
  const bool incoming = (header.endpointAddress & LIBUSB_ENDPOINT_IN) != 0;
  const uint64_t needed = uint64_t{kTransferHeaderSize} + header.bufferLength;
  if (needed > (incoming ? outLength : inLength) || needed > outLength) {
    return IoResult::kFailed;
  }
  EchoHeader(in, out);
  uint8_t* data = out + kTransferHeaderSize;
  if (!incoming) {
    std::memcpy(data, in + kTransferHeaderSize, header.bufferLength);
  }
  uint32_t moved = 0;
  const IoResult result = PipeTransfer(header.endpointAddress, data, header.bufferLength,
                                       HeaderTimeoutMs(header), &moved);
  *returned = kTransferHeaderSize + moved;
  return result;
}

IoResult LibusbDriver::DirectTransfer(const uint8_t* in, uint32_t inLength, uint8_t* out,
                                      uint32_t outLength, uint32_t* returned, uint32_t timeoutMs) {
  if (in == nullptr || inLength < kTransferHeaderSize || (out == nullptr && outLength > 0)) {
    return IoResult::kFailed;
  }
  // The caller's buffer is the data, both ways; the header names the endpoint.
  uint8_t zeroLength = 0;
  return PipeTransfer(in[kHeaderEndpointOffset], out != nullptr ? out : &zeroLength, outLength,
                      timeoutMs, returned);
}

}  // namespace dravik::usb
