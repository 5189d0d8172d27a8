#include "checks.hpp"

#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <vector>

#include "check_report.hpp"

namespace kestrova::kerneltest {
namespace {

constexpr int kPatternFirst = 0x20;
constexpr int kPatternCount = 16;
constexpr int kMaxSmbusCount = 255;
// The lock wait is 10 s; allow for a slow virtual machine on the upper side.
constexpr double kLockWaitMinMs = 9900;
constexpr double kLockWaitMaxMs = 13000;
// A freed lock is taken at once; anything near the wait means it was not.
constexpr double kFreeLockMaxMs = 2000;

// Direct i2c-dev access that bypasses the library: the independent witness
// that the library's transfers really reached the kernel's SMBus adapter.
class RawI2c {
 public:
  RawI2c(const std::string& node, uint8_t address) : fd_(::open(node.c_str(), O_RDWR | O_CLOEXEC)) {
    ok_ = fd_ >= 0 && ::ioctl(fd_, I2C_SLAVE, static_cast<long>(address)) == 0;
  }
  ~RawI2c() { ::close(fd_); }
  bool IsOpen() const { return ok_; }
  std::optional<uint8_t> ReadByteData(uint8_t reg) {
    i2c_smbus_data data{};
    return Smbus(I2C_SMBUS_READ, reg, &data) ? std::optional<uint8_t>(data.byte) : std::nullopt;
  }
  bool WriteByteData(uint8_t reg, uint8_t value) {
    i2c_smbus_data data{};
    data.byte = value;
    return Smbus(I2C_SMBUS_WRITE, reg, &data);
  }

 private:
  bool Smbus(uint8_t readWrite, uint8_t command, i2c_smbus_data* data) {
    i2c_smbus_ioctl_data request{readWrite, command, I2C_SMBUS_BYTE_DATA, data};
    return ok_ && ::ioctl(fd_, I2C_SMBUS, &request) == 0;
  }
  int fd_;
  bool ok_ = false;
};

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

}  // namespace

int RunSmbusChecks(const SmbusTarget& target) {
  CheckReport report;
  RawI2c raw(target.node, target.chip);
  const Opened open = Open(LINK_SMBUS, target.driverName);
  if (!report.Check(raw.IsOpen(), "raw-witness", "i2c-dev " + target.node) ||
      !report.Check(open.ok, "open " + target.driverName, open.detail)) {
    return report.ExitCode();
  }
  const DeviceHandle h = open.handle;
  const auto registers = RegisterRange(kPatternFirst, kPatternCount);

  // Library write, adapter read.
  const auto written = Pattern(0x5a, kPatternCount);
  const Transfer w = Write(h, BUS_SMBUS, target.chip, registers, written);
  const auto landed = RawRead(raw, kPatternFirst, kPatternCount);
  report.Check(w.ok && landed == written, "write-lands-in-chip",
               w.ok ? "wrote " + Hex(written) + ", chip holds " + RawText(landed) : Describe(w));

  // Adapter write, library read.
  const auto planted = Pattern(0xc3, kPatternCount);
  bool plantedOk = true;
  for (int i = 0; i < kPatternCount; ++i) {
    plantedOk = plantedOk && raw.WriteByteData(static_cast<uint8_t>(kPatternFirst + i), planted[i]);
  }
  const Transfer r = Read(h, BUS_SMBUS, target.chip, registers);
  report.Check(plantedOk && r.ok && r.data == planted, "read-returns-chip",
               "chip holds " + Hex(planted) + ", read " + Describe(r));

  // A 16-bit register is two equal entries in a row, first byte on the wire
  // first: it must travel as one word transfer, or the chip hands back its
  // first byte twice and a write leaves only the second byte behind.
  const int16_t wordRegister = kPatternFirst + kPatternCount;
  const std::vector<uint8_t> word = {0xa1, 0xb2};
  const Transfer ww = Write(h, BUS_SMBUS, target.chip, {wordRegister, wordRegister}, word);
  const Transfer wr = Read(h, BUS_SMBUS, target.chip, {wordRegister, wordRegister});
  const auto firstByte = raw.ReadByteData(static_cast<uint8_t>(wordRegister));
  report.Check(ww.ok && wr.ok && wr.data == word && firstByte == word[0],
               "16-bit-register-round-trip",
               "wrote " + Hex(word) + ", read " + Describe(wr) + ", first byte in the chip " +
                   (firstByte ? Hex({*firstByte}) : std::string("unreadable")));

  // A board register entry is not for the controller: its byte stays as it was.
  const Transfer mixed = Read(h, BUS_SMBUS, target.chip,
                              {kPatternFirst, BOARD_REGISTER_BASE, kPatternFirst + 1}, 0xee);
  const std::vector<uint8_t> mixedWanted = {planted[0], 0xee, planted[1]};
  report.Check(mixed.ok && mixed.data == mixedWanted, "board-entry-left-alone",
               "wanted " + Hex(mixedWanted) + ", read " + Describe(mixed));

  // The largest request block the link allows.
  const Transfer big = Read(h, BUS_SMBUS, target.chip, RegisterRange(0, kMaxSmbusCount));
  const auto bigRaw = RawRead(raw, 0, kMaxSmbusCount);
  report.Check(
      big.ok && bigRaw == big.data, "read-255-registers",
      big.ok ? "chip holds " + RawText(bigRaw) + ", read " + Describe(big) : Describe(big));

  // Nobody answers at the absent address: the adapter's NAK is the driver failure.
  report.Fails(Read(h, BUS_SMBUS, target.absent, RegisterRange(0, 2)), "read-absent-chip",
               "ReadDevice: Dravik driver read failed");
  report.Fails(Write(h, BUS_SMBUS, target.absent, RegisterRange(0, 2), {1, 2}), "write-absent-chip",
               "WriteDevice: Dravik driver write failed");
  report.Close(h);
  return report.ExitCode();
}

int RunSmbusLockedChecks(const SmbusTarget& target, bool write) {
  CheckReport report;
  const Opened open = Open(LINK_SMBUS, target.driverName);
  if (!report.Check(open.ok, "open", open.detail)) {
    return report.ExitCode();
  }
  const auto registers = RegisterRange(kPatternFirst, kPatternCount);
  const double start = NowMs();
  const Transfer t =
      write ? Write(open.handle, BUS_SMBUS, target.chip, registers, Pattern(0x77, kPatternCount))
            : Read(open.handle, BUS_SMBUS, target.chip, registers, 0xee);
  const double waited = NowMs() - start;
  const std::string name = write ? "locked-write" : "locked-read";
  report.Fails(
      t, name + "-message",
      (write ? "WriteDevice" : "ReadDevice") + std::string(": Can't get ownership ICH Mutex"));
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
  const Opened open = Open(LINK_SMBUS, target.driverName);
  if (!report.Check(open.ok, "open", open.detail)) {
    return report.ExitCode();
  }
  const double start = NowMs();
  const Transfer t = Read(open.handle, BUS_SMBUS, target.chip, RegisterRange(kPatternFirst, 4));
  const double took = NowMs() - start;
  report.Check(t.ok && took < kFreeLockMaxMs, "read-after-holder-died",
               "took " + std::to_string(static_cast<int>(took)) + " ms, " + Describe(t));
  CloseDevice(open.handle);
  return report.ExitCode();
}

}  // namespace kestrova::kerneltest
