#include "checks.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "../gadget/control_pipe.hpp"
#include "library_calls.hpp"

namespace kestrova::kerneltest {
namespace {

constexpr const char* kDriverName = "dravik";
constexpr int16_t kBoard = BOARD_REGISTER_BASE + 0x500;
constexpr uint8_t kAbsentChip = 0x7F;
constexpr uint8_t kDemoChip = 0x48;
// The host notices a board that left the bus within this time.
constexpr auto kSettle = std::chrono::milliseconds(1000);

class Transcript {
 public:
  void Line(const std::string& what, const Transfer& t) {
    Note(what + ": " + (t.ok ? "count " + std::to_string(t.dataSize) + ", " : "") + Describe(t));
  }
  void Note(const std::string& text) {
    std::printf("%02d %s\n", ++step_, text.c_str());
    std::fflush(stdout);
  }

 private:
  int step_ = 0;
};

// Marks the library's packet trace (DRAVIK_TRACE): the requests after the
// mark are compared between the two runs.
void MarkTrace() {
  const char* trace = std::getenv("DRAVIK_TRACE");
  if (trace == nullptr || trace[0] == '\0') {
    return;
  }
  if (std::FILE* file = std::fopen(trace, "a")) {
    std::fputs("---- compared from here\n", file);
    std::fclose(file);
  }
}

DeviceHandle Open(Transcript& out, const char* firmware) {
  const Opened o = kerneltest::Open(LINK_USB, kDriverName, firmware);
  char board[16];
  std::snprintf(board, sizeof board, "%04x:%04x", o.vidPid[0], o.vidPid[1]);
  out.Note("open: " + std::string(o.ok ? "ok" : "fail") + " board " + board +
           (o.ok ? "" : " \"" + LastError() + "\""));
  return o.ok ? o.handle : -1;
}

void PartA(Transcript& out, DeviceHandle h) {
  const auto eight = RegisterRange(kBoard, 8);
  out.Line("board read 8, response one byte short", Read(h, BUS_BOARD, 0, eight));
  out.Line("board read 8, response one byte long", Read(h, BUS_BOARD, 0, eight));
  out.Line("board read 8", Read(h, BUS_BOARD, 0, eight));
  const auto seventy = RegisterRange(kBoard, 70);
  out.Line("board write 70", Write(h, BUS_BOARD, 0, seventy, Pattern(0x21, 70)));
  out.Line("board read 70", Read(h, BUS_BOARD, 0, seventy));
  out.Line("board read 58 with no register address",
           Read(h, BUS_BOARD, 0x12, std::vector<int16_t>(58, NO_REGISTER_ADDRESS)));
  // Both boards run the same model, so only what the transport carries
  // varies here: answers of 2 bytes, none (an absent chip) and none due
  // (a write); the bus types are the firmware's own tests.
  out.Line("demo chip 16-bit limit write",
           Write(h, BUS_I2C, kDemoChip, {0x02, 0x02}, {0x1e, 0x80}));
  out.Line("demo chip 16-bit limit read", Read(h, BUS_I2C, kDemoChip, {0x02, 0x02}));
  out.Line("i2c read 4 at an absent chip", Read(h, BUS_I2C, kAbsentChip, RegisterRange(0, 4)));
  out.Line("i2c write 2 at an absent chip",
           Write(h, BUS_I2C, kAbsentChip, RegisterRange(0, 2), {1, 2}));
  out.Line("board read 2 after the failures", Read(h, BUS_BOARD, 0, RegisterRange(kBoard, 2)));
  // The default bench streams its text once: asking for 58 bytes, the
  // shorter answer ends the stream and sets the count.
  const std::vector<int16_t> stream(58, 0);
  out.Line("stream read 58", Read(h, BUS_STREAM, 0, stream));
  out.Line("stream read 58 after its end", Read(h, BUS_STREAM, 0, stream));
}

void PartB(Transcript& out, DeviceHandle h, const char* firmware) {
  const auto four = RegisterRange(kBoard, 4);
  out.Line("board write 4", Write(h, BUS_BOARD, 0, four, {9, 8, 7, 6}));
  out.Line("board read 4, the board drops off the bus", Read(h, BUS_BOARD, 0, four));
  std::this_thread::sleep_for(kSettle);
  out.Line("board read 4 on the old handle", Read(h, BUS_BOARD, 0, four));
  out.Note(CloseDevice(h) == 1 ? "close: ok" : "close: fail \"" + LastError() + "\"");
  const DeviceHandle again = Open(out, firmware);
  if (again == -1) {
    return;
  }
  out.Line("board read 4 after power was lost", Read(again, BUS_BOARD, 0, four));
  CloseDevice(again);
}

// The faults a part arms first: through the control pipe on the gadget,
// through DRAVIK_EMULATOR_FAULTS in-process.
const char* TranscriptFaults(const std::string& part) {
  return part == "a" ? "short@1,long@2" : "disconnect@3";
}

}  // namespace

int RunUsbTranscript(const TranscriptSetup& setup) {
  if (setup.control.empty()) {
    // In-process: the emulated board, with the same faults armed from the start.
    setenv("DRAVIK_EMULATOR", "1", 1);
    setenv("DRAVIK_EMULATOR_FAULTS", TranscriptFaults(setup.part), 1);
  }
  Transcript out;
  const DeviceHandle h = Open(out, setup.firmware.c_str());
  if (h == -1) {
    return 1;
  }
  if (!setup.control.empty()) {
    const std::string reply =
        SendControlCommand(setup.control, std::string("arm ") + TranscriptFaults(setup.part));
    if (reply != "ok") {
      std::printf("arming the gadget's faults: %s\n", reply.c_str());
      return 1;
    }
  }
  MarkTrace();
  if (setup.part == "a") {
    PartA(out, h);
    CloseDevice(h);
  } else {
    PartB(out, h, setup.firmware.c_str());
  }
  return 0;
}

}  // namespace kestrova::kerneltest
