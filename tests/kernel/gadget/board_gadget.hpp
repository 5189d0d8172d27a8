// Serves the emulated board's logic as a real USB device on a port of the
// kernel's USB/IP virtual host controller (vhci_hcd): the port is attached
// to one end of a socket pair, and every request the host's USB stack makes
// of the device, on ep0 and on the bulk endpoints, arrives at the other end
// as a USB/IP command that the board model answers. Whenever the board
// model disconnects or re-enumerates, the port is detached and attached
// anew, which the host sees as a real unplug and a new device.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "emulator/board.hpp"

namespace kestrova::kerneltest {

class BoardGadget {
 public:
  explicit BoardGadget(emulator::Board& board) : board_(board) {}

  // Attaches the board to the port and starts serving.
  bool Start(std::string* error);
  // Disconnects from the host.
  void Shutdown();

  // One line of the control channel: "arm <faults>" arms faults in the
  // emulator's text form. Returns the reply ("ok", or "error" and why).
  std::string Command(const std::string& line);

 private:
  // A request of the host the board has not answered yet, from the port
  // attached now.
  struct Request {
    uint32_t seqnum;
    uint8_t endpoint;  // with the direction bit
    emulator::SetupPacket setup;
    std::vector<uint8_t> data;  // what the host sent, or room for the answer
  };

  bool Attach(std::string* error);
  void Serve(int socket);
  bool Answer(Request& request);
  void AnswerPending();
  void Present();

  emulator::Board& board_;
  // Every call into the board, every reply and every fault armed goes
  // through this lock.
  std::mutex mutex_;
  std::condition_variable presence_;
  int socket_ = -1;  // this end of the attached port's socket pair
  uint32_t presentedGeneration_ = 0;
  std::deque<Request> pending_;
  // A response the board held back (the time-out fault): it stays unsent
  // until the host's next command shows the host gave up waiting for it.
  bool responseHeld_ = false;
};

}  // namespace kestrova::kerneltest
