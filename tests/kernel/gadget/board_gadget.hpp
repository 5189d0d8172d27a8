// Serves the emulated board's logic as a real USB device. The board's two
// faces are two configfs gadgets, each with its own FunctionFS instance: the
// bare core (string indexes 0, no bulk endpoints) and the running firmware
// (strings 1 and 2, the eight bulk endpoints). Whenever the board model
// disconnects or re-enumerates, the gadget bound to the device controller
// is swapped, which the host sees as a real unplug and a new device.
#pragma once

#include <linux/usb/ch9.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "emulator/board.hpp"
#include "gadget_face.hpp"

namespace kestrova::kerneltest {

class BoardGadget {
 public:
  BoardGadget(emulator::Board& board, std::string udc) : board_(board), udc_(std::move(udc)) {}

  // Sets up both gadgets and starts serving; the board appears on the bus.
  bool Start(std::string* error);
  // Disconnects from the host.
  void Shutdown();

  // One line of the control channel: "arm <faults>" arms faults in the
  // emulator's text form, "release" sends a held-back response late,
  // "status" describes the board. Returns the reply.
  std::string Command(const std::string& line);

 private:
  void ServeEp0(GadgetFace& face, const char* name);
  void HandleSetup(int ep0, const usb_ctrlrequest& request, const char* face);
  void ServeCommands();
  void ServeResponses();
  void Present();

  emulator::Board& board_;
  const std::string udc_;
  GadgetFace core_{"dravik_core"};
  GadgetFace firmware_{"dravik_firmware"};

  // Every call into the board and every fault armed goes through this lock.
  std::mutex mutex_;
  std::condition_variable wake_;
  bool changed_ = true;
  uint32_t presentedGeneration_ = 0;
  // A response the board held back (the time-out fault): it stays unsent
  // until the host's next command shows the host gave up waiting for it.
  bool responseHeld_ = false;
};

}  // namespace kestrova::kerneltest
