#include "checks.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <thread>
#include <vector>

#include "../gadget/control_socket.hpp"
#include "check_report.hpp"

namespace kestrova::kerneltest {
namespace {

constexpr const char* kDriverName = "dravik";
constexpr uint16_t kHighSpeedChunk = 4096;
constexpr size_t kFirmwareEndpoints = 8;
// What the default bench streams (data/scenario/default.scn).
constexpr const char* kStreamText = "Kestrova emulated board stream";
// The transfer time-out is 10 s; a slow virtual machine may add a little.
constexpr double kTimeoutMinMs = 9900;
constexpr double kTimeoutMaxMs = 13000;
constexpr const char* kWrongCount = "ReadDevice: Wrong number of bytes returned";
// How long after the host's time-out the board's late answer goes out.
constexpr auto kLateAnswerDelay = std::chrono::milliseconds(300);

// The kernel's own view of the board: the USB device in sysfs whose vendor
// ID is one of the board vendors, with its raw descriptors and strings.
// Independent of libusb and of the library.
struct SysfsUsbDevice {
  std::string path;                  // /sys/bus/usb/devices/<port>
  int address = 0;                   // devnum: a re-enumerated board gets a new one
  std::vector<uint8_t> descriptors;  // device descriptor, then the configuration
  std::string manufacturer;          // empty when the device has none
  std::string product;

  uint16_t Word(size_t offset) const {
    return static_cast<uint16_t>(descriptors[offset] | descriptors[offset + 1] << 8);
  }
  uint16_t BcdUsb() const { return Word(2); }
  uint16_t VendorId() const { return Word(8); }
  uint16_t ProductId() const { return Word(10); }
  uint8_t ManufacturerIndex() const { return descriptors[14]; }
  uint8_t ProductIndex() const { return descriptors[15]; }
  // Endpoint addresses of the configuration, in descriptor order.
  std::vector<uint8_t> EndpointAddresses() const;
  std::string Describe() const;
};

constexpr size_t kDeviceDescriptorSize = 18;

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  return line;
}

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
                "%s address %d, %04x:%04x bcdUSB %04x, string indexes %u/%u (\"%s\" / \"%s\")",
                path.c_str(), address, VendorId(), ProductId(), BcdUsb(), ManufacturerIndex(),
                ProductIndex(), manufacturer.c_str(), product.c_str());
  return text;
}

// The first device with a board vendor ID (0x0400 or 0x04B4), if any.
std::optional<SysfsUsbDevice> FindBoard() {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/sys/bus/usb/devices", error)) {
    const std::string vendor = ReadText(entry.path() / "idVendor");
    if (vendor != "0400" && vendor != "04b4") {
      continue;
    }
    SysfsUsbDevice device;
    std::ifstream file(entry.path() / "descriptors", std::ios::binary);
    device.descriptors.assign(std::istreambuf_iterator<char>(file),
                              std::istreambuf_iterator<char>());
    if (device.descriptors.size() >= kDeviceDescriptorSize) {
      device.path = entry.path().string();
      device.address = std::atoi(ReadText(entry.path() / "devnum").c_str());
      device.manufacturer = ReadText(entry.path() / "manufacturer");
      device.product = ReadText(entry.path() / "product");
      return device;
    }
  }
  return std::nullopt;
}

// Waits up to 10 s for a board to be present.
std::optional<SysfsUsbDevice> WaitForBoard() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  auto board = FindBoard();
  while (!board && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    board = FindBoard();
  }
  return board;
}

// A number of the gadget's "status" reply ("ok ... field=N ..."), -1 when absent.
long StatusField(const std::string& reply, const std::string& field) {
  const size_t at = reply.find(" " + field + "=");
  return reply.rfind("ok", 0) != 0 || at == std::string::npos
             ? -1
             : std::strtol(reply.c_str() + at + field.size() + 2, nullptr, 10);
}

std::string Took(double startMs) {
  return " after " + std::to_string(static_cast<int>(NowMs() - startMs)) + " ms";
}

}  // namespace

int RunUsbOpenChecks(const std::string& firmware, const std::string& control) {
  CheckReport report;
  const auto before = WaitForBoard();
  if (!report.Check(before.has_value(), "bare-board-enumerated",
                    before ? before->Describe() : "no board in sysfs")) {
    return report.ExitCode();
  }
  report.Check(before->ManufacturerIndex() == 0 && before->ProductIndex() == 0,
               "bare-board-string-indexes-0", before->Describe());
  const std::string statusBefore = SendControlCommand(control, "status");
  report.Check(StatusField(statusBefore, "boots") == 0, "bare-board-not-booted", statusBefore);

  const Opened open = Open(LINK_USB, kDriverName, firmware.c_str());
  if (!report.Check(
          open.ok && open.vidPid[0] == before->VendorId() && open.vidPid[1] == before->ProductId(),
          "open-downloads-firmware", open.detail)) {
    return report.ExitCode();
  }
  const auto after = FindBoard();
  if (report.Check(after && after->address != before->address, "board-re-enumerated",
                   "was address " + std::to_string(before->address) + ", now " +
                       (after ? after->Describe() : "no board in sysfs"))) {
    report.Check(after->ManufacturerIndex() == 1 && after->ProductIndex() == 2 &&
                     after->manufacturer == "Kestrova" && !after->product.empty() &&
                     after->VendorId() == before->VendorId() &&
                     after->ProductId() == before->ProductId(),
                 "identity-kept-strings-1-and-2", after->Describe());
    // The device controller numbers the endpoints; the library finds the
    // command and response endpoints by their place in the list instead.
    const auto endpoints = after->EndpointAddresses();
    report.Check(endpoints.size() == kFirmwareEndpoints && (endpoints.front() & 0x80) == 0 &&
                     (endpoints.back() & 0x80) != 0,
                 "endpoint-list-command-first-response-last", "endpoints " + Hex(endpoints));
  }

  // The image the library reads: on a high-speed board the name ends in 2.
  std::string image = firmware;
  image.back() = before->BcdUsb() >= 0x0200 ? '2' : image.back();
  const long imageSize = static_cast<long>(std::ifstream(image, std::ios::ate).tellg());
  const long chunks = (imageSize + kHighSpeedChunk - 1) / kHighSpeedChunk;
  const std::string status = SendControlCommand(control, "status");
  report.Check(StatusField(status, "boots") == 1 && StatusField(status, "firmware") == 1 &&
                   imageSize > 0 && StatusField(status, "download_requests") == chunks,
               "gadget-booted-image",
               status + " (" + std::to_string(chunks) + " chunks of " + image + " expected)");
  report.Close(open.handle);

  // Programmed now: opened as it is, no image needed and none downloaded.
  const Opened again = Open(LINK_USB, kDriverName);
  const std::string statusAgain = SendControlCommand(control, "status");
  report.Check(again.ok && StatusField(statusAgain, "boots") == 1, "reopen-without-download",
               again.detail + "; " + statusAgain);
  CloseDevice(again.handle);
  return report.ExitCode();
}

int RunUsbTransferChecks() {
  CheckReport report;
  const Opened open = Open(LINK_USB, kDriverName);
  if (!report.Check(open.ok, "open", open.detail)) {
    return report.ExitCode();
  }
  // Nobody at this address: the firmware answers at once with nothing.
  const double start = NowMs();
  const Transfer nak = Read(open.handle, BUS_I2C, 0x7F, RegisterRange(0, 4));
  report.Check(!nak.ok && nak.error == kWrongCount && NowMs() - start < kTimeoutMinMs / 2,
               "absent-chip-short-response", Describe(nak) + Took(start));

  // The stream bus: the default bench streams its text once. Asking for 58
  // bytes, the shorter answer ends the stream and sets the count.
  for (const std::string expected : {kStreamText, ""}) {
    const Transfer s = Read(open.handle, BUS_STREAM, 0, std::vector<int16_t>(58, 0));
    const std::string text(s.data.begin(), s.data.begin() + (s.ok ? s.dataSize : 0));
    report.Check(s.ok && text == expected, expected.empty() ? "stream-ended" : "stream-read",
                 "count " + std::to_string(s.dataSize) + ", \"" + text + "\" " + Describe(s));
  }
  report.Close(open.handle);
  return report.ExitCode();
}

int RunUsbTimeoutChecks(const std::string& control) {
  CheckReport report;
  const Opened open = Open(LINK_USB, kDriverName);
  if (!report.Check(open.ok, "open", open.detail)) {
    return report.ExitCode();
  }
  const DeviceHandle h = open.handle;
  const auto first = RegisterRange(BOARD_REGISTER_BASE + 0x200, 8);
  const auto second = RegisterRange(BOARD_REGISTER_BASE + 0x280, 8);
  const auto firstBytes = Pattern(0x81, first.size());
  const auto secondBytes = Pattern(0x11, second.size());
  report.Check(Write(h, BUS_BOARD, 0, first, firstBytes).ok &&
                   Write(h, BUS_BOARD, 0, second, secondBytes).ok,
               "write-two-blocks", Hex(firstBytes) + " / " + Hex(secondBytes));

  const std::string armed = SendControlCommand(control, "arm timeout");
  report.Check(armed == "ok", "gadget-holds-next-response", armed);
  const double start = NowMs();
  const Transfer held = Read(h, BUS_BOARD, 0, first, 0xee);
  const double waited = NowMs() - start;
  report.Check(!held.ok && held.error == kWrongCount && waited >= kTimeoutMinMs &&
                   waited <= kTimeoutMaxMs && held.data == std::vector<uint8_t>(first.size(), 0xee),
               "timed-out-read-waits-10s-data-untouched",
               Describe(held) + ", data " + Hex(held.data) + Took(start));

  // The board answers after all, too late: the host has given up, and the
  // answer must not be taken for the one to the next request (same length).
  const std::string released = SendControlCommand(control, "release");
  report.Check(released == "ok", "board-answers-late", released);
  std::this_thread::sleep_for(kLateAnswerDelay);
  const Transfer next = Read(h, BUS_BOARD, 0, second);
  report.Check(next.ok && next.data == secondBytes, "next-transfer-gets-its-own-answer",
               "wanted " + Hex(secondBytes) + ", read " + Describe(next));
  const Transfer again = Read(h, BUS_BOARD, 0, first);
  report.Check(again.ok && again.data == firstBytes, "transfers-stay-in-step",
               "wanted " + Hex(firstBytes) + ", read " + Describe(again));
  const std::string status = SendControlCommand(control, "status");
  report.Check(StatusField(status, "held") == 0, "nothing-left-held", status);
  CloseDevice(h);
  return report.ExitCode();
}

}  // namespace kestrova::kerneltest
