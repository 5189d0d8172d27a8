#include "board_gadget.hpp"

#include <endian.h>
#include <linux/usb/functionfs.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "emulator/descriptors.hpp"

// The gadget's log is one line per event on standard error; the guest script
// reads the setup lines of the firmware download.
namespace kestrova::kerneltest {
namespace {

using emulator::kCommandEndpoint;
using emulator::kResponseEndpoint;
using emulator::UsbOutcome;

// A board re-enumerates a moment after the request that caused it has
// completed on the host side.
constexpr auto kReenumerationDelay = std::chrono::milliseconds(20);
// How often a board that is off the bus is looked for again.
constexpr auto kSearchInterval = std::chrono::milliseconds(300);
// After a failed read of an endpoint file, before the next.
constexpr auto kRetryDelay = std::chrono::milliseconds(100);
// Every command and every response fits one high-speed bulk packet.
constexpr size_t kBulkPacket = 512;

const char* OutcomeName(UsbOutcome outcome) {
  static const char* const kNames[] = {"done", "stall", "pending", "gone", "overflow"};
  return kNames[static_cast<int>(outcome)];
}

}  // namespace

bool BoardGadget::Start(std::string* error) {
  if (!core_.Create(emulator::BuildConfigurationDescriptor(board_.Class(), false), error) ||
      !firmware_.Create(emulator::BuildConfigurationDescriptor(board_.Class(), true), error)) {
    return false;
  }
  std::thread([this] { ServeEp0(core_, "core"); }).detach();
  std::thread([this] { ServeEp0(firmware_, "firmware"); }).detach();
  std::thread([this] { ServeCommands(); }).detach();
  std::thread([this] { ServeResponses(); }).detach();
  std::thread([this] { Present(); }).detach();
  return true;
}

void BoardGadget::Shutdown() {
  std::lock_guard<std::mutex> lock(mutex_);
  core_.Unbind();
  firmware_.Unbind();
}

// ---- ep0: the requests the kernel forwards (everything but the standard ones)

void BoardGadget::ServeEp0(GadgetFace& face, const char* name) {
  usb_functionfs_event events[4];
  for (;;) {
    const ssize_t n = ::read(face.Ep0(), events, sizeof events);
    if (n < 0 && errno != EINTR) {
      std::fprintf(stderr, "%s ep0: read: %s\n", name, std::strerror(errno));
      std::this_thread::sleep_for(kRetryDelay);
    }
    for (ssize_t i = 0; i < n / static_cast<ssize_t>(sizeof events[0]); ++i) {
      if (events[i].type == FUNCTIONFS_SETUP) {
        HandleSetup(face.Ep0(), events[i].u.setup, name);
      }
    }
  }
}

void BoardGadget::HandleSetup(int ep0, const usb_ctrlrequest& request, const char* face) {
  const emulator::SetupPacket setup{request.bRequestType, request.bRequest, le16toh(request.wValue),
                                    le16toh(request.wIndex), le16toh(request.wLength)};
  std::vector<uint8_t> data(setup.wLength);
  const bool in = setup.IsIn();
  const bool dataOut = !in && setup.wLength > 0;
  // The kernel completes the status stage with the data stage, so a
  // request with data is taken before the board can look at it.
  if (dataOut && ::read(ep0, data.data(), data.size()) != static_cast<ssize_t>(data.size())) {
    std::fprintf(stderr, "%s ep0: data stage: %s\n", face, std::strerror(errno));
    return;
  }
  size_t moved = 0;
  UsbOutcome outcome;
  bool cpuHeld = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    outcome =
        board_.Control(setup, dataOut ? data.data() : nullptr, in ? data.data() : nullptr, &moved);
    cpuHeld = board_.CpuHeldInReset();
    changed_ = true;
  }
  wake_.notify_all();
  if (!dataOut && outcome != UsbOutcome::kPending) {
    // The data of an IN request or the status stage of one without data;
    // I/O in the direction opposite to the request stalls ep0.
    const bool done = outcome == UsbOutcome::kDone;
    uint8_t none = 0;
    const ssize_t r =
        in == done ? ::write(ep0, data.data(), done ? moved : 0) : ::read(ep0, &none, 0);
    if (done && r < 0) {
      std::fprintf(stderr, "%s ep0: %s\n", face, std::strerror(errno));
    }
  }
  std::fprintf(stderr,
               "%s setup %02x %02x value=%04x index=%04x length=%u -> %s moved=%zu%s cpu=%s\n",
               face, setup.bmRequestType, setup.bRequest, setup.wValue, setup.wIndex, setup.wLength,
               OutcomeName(outcome), dataOut ? data.size() : moved,
               dataOut && setup.wLength == 1 ? (data[0] ? " data=01" : " data=00") : "",
               cpuHeld ? "reset" : "running");
}

// ---- bulk: commands in on 0x01, responses out on 0x81

void BoardGadget::ServeCommands() {
  std::vector<uint8_t> packet(kBulkPacket);
  for (;;) {
    const ssize_t n = ::read(firmware_.Endpoint(kCommandEndpoint), packet.data(), packet.size());
    if (n < 0) {
      if (errno != EINTR && errno != ESHUTDOWN) {
        std::fprintf(stderr, "command endpoint: read: %s\n", std::strerror(errno));
        std::this_thread::sleep_for(kRetryDelay);
      }
      continue;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (responseHeld_) {
      // On a real bus the host's abort never reaches the device; a new
      // command is the sign that the host stopped waiting.
      board_.Abort(kResponseEndpoint);
      responseHeld_ = false;
    }
    size_t moved = 0;
    UsbOutcome outcome;
    while ((outcome = board_.BulkOut(kCommandEndpoint, packet.data(), static_cast<size_t>(n),
                                     &moved)) == UsbOutcome::kPending) {
      // Both response slots are full: wait until the host takes one.
      wake_.wait(lock);
    }
    changed_ = changed_ || outcome == UsbOutcome::kGone;
    lock.unlock();
    wake_.notify_all();
  }
}

void BoardGadget::ServeResponses() {
  std::vector<uint8_t> response(kBulkPacket);
  for (;;) {
    size_t moved = 0;
    UsbOutcome outcome;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return !responseHeld_ && board_.ResponsesQueued() > 0; });
      outcome = board_.BulkIn(kResponseEndpoint, response.data(), response.size(), &moved);
      responseHeld_ = outcome == UsbOutcome::kPending;
      changed_ = changed_ || outcome == UsbOutcome::kGone;
    }
    wake_.notify_all();
    // Blocks until the host takes it; a zero-length write is the empty
    // response of a chip that did not acknowledge.
    if (outcome == UsbOutcome::kDone &&
        ::write(firmware_.Endpoint(kResponseEndpoint), response.data(), moved) < 0) {
      std::fprintf(stderr, "response endpoint: %s\n", std::strerror(errno));
    }
  }
}

// ---- presence: which face of the board is on the bus

void BoardGadget::Present() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return changed_; });
    changed_ = false;
    if (board_.Generation() == presentedGeneration_) {
      continue;
    }
    lock.unlock();
    std::this_thread::sleep_for(kReenumerationDelay);
    lock.lock();
    core_.Unbind();
    firmware_.Unbind();
    if (!board_.Connected()) {
      // Off the bus (re-enumerating, or unplugged): look again a moment
      // later, as a host's search for boards would, until it shows up.
      lock.unlock();
      std::this_thread::sleep_for(kSearchInterval);
      lock.lock();
      board_.NoteSearch();
      changed_ = true;
      wake_.notify_all();
      continue;
    }
    presentedGeneration_ = board_.Generation();
    GadgetFace& face = board_.FirmwareRunning() ? firmware_ : core_;
    std::string error;
    if (!face.Bind(board_.DeviceDescriptor(), udc_, &error)) {
      std::fprintf(stderr, "presenting the board: %s\n", error.c_str());
    } else {
      std::fprintf(stderr, "on the bus: %s, generation %u\n",
                   board_.FirmwareRunning() ? "firmware running" : "bare core",
                   presentedGeneration_);
    }
  }
}

// ---- control channel

std::string BoardGadget::Command(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string error;
  if (line.rfind("arm ", 0) == 0) {
    return board_.Faults().ArmFromText(line.substr(4), &error) ? "ok" : "error " + error;
  }
  if (line == "release") {
    // The held-back response goes out after all, late, as a slow firmware
    // would send it after the host gave up waiting.
    const bool wasHeld = responseHeld_;
    responseHeld_ = false;
    wake_.notify_all();
    return wasHeld ? "ok" : "error no response is held";
  }
  if (line == "status") {
    char text[160];
    std::snprintf(text, sizeof text,
                  "ok connected=%d firmware=%d cpu_reset=%d boots=%u download_requests=%u held=%d",
                  board_.Connected(), board_.FirmwareRunning(), board_.CpuHeldInReset(),
                  board_.Boots(), board_.DownloadRequests(), responseHeld_);
    return text;
  }
  return "error unknown command";
}

}  // namespace kestrova::kerneltest
