// Serves the emulated board's logic as a real USB device. The board's two
// faces are two configfs gadgets, each with its own FunctionFS instance: the
// bare core (string indexes 0, no bulk endpoints) and the running firmware
// (strings 1 and 2, the eight bulk endpoints). Whenever the board model
// disconnects or re-enumerates, the gadget bound to the device controller
// is swapped, which the host sees as a real unplug and a new device.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "configfs_gadget.hpp"
#include "emulator/board.hpp"
#include "ffs_instance.hpp"

namespace kestrova::kerneltest {

class BoardGadget {
 public:
  BoardGadget(emulator::Board& board, std::string udc);

  // Sets up both gadgets and starts serving; the board appears on the bus.
  bool Start(std::string* error);
  // Disconnects from the host.
  void Shutdown();

  // One line of the control channel: "arm <faults>" arms faults in the
  // emulator's text form, "release" sends a held-back response late,
  // "status" describes the board. Returns the reply.
  std::string Command(const std::string& line);

 private:
  void ServeEp0(FfsInstance& ffs, const char* face);
  void HandleSetup(int ep0, const uint8_t* request, const char* face);
  void ServeCommands();
  void ServeResponses();
  void Present();
  void PresentCurrentState();
  void BoardMayHaveChanged();

  emulator::Board& board_;
  const std::string udc_;
  ConfigfsGadget coreGadget_;
  ConfigfsGadget firmwareGadget_;
  FfsInstance coreFfs_;
  FfsInstance firmwareFfs_;

  // Every call into the board and every fault armed goes through this lock.
  std::mutex mutex_;
  std::condition_variable wake_;
  bool changed_ = true;
  uint32_t presentedGeneration_ = 0;
  // A response the board held back (the time-out fault): it stays unsent
  // until the host's next command shows the host gave up waiting for it.
  bool responseHeld_ = false;
  uint32_t responsesSent_ = 0;
  uint32_t commandsTaken_ = 0;
  uint32_t reenumerations_ = 0;
};

}  // namespace kestrova::kerneltest
