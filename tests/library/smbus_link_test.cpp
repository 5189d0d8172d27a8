// The SMBus-controller link on the emulator's controller: driver path,
// request blocks and their control codes (as the packet trace shows them),
// the checks before the lock, and the controller lock held during a transfer.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <string>

#include "drivers.hpp"
#include "library_fixture.hpp"
#include "smbus/smbus_link.hpp"

namespace dravik::testing {
namespace {

bool LockIsFree(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR);
  const bool free = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return free;
}

struct Watch {
  std::string lockPath;
  bool lockHeldDuringCall = false;
  bool destroyed = false;
};

// The emulator's SMBus controller on the bench's chips, watched.
class WatchedController : public kestrova::emulator::SmbusController {
 public:
  WatchedController(EmulatedBench& bench, std::shared_ptr<kestrova::emulator::FaultPlan> faults,
                    Watch& watch)
      : SmbusController(bench.emulator.GetBuses(), std::move(faults)), watch_(watch) {}
  ~WatchedController() override { watch_.destroyed = true; }
  bool Control(uint32_t code, uint8_t* block, uint32_t length, uint32_t* returned) override {
    watch_.lockHeldDuringCall = !LockIsFree(watch_.lockPath);
    return SmbusController::Control(code, block, length, returned);
  }

 private:
  Watch& watch_;
};

class SmbusLinkTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    watch.lockPath = folder / "lock";
    SetSmbusOpenerForTesting([this](const char* path) -> std::unique_ptr<smbus::Driver> {
      opened.push_back(path);
      return refuseOpen ? nullptr : std::make_unique<WatchedController>(*bench, faults, watch);
    });
  }

  DeviceHandle OpenSmbus() {
    DeviceHandle handle = 55;
    EXPECT_EQ(OpenDevice(LINK_SMBUS, "i2c-", nullptr, 0, nullptr, &handle), 1) << LastError();
    return handle;
  }

  std::shared_ptr<kestrova::emulator::FaultPlan> faults =
      std::make_shared<kestrova::emulator::FaultPlan>();
  Watch watch;
  std::vector<std::string> opened;
  bool refuseOpen = false;
};

TEST_F(SmbusLinkTest, OpensTheDriverPathOfTheName) {
  const std::string longest(250, 'n');
  struct Case {
    std::string name;
    std::string result;  // the driver path opened, or the message
    bool refuse = false;
    const char* lock = nullptr;
  };
  const Case cases[] = {
      {"i2c-", "/dev/i2c-0"},
      {"/dev/i2c-7", "/dev/i2c-7"},
      {"dravik_i2c", "/dev/dravik_i2c0"},
      {longest, "/dev/" + longest + "0"},
      {"12", "/dev/i2c-12"},
      {longest + "n", "OpenDevice: DriverName > 250 characters"},
      {"i2c-", "OpenDevice: Can't open dravik ICH driver", true},
      {"i2c-", "OpenDevice: Can't create ICH Mutex", false, "/nonexistent-folder/lock"},
  };
  DeviceHandle last = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    refuseOpen = c.refuse;
    if (c.lock != nullptr) {
      ::setenv("DRAVIK_SMBUS_LOCK", c.lock, 1);
    }
    opened.clear();
    DeviceHandle handle = 55;
    if (OpenDevice(LINK_SMBUS, c.name.c_str(), nullptr, 0, nullptr, &handle) == 1) {
      EXPECT_EQ(opened, std::vector<std::string>{c.result});
      EXPECT_GT(handle, last);
      last = handle;
    } else {
      EXPECT_EQ(LastError(), c.result);
      EXPECT_EQ(handle, -1);
      EXPECT_EQ(opened.size(), c.refuse ? 1u : 0u);
    }
  }
}

TEST_F(SmbusLinkTest, TransfersAreOneBlockUnderTheLock) {
  struct Case {
    bool write;
    uint8_t port;
    int16_t address;
    std::vector<int16_t> registers;
    Bytes data;         // write: the data; read: the buffer afterwards
    const char* trace;  // the block's line: a read's comes back with the answers in place
  };
  const Case cases[] = {
      {false, 0, 0x48, {0, 1}, {0x00, 0x01}, "code=0x226400 in 5/5 [48 00 02 00 01]"},
      // Board entries are not the controller's: skipped, their bytes left alone.
      {false, 3, 0x50, {5, 1024, 6}, {0x05, 0xCC, 0x06}, "code=0x226400 in 5/5 [50 03 02 05 06]"},
      {true,
       1,
       0x7F,
       {0x10, 2000, 0x11, -1},
       {1, 2, 3, 4},
       "code=0x22a404 out 9/9 [7f 01 03 10 11 ff 01 03 04]"},
      // A first entry of -1 selects the codes without a register address: the bytes sent set
      // the chip's register pointer, which the bytes received come from.
      {true, 0, 0x50, {-1, -1}, {0x31, 0x32}, "code=0x22a40c out 7/7 [50 00 02 ff ff 31 32]"},
      {false, 0, 0x50, {-1, -1}, {0x32, 0x32}, "code=0x226408 in 5/5 [50 00 02 32 32]"},
      {false, 0, 0x50, {5, -1}, {0x05, 0xFF}, "code=0x226400 in 5/5 [50 00 02 05 ff]"},
  };
  const DeviceHandle handle = OpenSmbus();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.trace);
    std::vector<int16_t> registers = c.registers;
    Bytes data = c.write ? c.data : Bytes(registers.size(), 0xCC);
    int16_t size = static_cast<int16_t>(registers.size());
    ASSERT_EQ(c.write ? WriteDevice(handle, c.port, BUS_SMBUS, c.address, registers.data(),
                                    data.data(), &size)
                      : ReadDevice(handle, c.port, BUS_SMBUS, c.address, registers.data(),
                                   data.data(), &size),
              1)
        << LastError();
    EXPECT_EQ(NewTraceLines(), std::vector<std::string>{"smbus " + std::string(c.trace) + " ok"});
    EXPECT_EQ(Hex(data), Hex(c.data));
    EXPECT_TRUE(watch.lockHeldDuringCall);
    EXPECT_TRUE(LockIsFree(watch.lockPath));
  }
}

enum Fault { kNone, kFails, kShort };  // the chip does not answer, or a byte comes back too few

TEST_F(SmbusLinkTest, RefusalsComeBeforeTheLockAndFailuresAfterItsRelease) {
  struct Case {
    bool write;
    int16_t bus;
    int16_t address;
    int16_t count;
    bool nullData;
    Fault fault;
    const char* message;
  };
  const Case cases[] = {
      {false, BUS_SMBUS, 0x48, 256, false, kNone, "ReadDevice: DataSize > 0xff"},
      {true, BUS_SMBUS, 0x48, 256, false, kNone, "WriteDevice: DataSize > 0xff"},
      {false, BUS_SMBUS, 128, 1, false, kNone, "ReadDevice: I2C Address > 0x7f"},
      {true, BUS_SMBUS, -1, 1, false, kNone, "WriteDevice: I2C Address > 0x7f"},
      {false, BUS_SMBUS, 0x7FFF, 1, false, kNone, "ReadDevice: I2C Address > 0x7f"},
      {false, BUS_I2C, 0x48, 1, false, kNone, "WriteDevice: Unrecongized Type"},
      {true, BUS_BOARD, 0x48, 1, false, kNone, "WriteDevice: Unrecongized Type"},
      {true, BUS_SMBUS, 0x48, 1, true, kNone, "WriteDevice: Data is NULL"},
      {false, BUS_SMBUS, 0x48, 1, false, kFails, "ReadDevice: Dravik driver read failed"},
      {true, BUS_SMBUS, 0x48, 1, false, kFails, "WriteDevice: Dravik driver write failed"},
      {false, BUS_SMBUS, 0x48, 1, false, kShort,
       "ReadDevice: Wrong number of bytes read from Dravik driver"},
      {true, BUS_SMBUS, 0x48, 1, false, kShort,
       "WriteDevice: Wrong number of bytes sent to Dravik driver"},
  };
  const DeviceHandle handle = OpenSmbus();
  // Hold the lock from another open file: a check that waited for it would
  // take 10 s and end in the ownership message.
  int holder = ::open(watch.lockPath.c_str(), O_RDWR);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    if (c.fault != kNone && holder >= 0) {
      ::close(holder);
      holder = -1;
    }
    if (c.fault != kNone) {
      faults->Arm(c.fault == kFails ? kestrova::emulator::FaultKind::kNak
                                    : kestrova::emulator::FaultKind::kShortResponse);
    }
    std::vector<int16_t> registers(256, 1);
    Bytes data(256, 0x99);
    int16_t size = c.count;
    EXPECT_EQ(c.write
                  ? WriteDevice(handle, 0, c.bus, c.address, registers.data(),
                                c.nullData ? nullptr : data.data(), &size)
                  : ReadDevice(handle, 0, c.bus, c.address, registers.data(), data.data(), &size),
              0);
    EXPECT_EQ(LastError(), c.message);
    EXPECT_EQ(data[0], 0x99);
    const std::vector<std::string> traced = NewTraceLines();  // the block's, when one went out
    EXPECT_EQ(traced.empty() ? "none" : traced[0].substr(traced[0].rfind(' ') + 1),
              c.fault == kNone    ? "none"
              : c.fault == kFails ? "failed"
                                  : "ok");
    EXPECT_TRUE(c.fault == kNone || LockIsFree(watch.lockPath));
  }
  EXPECT_EQ(CloseDevice(handle), 1) << LastError();
  EXPECT_TRUE(watch.destroyed);
}

}  // namespace
}  // namespace dravik::testing
