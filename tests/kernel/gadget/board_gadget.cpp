#include "board_gadget.hpp"

#include <linux/usb/functionfs.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "emulator/descriptors.hpp"
#include "gadget_log.hpp"

namespace kestrova::kerneltest {
namespace {

using emulator::UsbOutcome;

constexpr uint8_t kCommandEndpoint = emulator::kCommandEndpoint;
constexpr uint8_t kResponseEndpoint = emulator::kResponseEndpoint;
// A board re-enumerates a moment after the request that caused it has
// completed on the host side.
constexpr auto kReenumerationDelay = std::chrono::milliseconds(20);
// How often a board that is off the bus is looked for again.
constexpr auto kSearchInterval = std::chrono::milliseconds(300);
constexpr size_t kEventsPerRead = 4;
// Every command and every response fits one high-speed bulk packet.
constexpr size_t kBulkPacket = 512;

const char* OutcomeName(UsbOutcome outcome) {
  static const char* const kNames[] = {"done", "stall", "pending", "gone", "overflow"};
  return kNames[static_cast<int>(outcome)];
}

uint16_t Word(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

// ep0 I/O in the direction opposite to the request stalls it.
void Stall(int ep0, bool requestIsIn) {
  uint8_t none = 0;
  if (requestIsIn) {
    [[maybe_unused]] ssize_t r = ::read(ep0, &none, 0);
  } else {
    [[maybe_unused]] ssize_t r = ::write(ep0, &none, 0);
  }
}

}  // namespace

BoardGadget::BoardGadget(emulator::Board& board, std::string udc)
    : board_(board), udc_(std::move(udc)) {}

bool BoardGadget::Start(std::string* error) {
  const emulator::BoardClass boardClass = board_.Class();
  if (!core_.Create(emulator::BuildConfigurationDescriptor(boardClass, false), error) ||
      !firmware_.Create(emulator::BuildConfigurationDescriptor(boardClass, true), error)) {
    return false;
  }
  if (firmware_.Endpoint(kCommandEndpoint) < 0 || firmware_.Endpoint(kResponseEndpoint) < 0) {
    *error = "the firmware's descriptors lack the command or response endpoint";
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
  std::string error;
  core_.Unbind(&error);
  firmware_.Unbind(&error);
}

void BoardGadget::BoardMayHaveChanged() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    changed_ = true;
  }
  wake_.notify_all();
}

// ---- ep0: the requests the kernel forwards (everything but the standard ones)

void BoardGadget::ServeEp0(GadgetFace& gadget, const char* face) {
  const int ep0 = gadget.Ep0();
  usb_functionfs_event events[kEventsPerRead];
  for (;;) {
    const ssize_t n = ::read(ep0, events, sizeof events);
    if (n < 0) {
      if (errno != EINTR) {
        Log("%s ep0: read: %s", face, std::strerror(errno));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
      continue;
    }
    for (size_t i = 0; i < static_cast<size_t>(n) / sizeof events[0]; ++i) {
      if (events[i].type == FUNCTIONFS_SETUP) {
        HandleSetup(ep0, reinterpret_cast<const uint8_t*>(&events[i].u.setup), face);
        BoardMayHaveChanged();
      }
    }
  }
}

void BoardGadget::HandleSetup(int ep0, const uint8_t* request, const char* face) {
  emulator::SetupPacket setup;
  setup.bmRequestType = request[0];
  setup.bRequest = request[1];
  setup.wValue = static_cast<uint16_t>(request[2] | request[3] << 8);
  setup.wIndex = static_cast<uint16_t>(request[4] | request[5] << 8);
  setup.wLength = static_cast<uint16_t>(request[6] | request[7] << 8);
  std::vector<uint8_t> data(setup.wLength);
  const bool in = setup.IsIn();
  const bool dataOut = !in && setup.wLength > 0;
  // The kernel completes the status stage with the data stage, so a
  // request with data is taken before the board can look at it.
  if (dataOut && ::read(ep0, data.data(), data.size()) != static_cast<ssize_t>(data.size())) {
    Log("%s ep0: data stage of %u bytes: %s", face, setup.wLength, std::strerror(errno));
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
  }
  if (!dataOut && outcome == UsbOutcome::kDone) {
    // The data of an IN request, or the status stage of one without data.
    uint8_t none = 0;
    if ((in ? ::write(ep0, data.data(), moved) : ::read(ep0, &none, 0)) < 0) {
      Log("%s ep0: %s", face, std::strerror(errno));
    }
  } else if (!dataOut && outcome != UsbOutcome::kPending) {
    Stall(ep0, in);
  }
  Log("%s setup %02x %02x value=%04x index=%04x length=%u -> %s moved=%zu%s cpu=%s%s", face,
      setup.bmRequestType, setup.bRequest, setup.wValue, setup.wIndex, setup.wLength,
      OutcomeName(outcome), dataOut ? data.size() : moved,
      dataOut && setup.wLength == 1 ? (data[0] ? " data=01" : " data=00") : "",
      cpuHeld ? "reset" : "running",
      dataOut && outcome != UsbOutcome::kDone ? " (status stage already acknowledged)" : "");
}

// ---- bulk: commands in on 0x01, responses out on 0x81

void BoardGadget::ServeCommands() {
  const int fd = firmware_.Endpoint(kCommandEndpoint);
  std::vector<uint8_t> packet(kBulkPacket);
  for (;;) {
    const ssize_t n = ::read(fd, packet.data(), packet.size());
    if (n < 0) {
      if (errno != EINTR && errno != ESHUTDOWN) {
        Log("command endpoint: read: %s", std::strerror(errno));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
      continue;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (responseHeld_) {
      // On a real bus the host's abort never reaches the device; a new
      // command is the sign that the host stopped waiting.
      board_.Abort(kResponseEndpoint);
      responseHeld_ = false;
      Log("command endpoint: new command, the held-back response is dropped");
    }
    size_t moved = 0;
    UsbOutcome outcome;
    while ((outcome = board_.BulkOut(kCommandEndpoint, packet.data(), static_cast<size_t>(n),
                                     &moved)) == UsbOutcome::kPending) {
      // Both response slots are full: wait until the host takes one.
      wake_.wait(lock);
    }
    lock.unlock();
    if (outcome == UsbOutcome::kGone) {
      Log("command endpoint: the board dropped off the bus");
      BoardMayHaveChanged();
    } else if (outcome != UsbOutcome::kDone) {
      Log("command endpoint: %s", OutcomeName(outcome));
    }
    wake_.notify_all();
  }
}

void BoardGadget::ServeResponses() {
  const int fd = firmware_.Endpoint(kResponseEndpoint);
  std::vector<uint8_t> response(kBulkPacket);
  for (;;) {
    size_t moved = 0;
    UsbOutcome outcome;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return !responseHeld_ && board_.ResponsesQueued() > 0; });
      outcome = board_.BulkIn(kResponseEndpoint, response.data(), response.size(), &moved);
      if (outcome == UsbOutcome::kPending) {
        responseHeld_ = true;
        Log("response endpoint: the board holds back its response");
        continue;
      }
    }
    wake_.notify_all();
    if (outcome == UsbOutcome::kGone) {
      BoardMayHaveChanged();
      continue;
    }
    if (outcome != UsbOutcome::kDone) {
      Log("response endpoint: %s", OutcomeName(outcome));
      continue;
    }
    // Blocks until the host takes it; a zero-length write is the empty
    // response of a chip that did not acknowledge.
    if (::write(fd, response.data(), moved) < 0) {
      Log("response endpoint: write of %zu bytes: %s", moved, std::strerror(errno));
    }
  }
}

// ---- presence: which face of the board is on the bus

void BoardGadget::Present() {
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return changed_; });
      changed_ = false;
      if (board_.Generation() == presentedGeneration_) {
        continue;
      }
    }
    std::this_thread::sleep_for(kReenumerationDelay);
    PresentCurrentState();
  }
}

void BoardGadget::PresentCurrentState() {
  std::unique_lock<std::mutex> lock(mutex_);
  std::string error;
  if (!core_.Unbind(&error) || !firmware_.Unbind(&error)) {
    Log("unbind: %s", error.c_str());
  }
  if (!board_.Connected()) {
    // Off the bus (re-enumerating, or unplugged): look again a moment later,
    // as a host's search for boards would, until the board shows up.
    Log("the board is off the bus");
    lock.unlock();
    std::this_thread::sleep_for(kSearchInterval);
    lock.lock();
    board_.NoteSearch();
    changed_ = true;
    wake_.notify_all();
    return;
  }
  presentedGeneration_ = board_.Generation();
  const std::vector<uint8_t> device = board_.DeviceDescriptor();
  GadgetIdentity identity;
  identity.bcdUsb = Word(device, 2);
  identity.deviceClass = device[4];
  identity.vendorId = Word(device, 8);
  identity.productId = Word(device, 10);
  identity.bcdDevice = Word(device, 12);
  // The kernel numbers the strings itself, as the board model does.
  if (device[14] != 0) {
    identity.manufacturer = emulator::kManufacturerText;
  }
  if (device[15] != 0) {
    identity.product = emulator::kProductText;
  }
  GadgetFace& face = board_.FirmwareRunning() ? firmware_ : core_;
  if (!face.SetIdentity(identity, &error) || !face.Bind(udc_, &error)) {
    Log("presenting the board: %s", error.c_str());
    return;
  }
  Log("on the bus as %04x:%04x bcdDevice %04x, %s (strings %u/%u), generation %u",
      identity.vendorId, identity.productId, identity.bcdDevice,
      board_.FirmwareRunning() ? "firmware running" : "bare core", device[14], device[15],
      presentedGeneration_);
}

// ---- control channel

std::string BoardGadget::Command(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (line.rfind("arm ", 0) == 0) {
    std::string error;
    if (!board_.Faults().ArmFromText(line.substr(4), &error)) {
      return "error " + error;
    }
    Log("armed %s", line.substr(4).c_str());
    return "ok";
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
