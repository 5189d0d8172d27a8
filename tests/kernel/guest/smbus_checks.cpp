#include "smbus_checks.hpp"

#include <cstdio>
#include <optional>
#include <vector>

#include "check_report.hpp"
#include "library_calls.hpp"
#include "raw_i2c.hpp"

namespace kestrova::kerneltest {
namespace {

constexpr int16_t kBusSmbus = BUS_SMBUS;
constexpr int kPatternFirst = 0x20;
constexpr int kPatternCount = 16;
constexpr int kMaxSmbusCount = 255;
constexpr int kBenchRegisters = 58;
// The lock wait is 10 s; allow for a slow virtual machine on the upper side.
constexpr double kLockWaitMinMs = 9900;
constexpr double kLockWaitMaxMs = 13000;
// A freed lock is taken at once; anything near the wait means it was not.
constexpr double kFreeLockMaxMs = 2000;

std::string Describe(const Transfer& t) {
  return t.ok ? "data " + Hex(t.data) : "failed: \"" + t.error + "\"";
}

std::vector<uint8_t> Pattern(uint8_t seed, int count) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < count; ++i) {
    bytes.push_back(static_cast<uint8_t>(seed + 37 * i));
  }
  return bytes;
}

// The adapter's own view of registers first.., read past the library.
std::optional<std::vector<uint8_t>> RawRead(RawI2c& raw, int first, int count) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < count; ++i) {
    auto value = raw.ReadByteData(static_cast<uint8_t>(first + i));
    if (!value) {
      return std::nullopt;
    }
    bytes.push_back(*value);
  }
  return bytes;
}

std::string RawText(const std::optional<std::vector<uint8_t>>& bytes) {
  return bytes ? Hex(*bytes) : std::string("raw i2c-dev read failed");
}

struct Opened {
  bool ok = false;
  DeviceHandle handle = -1;
  std::string detail;
};

Opened Open(const std::string& driverName) {
  Opened o;
  uint16_t vidPid[2] = {0, 0};
  o.ok = OpenDevice(LINK_SMBUS, driverName.c_str(), vidPid, 0, nullptr, &o.handle) == 1;
  o.detail = o.ok ? "handle " + std::to_string(o.handle) : "failed: \"" + LastError() + "\"";
  return o;
}

void CheckMessage(CheckReport& report, const std::string& name, const Transfer& t,
                  const std::string& message) {
  report.Check(!t.ok && t.error == message, name,
               t.ok ? "succeeded, expected \"" + message + "\"" : "\"" + t.error + "\"");
}

}  // namespace

int RunSmbusChecks(const SmbusTarget& target) {
  CheckReport report;
  RawI2c raw(target.node, target.chip);
  if (!report.Check(raw.IsOpen(), "raw-witness", "i2c-dev " + target.node)) {
    return report.ExitCode();
  }
  Opened open = Open(target.driverName);
  if (!report.Check(open.ok, "open " + target.driverName, open.detail)) {
    return report.ExitCode();
  }
  const DeviceHandle h = open.handle;
  const auto registers = RegisterRange(kPatternFirst, kPatternCount);

  // Library write, adapter read.
  const auto written = Pattern(0x5a, kPatternCount);
  Transfer w = Write(h, kBusSmbus, target.chip, registers, written);
  auto landed = RawRead(raw, kPatternFirst, kPatternCount);
  report.Check(w.ok && landed == written, "write-lands-in-chip",
               w.ok ? "wrote " + Hex(written) + ", chip holds " + RawText(landed) : Describe(w));

  // Adapter write, library read.
  const auto planted = Pattern(0xc3, kPatternCount);
  bool plantedOk = true;
  for (int i = 0; i < kPatternCount; ++i) {
    plantedOk = plantedOk && raw.WriteByteData(static_cast<uint8_t>(kPatternFirst + i), planted[i]);
  }
  Transfer r = Read(h, kBusSmbus, target.chip, registers);
  report.Check(plantedOk && r.ok && r.data == planted, "read-returns-chip",
               "chip holds " + Hex(planted) + ", read " + Describe(r));

  // Round trip through the library alone, in one call each way.
  const auto again = Pattern(0x11, kPatternCount);
  Transfer w2 = Write(h, kBusSmbus, target.chip, registers, again);
  Transfer r2 = Read(h, kBusSmbus, target.chip, registers);
  report.Check(w2.ok && r2.ok && r2.data == again, "write-read-round-trip",
               "wrote " + Hex(again) + ", read " + Describe(r2));

  // A 16-bit register is two equal entries in a row, first byte on the wire
  // first: it must travel as one word transfer, or the chip hands back its
  // first byte twice and a write leaves only the second byte behind.
  const int16_t wordRegister = kPatternFirst + kPatternCount;
  const std::vector<uint8_t> word = {0xa1, 0xb2};
  Transfer ww = Write(h, kBusSmbus, target.chip, {wordRegister, wordRegister}, word);
  Transfer wr = Read(h, kBusSmbus, target.chip, {wordRegister, wordRegister});
  const auto firstByte = raw.ReadByteData(static_cast<uint8_t>(wordRegister));
  report.Check(ww.ok && wr.ok && wr.data == word && firstByte == word[0],
               "16-bit-register-round-trip",
               "wrote " + Hex(word) + ", read " + Describe(wr) + ", first byte in the chip " +
                   (firstByte ? Hex({*firstByte}) : std::string("unreadable")));

  // A board register entry is not for the controller: its byte stays as it was.
  Transfer mixed = Read(h, kBusSmbus, target.chip,
                        {kPatternFirst, BOARD_REGISTER_BASE, kPatternFirst + 1}, 0xee);
  const std::vector<uint8_t> mixedWanted = {again[0], 0xee, again[1]};
  report.Check(mixed.ok && mixed.data == mixedWanted, "board-entry-left-alone",
               "wanted " + Hex(mixedWanted) + ", read " + Describe(mixed));

  // The largest request block the link allows, and one entry more.
  const auto all = RegisterRange(0, kMaxSmbusCount);
  Transfer big = Read(h, kBusSmbus, target.chip, all);
  auto bigRaw = RawRead(raw, 0, kMaxSmbusCount);
  report.Check(
      big.ok && bigRaw == big.data, "read-255-registers",
      big.ok ? (bigRaw == big.data ? "matches the chip" : "differs from the chip") : Describe(big));
  CheckMessage(report, "read-256-refused", Read(h, kBusSmbus, target.chip, RegisterRange(0, 256)),
               "ReadDevice: DataSize > 0xff");

  // Nobody answers at the absent address: the adapter's NAK is the driver failure.
  CheckMessage(report, "read-absent-chip", Read(h, kBusSmbus, target.absent, RegisterRange(0, 2)),
               "ReadDevice: Dravik driver read failed");
  CheckMessage(report, "write-absent-chip",
               Write(h, kBusSmbus, target.absent, RegisterRange(0, 2), {1, 2}),
               "WriteDevice: Dravik driver write failed");

  const bool closed = CloseDevice(h) == 1;
  report.Check(closed, "close", closed ? "closed" : "\"" + LastError() + "\"");
  return report.ExitCode();
}

int RunSmbusLockedChecks(const SmbusTarget& target, bool write) {
  CheckReport report;
  Opened open = Open(target.driverName);
  if (!report.Check(open.ok, "open", open.detail)) {
    return report.ExitCode();
  }
  const auto registers = RegisterRange(kPatternFirst, kPatternCount);
  const double start = NowMs();
  Transfer t = write ? Write(open.handle, kBusSmbus, target.chip, registers, Pattern(0x77, 16))
                     : Read(open.handle, kBusSmbus, target.chip, registers, 0xee);
  const double waited = NowMs() - start;
  const std::string name = write ? "locked-write" : "locked-read";
  const std::string message = write ? "WriteDevice: Can't get ownership ICH Mutex"
                                    : "ReadDevice: Can't get ownership ICH Mutex";
  CheckMessage(report, name + "-message", t, message);
  char waitText[64];
  std::snprintf(waitText, sizeof waitText, "gave up after %.0f ms", waited);
  report.Check(waited >= kLockWaitMinMs && waited <= kLockWaitMaxMs, name + "-waits-10s", waitText);
  if (!write) {
    report.Check(t.data == std::vector<uint8_t>(kPatternCount, 0xee), name + "-data-untouched",
                 Hex(t.data));
  }
  // Whether anything reached the adapter is for the kernel's SMBus trace to tell.
  CloseDevice(open.handle);
  return report.ExitCode();
}

int RunSmbusLockFreedChecks(const SmbusTarget& target) {
  CheckReport report;
  Opened open = Open(target.driverName);
  if (!report.Check(open.ok, "open", open.detail)) {
    return report.ExitCode();
  }
  const double start = NowMs();
  Transfer t = Read(open.handle, kBusSmbus, target.chip, RegisterRange(kPatternFirst, 4));
  const double took = NowMs() - start;
  char detail[96];
  std::snprintf(detail, sizeof detail, "took %.0f ms, ", took);
  report.Check(t.ok && took < kFreeLockMaxMs, "read-after-holder-died", detail + Describe(t));
  CloseDevice(open.handle);
  return report.ExitCode();
}

int RunSmbusBench(const SmbusTarget& target, double seconds) {
  CheckReport report;
  Opened open = Open(target.driverName);
  if (!report.Check(open.ok, "open", open.detail)) {
    return report.ExitCode();
  }
  const auto registers = RegisterRange(0, kBenchRegisters);
  int calls = 0;
  bool allOk = true;
  const double start = NowMs();
  double elapsed = 0;
  while (elapsed < seconds * 1000) {
    allOk = Read(open.handle, kBusSmbus, target.chip, registers).ok && allOk;
    ++calls;
    elapsed = NowMs() - start;
  }
  report.Check(allOk, "bench-reads", std::to_string(calls) + " reads of 58 registers");
  report.Metric("smbus-58-register-reads-per-s " + target.node, calls * 1000.0 / elapsed,
                "calls/s");
  CloseDevice(open.handle);
  return report.ExitCode();
}

}  // namespace kestrova::kerneltest
