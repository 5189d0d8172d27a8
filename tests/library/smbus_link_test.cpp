// The SMBus-controller link: driver path, request blocks, the two control
// codes, the checks before the lock, and the cross-process controller lock.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "drivers.hpp"
#include "library_fixture.hpp"
#include "smbus/smbus_link.hpp"

namespace dravik::testing {
namespace {

namespace fs = std::filesystem;

struct DriverLog {
  std::vector<std::string> opened;
  std::vector<uint32_t> codes;
  std::vector<Bytes> blocks;
  bool fails = false;
  int returnedDelta = 0;
  bool destroyed = false;
  // Whether the controller lock was held during the last call.
  bool lockHeldDuringCall = false;
  std::string lockPath;
};

bool LockIsFree(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR);
  if (fd < 0) {
    return false;
  }
  const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return free;
}

class RecordingDriver : public smbus::Driver {
 public:
  explicit RecordingDriver(DriverLog& log) : log_(log) {}
  ~RecordingDriver() override { log_.destroyed = true; }
  bool Control(uint32_t code, uint8_t* block, uint32_t length, uint32_t* returned) override {
    log_.codes.push_back(code);
    log_.blocks.emplace_back(block, block + length);
    log_.lockHeldDuringCall = !LockIsFree(log_.lockPath);
    if (code == smbus::kIoctlRead || code == smbus::kIoctlReadNoRegister) {
      for (uint32_t i = 3; i < length; ++i) {
        block[i] = static_cast<uint8_t>(block[i] + 0x40);
      }
    }
    *returned = static_cast<uint32_t>(static_cast<int>(length) + log_.returnedDelta);
    return !log_.fails;
  }

 private:
  DriverLog& log_;
};

class SmbusLinkTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    lockPath =
        (fs::temp_directory_path() / ("dravik-smbus-lock-" + std::to_string(::getpid()))).string();
    ::setenv("DRAVIK_SMBUS_LOCK", lockPath.c_str(), 1);
    log.lockPath = lockPath;
    SetSmbusOpenerForTesting([this](const char* path) -> std::unique_ptr<smbus::Driver> {
      log.opened.push_back(path);
      if (refuseOpen) {
        return nullptr;
      }
      return std::make_unique<RecordingDriver>(log);
    });
  }
  void TearDown() override {
    ::unsetenv("DRAVIK_SMBUS_LOCK");
    LibraryTest::TearDown();
    fs::remove(lockPath);
  }

  DeviceHandle OpenSmbus(const char* name = "i2c-") {
    DeviceHandle handle = 55;
    EXPECT_EQ(OpenDevice(LINK_SMBUS, name, nullptr, 0, nullptr, &handle), 1) << LastError();
    return handle;
  }

  std::string lockPath;
  DriverLog log;
  bool refuseOpen = false;
};

TEST_F(SmbusLinkTest, DriverPathFromTheDriverName) {
  const DeviceHandle first = OpenSmbus("i2c-");
  const DeviceHandle second = OpenSmbus("/dev/i2c-7");
  const DeviceHandle third = OpenSmbus("dravik_i2c");
  EXPECT_EQ(log.opened, (std::vector<std::string>{"/dev/i2c-0", "/dev/i2c-7", "/dev/dravik_i2c0"}));
  EXPECT_GT(first, 0);
  EXPECT_NE(first, second);
  EXPECT_NE(second, third);
}

TEST_F(SmbusLinkTest, DriverNameOver250CharactersIsRefused) {
  const std::string longest(250, 'n');
  OpenSmbus(longest.c_str());
  EXPECT_EQ(log.opened.back(), "/dev/" + longest + "0");
  DeviceHandle handle = 55;
  const std::string tooLong(251, 'n');
  EXPECT_EQ(OpenDevice(LINK_SMBUS, tooLong.c_str(), nullptr, 0, nullptr, &handle), 0);
  EXPECT_EQ(LastError(), "OpenDevice: DriverName > 250 characters");
  EXPECT_EQ(handle, -1);
  EXPECT_EQ(log.opened.size(), 1u);
}

TEST_F(SmbusLinkTest, OpenFailures) {
  refuseOpen = true;
  DeviceHandle handle = 55;
  EXPECT_EQ(OpenDevice(LINK_SMBUS, "i2c-", nullptr, 0, nullptr, &handle), 0);
  EXPECT_EQ(LastError(), "OpenDevice: Can't open dravik ICH driver");
  EXPECT_EQ(handle, -1);
  refuseOpen = false;
  ::setenv("DRAVIK_SMBUS_LOCK", "/nonexistent-folder/lock", 1);
  EXPECT_EQ(OpenDevice(LINK_SMBUS, "i2c-", nullptr, 0, nullptr, &handle), 0);
  EXPECT_EQ(LastError(), "OpenDevice: Can't create ICH Mutex");
  EXPECT_EQ(log.opened.size(), 1u);
}

TEST_F(SmbusLinkTest, LockFileDefaultsToRunLockOrTheTempFolder) {
  ::unsetenv("DRAVIK_SMBUS_LOCK");
  const std::string path = smbus::LockFilePath();
  if (::access("/run/lock", W_OK) == 0) {
    EXPECT_EQ(path, "/run/lock/Access_SMBUS.HTP.Method");
  } else {
    EXPECT_EQ(fs::path(path).filename(), "Access_SMBUS.HTP.Method");
    EXPECT_NE(path.rfind("/run/lock", 0), 0u);
  }
}

TEST_F(SmbusLinkTest, ReadOfTwoRegistersSendsAFiveByteBlock) {
  const DeviceHandle handle = OpenSmbus();
  int16_t registers[2] = {0, 1};
  uint8_t data[2] = {0, 0};
  int16_t size = 2;
  ASSERT_EQ(ReadDevice(handle, 0, BUS_SMBUS, 0x48, registers, data, &size), 1) << LastError();
  ASSERT_EQ(log.blocks.size(), 1u);
  EXPECT_EQ(log.codes[0], 0x226400u);
  EXPECT_EQ(Hex(log.blocks[0]), "48 00 02 00 01");
  EXPECT_EQ(data[0], 0x40);
  EXPECT_EQ(data[1], 0x41);
  EXPECT_TRUE(log.lockHeldDuringCall);
  EXPECT_TRUE(LockIsFree(lockPath));
}

TEST_F(SmbusLinkTest, BoardEntriesAreSkippedAndTheirDataLeftAlone) {
  const DeviceHandle handle = OpenSmbus();
  int16_t registers[3] = {5, 1024, 6};
  uint8_t data[3] = {0xAA, 0xBB, 0xCC};
  int16_t size = 3;
  ASSERT_EQ(ReadDevice(handle, 3, BUS_SMBUS, 0x20, registers, data, &size), 1) << LastError();
  EXPECT_EQ(Hex(log.blocks[0]), "20 03 02 05 06");
  EXPECT_EQ(data[0], 0x45);
  EXPECT_EQ(data[1], 0xBB);
  EXPECT_EQ(data[2], 0x46);
}

TEST_F(SmbusLinkTest, WriteBlockHoldsRegistersThenData) {
  const DeviceHandle handle = OpenSmbus();
  int16_t registers[4] = {0x10, 2000, 0x11, -1};
  uint8_t data[4] = {0xA0, 0xA1, 0xA2, 0xA3};
  int16_t size = 4;
  ASSERT_EQ(WriteDevice(handle, 1, BUS_SMBUS, 0x7F, registers, data, &size), 1) << LastError();
  EXPECT_EQ(log.codes[0], 0x22A404u);
  EXPECT_EQ(Hex(log.blocks[0]), "7F 01 03 10 11 FF A0 A2 A3");
}

TEST_F(SmbusLinkTest, NoRegisterAddressUsesTheNoRegisterCodes) {
  const DeviceHandle handle = OpenSmbus();
  int16_t registers[2] = {-1, -1};
  uint8_t data[2] = {0x31, 0x32};
  int16_t size = 2;
  ASSERT_EQ(WriteDevice(handle, 0, BUS_SMBUS, 0x4C, registers, data, &size), 1) << LastError();
  ASSERT_EQ(ReadDevice(handle, 0, BUS_SMBUS, 0x4C, registers, data, &size), 1) << LastError();
  EXPECT_EQ(log.codes, (std::vector<uint32_t>{0x22A40C, 0x226408}));
  EXPECT_EQ(Hex(log.blocks[0]), "4C 00 02 FF FF 31 32");
  EXPECT_EQ(Hex(log.blocks[1]), "4C 00 02 FF FF");
  // Only a first entry of -1 counts.
  int16_t mixed[2] = {5, -1};
  ASSERT_EQ(ReadDevice(handle, 0, BUS_SMBUS, 0x4C, mixed, data, &size), 1) << LastError();
  EXPECT_EQ(log.codes.back(), 0x226400u);
}

TEST_F(SmbusLinkTest, ChecksComeBeforeTheLock) {
  const DeviceHandle handle = OpenSmbus();
  // Hold the controller lock from another open file: a check that touched
  // the lock would wait 10 s and fail with the ownership message.
  const int holder = ::open(lockPath.c_str(), O_RDWR);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  std::vector<int16_t> registers(256, 1);
  std::vector<uint8_t> data(256, 0);
  int16_t size = 256;
  EXPECT_EQ(ReadDevice(handle, 0, BUS_SMBUS, 0x48, registers.data(), data.data(), &size), 0);
  EXPECT_EQ(LastError(), "ReadDevice: DataSize > 0xff");
  EXPECT_EQ(WriteDevice(handle, 0, BUS_SMBUS, 0x48, registers.data(), data.data(), &size), 0);
  EXPECT_EQ(LastError(), "WriteDevice: DataSize > 0xff");
  size = 1;
  for (int16_t address : {128, -1, 0x7FFF}) {
    EXPECT_EQ(ReadDevice(handle, 0, BUS_SMBUS, address, registers.data(), data.data(), &size), 0);
    EXPECT_EQ(LastError(), "ReadDevice: I2C Address > 0x7f");
    EXPECT_EQ(WriteDevice(handle, 0, BUS_SMBUS, address, registers.data(), data.data(), &size), 0);
    EXPECT_EQ(LastError(), "WriteDevice: I2C Address > 0x7f");
  }
  ::close(holder);
  EXPECT_TRUE(log.blocks.empty());
}

TEST_F(SmbusLinkTest, DriverFailuresAreReportedAfterTheRelease) {
  const DeviceHandle handle = OpenSmbus();
  int16_t registers[1] = {1};
  uint8_t data[1] = {0x99};
  int16_t size = 1;
  log.fails = true;
  EXPECT_EQ(ReadDevice(handle, 0, BUS_SMBUS, 0x48, registers, data, &size), 0);
  EXPECT_EQ(LastError(), "ReadDevice: Dravik driver read failed");
  EXPECT_TRUE(LockIsFree(lockPath));
  EXPECT_EQ(WriteDevice(handle, 0, BUS_SMBUS, 0x48, registers, data, &size), 0);
  EXPECT_EQ(LastError(), "WriteDevice: Dravik driver write failed");
  log.fails = false;
  log.returnedDelta = -1;
  data[0] = 0x99;
  EXPECT_EQ(ReadDevice(handle, 0, BUS_SMBUS, 0x48, registers, data, &size), 0);
  EXPECT_EQ(LastError(), "ReadDevice: Wrong number of bytes read from Dravik driver");
  EXPECT_EQ(data[0], 0x99);
  EXPECT_EQ(WriteDevice(handle, 0, BUS_SMBUS, 0x48, registers, data, &size), 0);
  EXPECT_EQ(LastError(), "WriteDevice: Wrong number of bytes sent to Dravik driver");
  EXPECT_TRUE(LockIsFree(lockPath));
}

TEST_F(SmbusLinkTest, BusTypesMustMatchTheLink) {
  const DeviceHandle smbus = OpenSmbus();
  int16_t registers[1] = {1};
  uint8_t data[1] = {0};
  int16_t size = 1;
  EXPECT_EQ(ReadDevice(smbus, 0, BUS_I2C, 0x48, registers, data, &size), 0);
  EXPECT_EQ(LastError(), "WriteDevice: Unrecongized Type");
  EXPECT_EQ(WriteDevice(smbus, 0, BUS_BOARD, 0x48, registers, data, &size), 0);
  EXPECT_EQ(LastError(), "WriteDevice: Unrecongized Type");
  EXPECT_EQ(WriteDevice(smbus, 0, BUS_SMBUS, 0x48, registers, nullptr, &size), 0);
  EXPECT_EQ(LastError(), "WriteDevice: Data is NULL");
  const DeviceHandle board = OpenBoard();
  EXPECT_EQ(ReadDevice(board, 0, BUS_SMBUS, 0x48, registers, data, &size), 0);
  EXPECT_EQ(LastError(), "WriteDevice: Unrecongized Type");
  EXPECT_TRUE(log.blocks.empty());
  EXPECT_TRUE(state->sent.empty());
}

TEST_F(SmbusLinkTest, CloseReleasesTheDriver) {
  const DeviceHandle handle = OpenSmbus();
  EXPECT_EQ(CloseDevice(handle), 1) << LastError();
  EXPECT_TRUE(log.destroyed);
  EXPECT_EQ(CloseDevice(handle), 0);
  EXPECT_EQ(LastError(), "CloseUSB: Invalid Device Handle");
}

// A child process that takes the controller lock, says so on a pipe, and then
// either holds it until killed or dies holding it.
pid_t ForkLockHolder(const std::string& lockPath, bool dieAtOnce) {
  int ready[2];
  if (::pipe(ready) != 0) {
    return -1;
  }
  const pid_t child = ::fork();
  if (child == 0) {
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT, 0666);
    if (fd < 0 || ::flock(fd, LOCK_EX) != 0) {
      ::_exit(1);
    }
    const char byte = 'r';
    if (::write(ready[1], &byte, 1) != 1) {
      ::_exit(1);
    }
    if (dieAtOnce) {
      ::_exit(0);
    }
    for (;;) {
      ::pause();
    }
  }
  ::close(ready[1]);
  char byte = 0;
  const bool ok = ::read(ready[0], &byte, 1) == 1;
  ::close(ready[0]);
  return ok ? child : -1;
}

TEST_F(SmbusLinkTest, LockHeldByAnotherProcessFor10SecondsFailsAndSendsNothing) {
  const DeviceHandle handle = OpenSmbus();
  const pid_t child = ForkLockHolder(lockPath, false);
  ASSERT_GT(child, 0);
  int16_t registers[2] = {0, 1};
  uint8_t data[2] = {7, 8};
  int16_t size = 2;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ReadDevice(handle, 0, BUS_SMBUS, 0x48, registers, data, &size), 0);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(LastError(), "ReadDevice: Can't get ownership ICH Mutex");
  EXPECT_GE(waited, std::chrono::milliseconds(10000));
  EXPECT_LT(waited, std::chrono::milliseconds(12000)) << "no wait past the lock's time-out";
  EXPECT_TRUE(log.blocks.empty());
  EXPECT_EQ(data[0], 7);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  // The holder is gone: the next transfer goes through.
  EXPECT_EQ(WriteDevice(handle, 0, BUS_SMBUS, 0x48, registers, data, &size), 1) << LastError();
}

TEST_F(SmbusLinkTest, HolderThatDiedCountsAsReleased) {
  const DeviceHandle handle = OpenSmbus();
  const pid_t child = ForkLockHolder(lockPath, true);
  ASSERT_GT(child, 0);
  ::waitpid(child, nullptr, 0);
  int16_t registers[1] = {3};
  uint8_t data[1] = {0};
  int16_t size = 1;
  EXPECT_EQ(ReadDevice(handle, 0, BUS_SMBUS, 0x48, registers, data, &size), 1) << LastError();
  EXPECT_EQ(data[0], 0x43);
}

}  // namespace
}  // namespace dravik::testing
