#include "usb_checks.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <thread>
#include <vector>

#include "../gadget/control_socket.hpp"
#include "check_report.hpp"
#include "library_calls.hpp"
#include "sysfs_usb.hpp"

namespace kestrova::kerneltest {
namespace {

constexpr const char* kDriverName = "dravik";
constexpr int kEnumerationWaitMs = 10000;
constexpr uint16_t kHighSpeedChunk = 4096;
constexpr const char* kManufacturer = "Kestrova";
constexpr int kBenchRegisters = 58;
constexpr size_t kFirmwareEndpoints = 8;
// What the default bench streams (data/scenario/default.scn).
constexpr const char* kStreamText = "Kestrova emulated board stream";
// More than one read request of 58: the chunking must carry across.
constexpr int kBoardRegisterCount = 70;
// The transfer time-out is 10 s; a slow virtual machine may add a little.
constexpr double kTimeoutMinMs = 9900;
constexpr double kTimeoutMaxMs = 13000;
constexpr const char* kWrongCount = "ReadDevice: Wrong number of bytes returned";
// How long after the host's time-out the board's late answer goes out.
constexpr auto kLateAnswerDelay = std::chrono::milliseconds(300);

std::optional<long> StatusField(const std::string& reply, const std::string& field) {
  const std::string key = " " + field + "=";
  const size_t at = reply.find(key);
  if (reply.rfind("ok", 0) != 0 || at == std::string::npos) {
    return std::nullopt;
  }
  return std::strtol(reply.c_str() + at + key.size(), nullptr, 10);
}

struct Opened {
  bool ok = false;
  DeviceHandle handle = -1;
  uint16_t vidPid[2] = {0, 0};
  double ms = 0;
  std::string detail;
};

Opened Open(const char* firmware, uint8_t force = 0) {
  Opened o;
  const double start = NowMs();
  o.ok = OpenDevice(LINK_USB, kDriverName, o.vidPid, force, firmware, &o.handle) == 1;
  o.ms = NowMs() - start;
  char text[160];
  std::snprintf(text, sizeof text, "%s in %.0f ms, board %04x:%04x", o.ok ? "opened" : "failed",
                o.ms, o.vidPid[0], o.vidPid[1]);
  o.detail = text;
  if (!o.ok) {
    o.detail += ": \"" + LastError() + "\"";
  }
  return o;
}

std::string Describe(const Transfer& t) {
  return t.ok ? "data " + Hex(t.data) : "failed: \"" + t.error + "\"";
}

std::vector<uint8_t> Pattern(uint8_t seed, size_t count) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < count; ++i) {
    bytes.push_back(static_cast<uint8_t>(seed + 29 * i));
  }
  return bytes;
}

size_t FileSize(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  return file ? static_cast<size_t>(file.tellg()) : 0;
}

// The image the library reads: on a high-speed board the name ends in 2.
std::string ImageFor(const std::string& firmware, uint16_t bcdUsb) {
  std::string image = firmware;
  if (bcdUsb >= 0x0200 && !image.empty()) {
    image.back() = '2';
  }
  return image;
}

}  // namespace

int RunUsbOpenChecks(const std::string& firmware, const UsbTarget& target) {
  CheckReport report;
  auto before = WaitForBoard(kEnumerationWaitMs);
  if (!report.Check(before.has_value(), "bare-board-enumerated",
                    before ? before->Describe() : "no board in sysfs")) {
    return report.ExitCode();
  }
  report.Check(before->ManufacturerIndex() == 0 && before->ProductIndex() == 0,
               "bare-board-string-indexes-0", before->Describe());
  const std::string statusBefore = SendControlCommand(target.control, "status");
  report.Check(StatusField(statusBefore, "boots") == 0, "bare-board-not-booted", statusBefore);

  Opened open = Open(firmware.c_str());
  report.Check(
      open.ok && open.vidPid[0] == before->VendorId() && open.vidPid[1] == before->ProductId(),
      "open-downloads-firmware", open.detail);
  if (!open.ok) {
    return report.ExitCode();
  }

  auto after = FindBoard();
  report.Check(after && after->address != before->address, "board-re-enumerated",
               after
                   ? "was address " + std::to_string(before->address) + ", now " + after->Describe()
                   : "no board in sysfs after the download");
  if (after) {
    report.Check(after->ManufacturerIndex() == 1 && after->ProductIndex() == 2 &&
                     after->manufacturer == kManufacturer && !after->product.empty(),
                 "firmware-strings-1-and-2", after->Describe());
    report.Check(
        after->VendorId() == before->VendorId() && after->ProductId() == before->ProductId(),
        "identity-kept-through-download", after->Describe());
    // The device controller numbers the endpoints; the library finds the
    // command and response endpoints by their place in the list instead.
    const auto endpoints = after->EndpointAddresses();
    report.Check(endpoints.size() == kFirmwareEndpoints && (endpoints.front() & 0x80) == 0 &&
                     (endpoints.back() & 0x80) != 0,
                 "endpoint-list-command-first-response-last", "endpoints " + Hex(endpoints));
  }

  const std::string status = SendControlCommand(target.control, "status");
  const size_t imageSize = FileSize(ImageFor(firmware, before->BcdUsb()));
  const long chunks = static_cast<long>((imageSize + kHighSpeedChunk - 1) / kHighSpeedChunk);
  report.Check(StatusField(status, "boots") == 1 && StatusField(status, "firmware") == 1 &&
                   StatusField(status, "download_requests") == chunks,
               "gadget-booted-image",
               status + " (image " + std::to_string(imageSize) + " bytes, " +
                   std::to_string(chunks) + " chunks expected)");

  const bool closed = CloseDevice(open.handle) == 1;
  report.Check(closed, "close", closed ? "closed" : LastError());

  // Programmed now: opened as it is, no image needed and none downloaded.
  Opened again = Open(nullptr);
  const std::string statusAgain = SendControlCommand(target.control, "status");
  report.Check(again.ok && StatusField(statusAgain, "boots") == 1, "reopen-without-download",
               again.detail + "; " + statusAgain);
  if (again.ok) {
    CloseDevice(again.handle);
  }
  return report.ExitCode();
}

int RunUsbTransferChecks(const UsbTarget& target) {
  CheckReport report;
  Opened open = Open(nullptr);
  if (!report.Check(open.ok, "open", open.detail)) {
    return report.ExitCode();
  }
  const DeviceHandle h = open.handle;

  // Board registers: more than one chunk each way.
  const auto boardRegisters = RegisterRange(BOARD_REGISTER_BASE + 0x100, kBoardRegisterCount);
  const auto pattern = Pattern(0x3c, kBoardRegisterCount);
  Transfer w = Write(h, BUS_BOARD, 0, boardRegisters, pattern);
  Transfer r = Read(h, BUS_BOARD, 0, boardRegisters);
  report.Check(w.ok && r.ok && r.data == pattern, "board-registers-round-trip",
               w.ok ? "wrote " + Hex(pattern) + ", read " + Describe(r) : Describe(w));

  // Chip registers on the chip's bus: 58 written and read back in one call each.
  const auto chipRegisters = RegisterRange(0, kBenchRegisters);
  const auto chipPattern = Pattern(0xa7, chipRegisters.size());
  Transfer cw = Write(h, target.busType, target.chip, chipRegisters, chipPattern);
  Transfer c1 = Read(h, target.busType, target.chip, chipRegisters);
  report.Check(cw.ok && c1.ok && c1.data == chipPattern, "chip-registers-round-trip-58",
               cw.ok ? "wrote " + Hex(chipPattern) + ", read " + Describe(c1) : Describe(cw));

  // A mixed list: the chip pass and the board pass, bytes back in list order.
  const std::vector<int16_t> mixed = {static_cast<int16_t>(BOARD_REGISTER_BASE + 0x100), 0, 1,
                                      static_cast<int16_t>(BOARD_REGISTER_BASE + 0x101)};
  Transfer m = Read(h, target.busType, target.chip, mixed);
  const bool mixedOk = m.ok && c1.ok && m.data.size() == 4 && m.data[0] == pattern[0] &&
                       m.data[1] == c1.data[0] && m.data[2] == c1.data[1] &&
                       m.data[3] == pattern[1];
  report.Check(mixedOk, "mixed-board-and-chip-list", Describe(m));

  // Nobody at this address: the firmware answers at once with nothing.
  const double start = NowMs();
  Transfer nak = Read(h, BUS_I2C, 0x7F, RegisterRange(0, 4));
  const double took = NowMs() - start;
  char tookText[48];
  std::snprintf(tookText, sizeof tookText, " after %.0f ms", took);
  report.Check(!nak.ok && nak.error == kWrongCount && took < kTimeoutMinMs / 2,
               "absent-chip-short-response", Describe(nak) + tookText);

  // The stream bus: the default bench streams its text once. Asking for 58
  // bytes, the shorter answer ends the stream and sets the count.
  Transfer s1 = Read(h, BUS_STREAM, 0, std::vector<int16_t>(kBenchRegisters, 0));
  const std::string text(s1.data.begin(), s1.data.begin() + std::max<int16_t>(0, s1.dataSize));
  report.Check(s1.ok && text == kStreamText, "stream-read",
               "count " + std::to_string(s1.dataSize) + ", \"" + text + "\"" +
                   (s1.ok ? "" : " " + Describe(s1)));
  Transfer s2 = Read(h, BUS_STREAM, 0, std::vector<int16_t>(kBenchRegisters, 0));
  report.Check(s2.ok && s2.dataSize == 0, "stream-ended",
               "count " + std::to_string(s2.dataSize) + (s2.ok ? "" : " " + Describe(s2)));

  const bool closed = CloseDevice(h) == 1;
  report.Check(closed, "close", closed ? "closed" : LastError());
  return report.ExitCode();
}

int RunUsbTimeoutChecks(const UsbTarget& target) {
  CheckReport report;
  Opened open = Open(nullptr);
  if (!report.Check(open.ok, "open", open.detail)) {
    return report.ExitCode();
  }
  const DeviceHandle h = open.handle;
  const auto first = RegisterRange(BOARD_REGISTER_BASE + 0x200, 8);
  const auto second = RegisterRange(BOARD_REGISTER_BASE + 0x280, 8);
  const auto firstBytes = Pattern(0x81, first.size());
  const auto secondBytes = Pattern(0x11, second.size());
  Transfer w1 = Write(h, BUS_BOARD, 0, first, firstBytes);
  Transfer w2 = Write(h, BUS_BOARD, 0, second, secondBytes);
  report.Check(w1.ok && w2.ok, "write-two-blocks", Hex(firstBytes) + " / " + Hex(secondBytes));

  const std::string armed = SendControlCommand(target.control, "arm timeout");
  report.Check(armed == "ok", "gadget-holds-next-response", armed);
  const double start = NowMs();
  Transfer held = Read(h, BUS_BOARD, 0, first, 0xee);
  const double waited = NowMs() - start;
  char waitText[64];
  std::snprintf(waitText, sizeof waitText, " after %.0f ms", waited);
  report.Check(!held.ok && held.error == kWrongCount, "timed-out-read-message",
               Describe(held) + waitText);
  report.Check(waited >= kTimeoutMinMs && waited <= kTimeoutMaxMs, "timed-out-read-waits-10s",
               waitText);
  report.Check(held.data == std::vector<uint8_t>(first.size(), 0xee),
               "timed-out-read-data-untouched", Hex(held.data));

  // The board answers after all, too late: the host has given up, and the
  // answer must not be taken for the one to the next request (same length).
  const std::string released = SendControlCommand(target.control, "release");
  report.Check(released == "ok", "board-answers-late", released);
  std::this_thread::sleep_for(kLateAnswerDelay);
  Transfer next = Read(h, BUS_BOARD, 0, second);
  report.Check(next.ok && next.data == secondBytes, "next-transfer-gets-its-own-answer",
               "wanted " + Hex(secondBytes) + ", read " + Describe(next));
  Transfer again = Read(h, BUS_BOARD, 0, first);
  report.Check(again.ok && again.data == firstBytes, "transfers-stay-in-step",
               "wanted " + Hex(firstBytes) + ", read " + Describe(again));
  const std::string status = SendControlCommand(target.control, "status");
  report.Check(StatusField(status, "held") == 0, "nothing-left-held", status);
  CloseDevice(h);
  return report.ExitCode();
}

int RunUsbBench(const UsbTarget& target, double seconds) {
  CheckReport report;
  Opened open = Open(nullptr);
  if (!report.Check(open.ok, "open", open.detail)) {
    return report.ExitCode();
  }
  const auto registers = RegisterRange(0, kBenchRegisters);
  int calls = 0;
  int failures = 0;
  std::string firstError;
  const double start = NowMs();
  double elapsed = 0;
  while (elapsed < seconds * 1000) {
    Transfer t = Read(open.handle, target.busType, target.chip, registers);
    if (!t.ok && failures++ == 0) {
      firstError = t.error;
    }
    ++calls;
    elapsed = NowMs() - start;
  }
  report.Check(failures == 0, "bench-reads",
               std::to_string(calls) + " reads of 58 registers" +
                   (failures ? ", " + std::to_string(failures) + " failed: " + firstError : ""));
  report.Metric("usb-58-register-reads-per-s", calls * 1000.0 / elapsed, "calls/s");
  CloseDevice(open.handle);
  return report.ExitCode();
}

}  // namespace kestrova::kerneltest
