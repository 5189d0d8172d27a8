// dravik-board-gadget: the emulated evaluation board served as a real USB
// device on a port of the kernel's USB/IP virtual host controller, so the
// library's libusb driver meets it through a real USB host stack. The
// bench comes from the same environment as the in-process emulator
// (DRAVIK_EMULATOR_SCENARIO, DRAVIK_EMULATOR_FAULTS); the first board is served.
//
//   dravik-board-gadget --control PIPE --test-chip ADDRESS
//
// --test-chip puts a chip of 256 plain read/write registers on the I2C bus
// at ADDRESS (hex), for round trips when the bench has no chip there.
//
// Needs root and vhci_hcd loaded (its first high-speed port is taken). Runs
// until SIGTERM or SIGINT, then disconnects.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "board_gadget.hpp"
#include "control_pipe.hpp"
#include "emulator/environment.hpp"
#include "emulator/register_chip.hpp"

using namespace kestrova::kerneltest;
namespace emulator = kestrova::emulator;

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fputs("usage: dravik-board-gadget --control PIPE --test-chip ADDRESS\n", stderr);
    return 2;
  }

  // Signals are taken by sigwait below, never by the serving threads.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  // The bench always has a board: one without a scenario's is added.
  auto bench = emulator::BuildEmulatorFromEnvironment();
  // 256 registers of one byte, every bit writable, all 0 at start.
  auto chip = std::make_shared<emulator::RegisterChip>("test chip");
  for (uint16_t reg = 0; reg < 0x100; ++reg) {
    chip->DefineField(reg, reg, 7, 0, 0, true);
  }
  bench->GetBuses()->I2c().Attach(static_cast<uint8_t>(std::strtol(argv[4], nullptr, 16)), chip);
  BoardGadget gadget(bench->BoardAt(0));
  std::string error;
  if (!gadget.Start(&error) ||
      !ServeControlPipe(
          argv[2], [&gadget](const std::string& line) { return gadget.Command(line); }, &error)) {
    std::fprintf(stderr, "dravik-board-gadget: %s\n", error.c_str());
    gadget.Shutdown();
    return 1;
  }
  std::fprintf(stderr, "serving, control pipe %s\n", argv[2]);

  int signal = 0;
  sigwait(&stop, &signal);
  gadget.Shutdown();
  std::_Exit(0);
}
