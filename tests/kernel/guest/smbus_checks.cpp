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
// The lock wait is 10 s; allow for a slow virtual machine on the upper side.
constexpr double kLockWaitMinMs = 9900;
constexpr double kLockWaitMaxMs = 13000;

// Direct i2c-dev byte-data access that bypasses the library: the independent
// witness that the library's transfers really reached the kernel's adapter.
// Writes `value` when one is given; the byte read (or written), none on failure.
std::optional<uint8_t> Raw(int fd, int reg, std::optional<uint8_t> value = std::nullopt) {
  i2c_smbus_data data{};
  data.byte = value.value_or(0);
  i2c_smbus_ioctl_data request{static_cast<uint8_t>(value ? I2C_SMBUS_WRITE : I2C_SMBUS_READ),
                               static_cast<uint8_t>(reg), I2C_SMBUS_BYTE_DATA, &data};
  return ::ioctl(fd, I2C_SMBUS, &request) == 0 ? std::optional<uint8_t>(data.byte) : std::nullopt;
}

}  // namespace

int RunSmbusChecks(const SmbusTarget& target) {
  CheckReport report;
  const int raw = ::open(target.node.c_str(), O_RDWR | O_CLOEXEC);
  const Opened open = Open(LINK_SMBUS, target.driverName);
  if (!report.Check(raw >= 0 && ::ioctl(raw, I2C_SLAVE, static_cast<long>(target.chip)) == 0,
                    "raw-witness", "i2c-dev " + target.node) ||
      !report.Check(open.ok, "open " + target.driverName, open.detail)) {
    return report.ExitCode();
  }
  const DeviceHandle h = open.handle;
  const auto registers = RegisterRange(kPatternFirst, kPatternCount);

  // Library write, adapter read; adapter write, library read.
  const auto written = Pattern(0x5a, kPatternCount);
  const Transfer w = Write(h, BUS_SMBUS, target.chip, registers, written);
  std::vector<uint8_t> landed;
  const auto planted = Pattern(0xc3, kPatternCount);
  bool rawOk = true;  // every raw read and write went through
  for (int i = 0; i < kPatternCount; ++i) {
    const auto byte = Raw(raw, kPatternFirst + i);
    landed.push_back(byte.value_or(0));
    rawOk = rawOk && byte && Raw(raw, kPatternFirst + i, planted[i]);
  }
  report.Check(w.ok && rawOk && landed == written, "write-lands-in-chip",
               "wrote " + Hex(written) + ", chip held " + Hex(landed) + ", " + Describe(w));
  const Transfer r = Read(h, BUS_SMBUS, target.chip, registers);
  report.Check(rawOk && r.ok && r.data == planted, "read-returns-chip",
               "chip holds " + Hex(planted) + ", read " + Describe(r));

  // A 16-bit register is two equal entries in a row, first byte on the wire
  // first: it must travel as one word transfer, or the chip hands back its
  // first byte twice and a write leaves only the second byte behind.
  const int16_t wordRegister = kPatternFirst + kPatternCount;
  const std::vector<uint8_t> word = {0xa1, 0xb2};
  const Transfer ww = Write(h, BUS_SMBUS, target.chip, {wordRegister, wordRegister}, word);
  const Transfer wr = Read(h, BUS_SMBUS, target.chip, {wordRegister, wordRegister});
  const auto firstByte = Raw(raw, wordRegister);
  report.Check(ww.ok && wr.ok && wr.data == word && firstByte == word[0],
               "16-bit-register-round-trip",
               "wrote " + Hex(word) + ", read " + Describe(wr) + ", first byte in the chip " +
                   (firstByte ? Hex({*firstByte}) : std::string("unreadable")));

  // Nobody answers at the absent address: the adapter's NAK is the driver failure.
  report.Fails(Read(h, BUS_SMBUS, target.absent, RegisterRange(0, 2)), "read-absent-chip",
               "ReadDevice: Dravik driver read failed");
  report.Close(h);
  ::close(raw);
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

}  // namespace kestrova::kerneltest
