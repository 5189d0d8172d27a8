#include "checks.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>
#include <vector>

#include "../gadget/control_pipe.hpp"
#include "check_report.hpp"

namespace kestrova::kerneltest {
namespace {

constexpr const char* kDriverName = "dravik";
// The transfer time-out is 10 s; a slow virtual machine may add a little.
constexpr double kTimeoutMinMs = 9900;
constexpr double kTimeoutMaxMs = 13000;
constexpr const char* kWrongCount = "ReadDevice: Wrong number of bytes returned";
// How long after the host's time-out the board's late answer goes out.
constexpr auto kLateAnswerDelay = std::chrono::milliseconds(300);

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  return line;
}

// The kernel's own view of the board, independent of libusb and of the
// library: the USB device in sysfs with a board vendor ID (0x0400 or
// 0x04B4), its bus address (a re-enumerated board gets a new one) and its
// manufacturer string (the bare core has none).
struct SysfsBoard {
  int address = 0;
  std::string manufacturer;
  std::string Describe() const {
    return "address " + std::to_string(address) + ", manufacturer \"" + manufacturer + "\"";
  }
};

// Waits up to 10 s for a board to be present.
std::optional<SysfsBoard> WaitForBoard() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  do {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/bus/usb/devices", error)) {
      const std::string vendor = ReadText(entry.path() / "idVendor");
      if (vendor == "0400" || vendor == "04b4") {
        return SysfsBoard{std::atoi(ReadText(entry.path() / "devnum").c_str()),
                          ReadText(entry.path() / "manufacturer")};
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < deadline);
  return std::nullopt;
}

// A number of the gadget's "status" reply ("ok ... field=N ..."), -1 when absent.
long StatusField(const std::string& reply, const std::string& field) {
  const size_t at = reply.find(" " + field + "=");
  return reply.rfind("ok", 0) != 0 || at == std::string::npos
             ? -1
             : std::strtol(reply.c_str() + at + field.size() + 2, nullptr, 10);
}

}  // namespace

int RunUsbOpenChecks(const std::string& firmware, const std::string& control) {
  CheckReport report;
  const auto before = WaitForBoard();
  if (!report.Check(before && before->manufacturer.empty(), "bare-board-enumerated",
                    before ? before->Describe() : "no board in sysfs")) {
    return report.ExitCode();
  }
  const Opened open = Open(LINK_USB, kDriverName, firmware.c_str());
  if (!report.Check(open.ok, "open-downloads-firmware", open.detail)) {
    return report.ExitCode();
  }
  const auto after = WaitForBoard();
  report.Check(after && after->address != before->address && after->manufacturer == "Kestrova",
               "board-re-enumerated-with-its-strings",
               "was " + before->Describe() + ", now " + (after ? after->Describe() : "none"));
  const std::string status = SendControlCommand(control, "status");
  report.Check(StatusField(status, "boots") == 1 && StatusField(status, "firmware") == 1,
               "gadget-booted-image", status);
  report.Close(open.handle);

  // Programmed now: opened as it is, no image needed and none downloaded.
  const Opened again = Open(LINK_USB, kDriverName);
  const std::string statusAgain = SendControlCommand(control, "status");
  report.Check(again.ok && StatusField(statusAgain, "boots") == 1, "reopen-without-download",
               again.detail + "; " + statusAgain);
  CloseDevice(again.handle);
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
               Describe(held) + ", data " + Hex(held.data) + " after " +
                   std::to_string(static_cast<int>(waited)) + " ms");

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
