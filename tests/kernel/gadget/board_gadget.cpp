#include "board_gadget.hpp"

#include <endian.h>
#include <linux/usb/ch9.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>

// The gadget's log is one line per event on standard error; the guest script
// reads the setup lines of the firmware download.
namespace kestrova::kerneltest {
namespace {

using emulator::kCommandEndpoint;
using emulator::kResponseEndpoint;
using emulator::UsbOutcome;

constexpr const char* kVhci = "/sys/devices/platform/vhci_hcd.0/";
constexpr const char* kPort = "0";          // the first high-speed port
constexpr const char* kDeviceId = "65538";  // bus 1, device 2 of the serving side
// A USB/IP message starts with twelve big-endian words: command, sequence
// number, device, direction, endpoint, then the command's own fields; a
// submitted request holds its setup packet in the last two, as on the bus.
constexpr size_t kHeaderSize = 48;
constexpr size_t kSetupAt = 40;
constexpr uint32_t kSubmit = 1, kUnlink = 2, kSubmitted = 3, kUnlinked = 4;

// A board re-enumerates a moment after the request that caused it has
// completed on the host side.
constexpr auto kReenumerationDelay = std::chrono::milliseconds(20);
// How often a board that is off the bus is looked for again.
constexpr auto kSearchInterval = std::chrono::milliseconds(300);
// Attempts to attach the board to a port that is still being freed.
constexpr int kAttachTries = 10;

// Per outcome, in its order: its name in the log and the status the host's
// USB stack sees.
const struct {
  const char* name;
  int status;
} kOutcomes[] = {
    {"done", 0}, {"stall", -EPIPE}, {"pending", 0}, {"gone", -ESHUTDOWN}, {"overflow", -EOVERFLOW}};

// No signal handler runs here (SIGTERM and SIGINT wait for sigwait), so only
// the end of the stream (the port detached) cuts a read short. A read of
// nothing would wait for the next message.
bool ReadAll(int fd, uint8_t* to, size_t length) {
  return length == 0 || ::recv(fd, to, length, MSG_WAITALL) == static_cast<ssize_t>(length);
}

uint32_t Word(const uint8_t* header, size_t index) {
  uint32_t word;
  std::memcpy(&word, header + 4 * index, 4);
  return be32toh(word);
}

uint16_t Le16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

// A reply: its command, the request's sequence number, a status and a
// length, then the data for a request to the host.
void Reply(int fd, uint32_t command, uint32_t seqnum, int status, size_t length,
           const uint8_t* data) {
  std::vector<uint8_t> message(kHeaderSize + (data ? length : 0), 0);
  const uint32_t words[] = {
      command, seqnum, 0, 0, 0, static_cast<uint32_t>(status), static_cast<uint32_t>(length)};
  for (size_t i = 0; i < std::size(words); ++i) {
    const uint32_t word = htobe32(words[i]);
    std::memcpy(message.data() + 4 * i, &word, 4);
  }
  std::copy(data, data + (data ? length : 0), message.begin() + kHeaderSize);
  if (::send(fd, message.data(), message.size(), MSG_NOSIGNAL) < 0) {
    std::fprintf(stderr, "reply %u: %s\n", seqnum, std::strerror(errno));
  }
}

// error: why it failed (nullptr: of no interest).
bool WriteVhci(const char* file, const std::string& value, std::string* error = nullptr) {
  std::ofstream out(std::string(kVhci) + file);
  out << value << std::endl;
  if (!out.good() && error != nullptr) {
    *error = std::string(kVhci) + file + " = '" + value + "': " + std::strerror(errno);
  }
  return out.good();
}

}  // namespace

bool BoardGadget::Start(std::string* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!Attach(error)) {
    return false;
  }
  std::thread([this] { Present(); }).detach();
  return true;
}

void BoardGadget::Shutdown() {
  std::lock_guard<std::mutex> lock(mutex_);
  WriteVhci("detach", kPort);
}

// The port takes one end of a new socket pair (the kernel keeps its own
// reference to it); the board's speed is the class's own.
bool BoardGadget::Attach(std::string* error) {
  presentedGeneration_ = board_.Generation();
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    *error = std::string("socketpair: ") + std::strerror(errno);
    return false;
  }
  const int speed =
      board_.Class() == emulator::BoardClass::kHighSpeed ? USB_SPEED_HIGH : USB_SPEED_FULL;
  const bool attached = WriteVhci("attach",
                                  std::string(kPort) + " " + std::to_string(ends[1]) + " " +
                                      kDeviceId + " " + std::to_string(speed),
                                  error);
  ::close(ends[1]);
  if (!attached) {
    ::close(ends[0]);
    return false;
  }
  socket_ = ends[0];
  std::thread([this, fd = ends[0]] { Serve(fd); }).detach();
  return true;
}

// ---- the host's requests, until the port is detached

void BoardGadget::Serve(int fd) {
  uint8_t header[kHeaderSize];
  while (ReadAll(fd, header, sizeof header)) {
    const bool in = Word(header, 3) != 0;
    const uint8_t* setup = header + kSetupAt;
    Request request{Word(header, 1),
                    static_cast<uint8_t>(Word(header, 4) | (in ? 0x80 : 0)),
                    {setup[0], setup[1], Le16(setup + 2), Le16(setup + 4), Le16(setup + 6)},
                    std::vector<uint8_t>(Word(header, 0) == kSubmit ? Word(header, 6) : 0)};
    if (!in && !ReadAll(fd, request.data.data(), request.data.size())) {
      break;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd != socket_) {
      continue;  // detached meanwhile
    }
    if (Word(header, 0) == kUnlink) {
      // The host gave up waiting (its time-out). A real board never learns
      // of it: a held response stays held.
      const auto it = std::find_if(pending_.begin(), pending_.end(),
                                   [&](const Request& r) { return r.seqnum == Word(header, 5); });
      Reply(fd, kUnlinked, request.seqnum, it == pending_.end() ? 0 : -ECONNRESET, 0, nullptr);
      std::fprintf(stderr, "host gave up request %u%s\n", Word(header, 5),
                   it == pending_.end() ? " (answered already)" : "");
      if (it != pending_.end()) {
        pending_.erase(it);
      }
      continue;
    }
    if (request.endpoint == kCommandEndpoint && responseHeld_) {
      // A new command is the sign that the host stopped waiting.
      board_.Abort(kResponseEndpoint);
      responseHeld_ = false;
    }
    pending_.push_back(std::move(request));
    AnswerPending();
  }
  ::close(fd);
}

// Answers what the board can answer now, in order, until nothing moves:
// a taken response makes room for a command that waits for it.
void BoardGadget::AnswerPending() {
  for (bool moved = true; moved;) {
    moved = false;
    for (auto it = pending_.begin(); it != pending_.end();) {
      const bool answered = Answer(*it);
      moved = moved || answered;
      it = answered ? pending_.erase(it) : it + 1;
    }
  }
  if (board_.Generation() != presentedGeneration_) {
    presence_.notify_all();
  }
}

bool BoardGadget::Answer(Request& request) {
  const bool in = (request.endpoint & 0x80) != 0;
  size_t moved = 0;
  UsbOutcome outcome;
  if ((request.endpoint & 0x7F) == 0) {
    const emulator::SetupPacket& setup = request.setup;
    const char* face = board_.FirmwareRunning() ? "firmware" : "core";
    outcome = board_.Control(setup, in ? nullptr : request.data.data(),
                             in ? request.data.data() : nullptr, &moved);
    moved = in ? moved : request.data.size();
    std::fprintf(stderr,
                 "%s setup %02x %02x value=%04x index=%04x length=%u -> %s moved=%zu%s cpu=%s\n",
                 face, setup.bmRequestType, setup.bRequest, setup.wValue, setup.wIndex,
                 setup.wLength, kOutcomes[static_cast<int>(outcome)].name, moved,
                 !in && setup.wLength == 1 ? (request.data[0] ? " data=01" : " data=00") : "",
                 board_.CpuHeldInReset() ? "reset" : "running");
  } else if (in) {
    // Only a queued response is fetched: the board's faults count the
    // responses it sends, not the host's polls.
    const bool responses = request.endpoint == kResponseEndpoint;
    if (responses && (responseHeld_ || board_.ResponsesQueued() == 0)) {
      return false;
    }
    outcome = board_.BulkIn(request.endpoint, request.data.data(), request.data.size(), &moved);
    responseHeld_ = responseHeld_ || (responses && outcome == UsbOutcome::kPending);
  } else {
    outcome = board_.BulkOut(request.endpoint, request.data.data(), request.data.size(), &moved);
  }
  if (outcome == UsbOutcome::kPending) {
    return false;
  }
  Reply(socket_, kSubmitted, request.seqnum, kOutcomes[static_cast<int>(outcome)].status,
        outcome == UsbOutcome::kDone ? moved : 0, in ? request.data.data() : nullptr);
  return true;
}

// ---- presence: the board on the port, re-attached at every new generation

void BoardGadget::Present() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    presence_.wait(lock, [this] { return board_.Generation() != presentedGeneration_; });
    lock.unlock();
    std::this_thread::sleep_for(kReenumerationDelay);
    lock.lock();
    // A port that cannot be freed shows in the attach's error below.
    WriteVhci("detach", kPort);
    std::string error;
    socket_ = -1;
    pending_.clear();
    // Off the bus (re-enumerating, or unplugged): look again a moment
    // later, as a host's search for boards would, until it shows up.
    while (!board_.Connected()) {
      lock.unlock();
      std::this_thread::sleep_for(kSearchInterval);
      lock.lock();
      board_.NoteSearch();
    }
    // The port is free again once the kernel has taken the last connection
    // down, which a loaded machine may not have done yet.
    for (int tries = 1; !Attach(&error) && tries < kAttachTries; ++tries) {
      lock.unlock();
      std::this_thread::sleep_for(kSearchInterval);
      lock.lock();
    }
    std::fprintf(stderr, "on the bus: %s, generation %u\n",
                 socket_ < 0                ? ("none, " + error).c_str()
                 : board_.FirmwareRunning() ? "firmware running"
                                            : "bare core",
                 presentedGeneration_);
  }
}

// ---- control channel

std::string BoardGadget::Command(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string error;
  if (line.rfind("arm ", 0) != 0) {
    return "error unknown command";
  }
  return board_.Faults().ArmFromText(line.substr(4), &error) ? "ok" : "error " + error;
}

}  // namespace kestrova::kerneltest
