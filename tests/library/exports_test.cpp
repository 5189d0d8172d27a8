// The exports' argument checks and their order, the handle table, the
// catch-all, and the exported symbol set of libdravik.so.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>

#include "drivers.hpp"
#include "library_fixture.hpp"

namespace dravik::testing {
namespace {

using ExportsTest = LibraryTest;

TEST_F(ExportsTest, HandleMinusOneIsRefusedBeforeTheCount) {
  int16_t registers[1] = {0};
  uint8_t data[1] = {0};
  int16_t size = 0;
  EXPECT_EQ(ReadDevice(-1, 0, BUS_I2C, 0x48, registers, data, &size), 0);
  EXPECT_EQ(LastError(), "ReadDevice: Device not open");
  EXPECT_EQ(WriteDevice(-1, 0, BUS_I2C, 0x48, registers, data, &size), 0);
  EXPECT_EQ(LastError(), "WriteDevice: Device not open");
}

TEST_F(ExportsTest, CountBelowOneComesBeforeTheUnknownHandle) {
  int16_t registers[1] = {0};
  uint8_t data[1] = {0};
  for (int16_t count : {0, -1, -32768}) {
    int16_t size = count;
    EXPECT_EQ(ReadDevice(0, 0, BUS_I2C, 0x48, registers, data, &size), 0);
    EXPECT_EQ(LastError(), "ReadDevice: DataSize < 1");
    EXPECT_EQ(WriteDevice(0, 0, BUS_I2C, 0x48, registers, data, &size), 0);
    EXPECT_EQ(LastError(), "WriteDevice: DataSize < 1");
  }
}

TEST_F(ExportsTest, HandlesNotHandedOutAreRefused) {
  int16_t registers[1] = {0};
  uint8_t data[1] = {0};
  int16_t size = 1;
  for (DeviceHandle handle : {0, 1, 12345, -2}) {
    EXPECT_EQ(ReadDevice(handle, 0, BUS_I2C, 0x48, registers, data, &size), 0);
    EXPECT_EQ(LastError(), "ReadDevice: Device not open");
    EXPECT_EQ(WriteDevice(handle, 0, BUS_I2C, 0x48, registers, data, &size), 0);
    EXPECT_EQ(LastError(), "WriteDevice: Device not open");
    EXPECT_EQ(CloseDevice(handle), 0);
    EXPECT_EQ(LastError(), "CloseUSB: Invalid Device Handle");
  }
  EXPECT_EQ(CloseDevice(-1), 0);
  EXPECT_EQ(LastError(), "CloseUSB: Invalid Device Handle");
}

TEST_F(ExportsTest, ClosedHandleIsNotReusedOrFollowed) {
  const DeviceHandle first = OpenBoard();
  EXPECT_GT(first, 0);
  EXPECT_EQ(CloseDevice(first), 1) << LastError();
  EXPECT_TRUE(state->destroyed);
  EXPECT_EQ(CloseDevice(first), 0);
  EXPECT_EQ(LastError(), "CloseUSB: Invalid Device Handle");
  const DeviceHandle second = OpenBoard();
  EXPECT_GT(second, 0);
  EXPECT_NE(second, first);
  int16_t registers[1] = {0};
  uint8_t data[1] = {0};
  int16_t size = 1;
  EXPECT_EQ(ReadDevice(first, 0, BUS_I2C, 0x48, registers, data, &size), 0);
  EXPECT_EQ(LastError(), "ReadDevice: Device not open");
}

TEST_F(ExportsTest, NullTransferArgumentsAreRefused) {
  const DeviceHandle handle = OpenBoard();
  int16_t registers[1] = {0};
  uint8_t data[1] = {0};
  int16_t size = 1;
  EXPECT_EQ(ReadDevice(handle, 0, BUS_I2C, 0x48, registers, data, nullptr), 0);
  EXPECT_EQ(LastError(), "ReadDevice: DataSize is NULL");
  EXPECT_EQ(WriteDevice(handle, 0, BUS_I2C, 0x48, registers, data, nullptr), 0);
  EXPECT_EQ(LastError(), "WriteDevice: DataSize is NULL");
  EXPECT_EQ(ReadDevice(handle, 0, BUS_I2C, 0x48, nullptr, data, &size), 0);
  EXPECT_EQ(LastError(), "ReadDevice: Registers is NULL");
  EXPECT_EQ(WriteDevice(handle, 0, BUS_I2C, 0x48, nullptr, data, &size), 0);
  EXPECT_EQ(LastError(), "WriteDevice: Registers is NULL");
  EXPECT_EQ(ReadDevice(handle, 0, BUS_I2C, 0x48, registers, nullptr, &size), 0);
  EXPECT_EQ(LastError(), "ReadDevice: Data is NULL");
  EXPECT_TRUE(state->sent.empty());
}

TEST_F(ExportsTest, OpenDeviceArgumentChecks) {
  uint16_t vidPid[2] = {0, 0};
  DeviceHandle handle = 77;
  EXPECT_EQ(OpenDevice(LINK_USB, "", vidPid, 0, nullptr, &handle), 0);
  EXPECT_EQ(LastError(), "OpenDevice: No DriverName specified");
  EXPECT_EQ(OpenDevice(LINK_USB, nullptr, vidPid, 0, nullptr, &handle), 0);
  EXPECT_EQ(LastError(), "OpenDevice: No DriverName specified");
  EXPECT_EQ(OpenDevice(LINK_USB, "dravik", vidPid, 0, nullptr, nullptr), 0);
  EXPECT_EQ(LastError(), "OpenDevice: Handle is NULL");
  for (int link : {int{LINK_NONE}, -1, 3, 255}) {
    EXPECT_EQ(OpenDevice(static_cast<int16_t>(link), "dravik", vidPid, 0, nullptr, &handle), 0);
    EXPECT_EQ(LastError(), "OpenDevice: Illegal interface");
  }
  EXPECT_EQ(OpenDevice(LINK_USB, "dravik", nullptr, 0, nullptr, &handle), 0);
  EXPECT_EQ(LastError(), "OpenDevice: VidPid is NULL");
  EXPECT_EQ(handle, 77);  // nothing stored by a refused call
}

TEST_F(ExportsTest, NoExceptionCrossesAnExport) {
  SetDeviceFactoryForTesting(
      []() -> std::unique_ptr<usb::Device> { throw std::runtime_error("boom"); });
  uint16_t vidPid[2] = {0, 0};
  DeviceHandle handle = -1;
  EXPECT_EQ(OpenDevice(LINK_USB, "dravik", vidPid, 0, nullptr, &handle), 0);
  EXPECT_EQ(LastError(), "OpenDevice: Internal error");

  class ThrowingDevice : public NullDevice {
   public:
    usb::Endpoint* EndpointAt(int) override { throw std::bad_alloc(); }
    void Close() override { throw std::runtime_error("Failed to close handle to driver."); }
  };
  SetDeviceFactoryForTesting([] { return std::make_unique<ThrowingDevice>(); });
  ASSERT_EQ(OpenDevice(LINK_USB, "dravik", vidPid, 0, nullptr, &handle), 1) << LastError();
  int16_t registers[1] = {0};
  uint8_t data[1] = {0};
  int16_t size = 1;
  EXPECT_EQ(ReadDevice(handle, 0, BUS_I2C, 0x48, registers, data, &size), 0);
  EXPECT_EQ(LastError(), "ReadDevice: Internal error");
  EXPECT_EQ(WriteDevice(handle, 0, BUS_I2C, 0x48, registers, data, &size), 0);
  EXPECT_EQ(LastError(), "WriteDevice: Internal error");
  // A failed close is reported, and the handle is gone all the same.
  EXPECT_EQ(CloseDevice(handle), 0);
  EXPECT_EQ(LastError(), "Failed to close handle to driver.");
  EXPECT_EQ(CloseDevice(handle), 0);
  EXPECT_EQ(LastError(), "CloseUSB: Invalid Device Handle");
}

TEST_F(ExportsTest, TooManyOpenDevicesAreRefused) {
  state->boards.push_back(RunningBoard(0x0400, 0x1234));
  uint16_t vidPid[2] = {0, 0};
  DeviceHandle handle = -1;
  for (int i = 0; i < 16; ++i) {
    ASSERT_EQ(OpenDevice(LINK_USB, "dravik", vidPid, 0, nullptr, &handle), 1) << i;
  }
  EXPECT_EQ(OpenDevice(LINK_USB, "dravik", vidPid, 0, nullptr, &handle), 0);
  EXPECT_EQ(LastError(), "OpenDevice: Too many devices open");
  EXPECT_EQ(handle, -1);
}

std::set<std::string> DefinedDynamicSymbols(const std::string& library) {
  std::set<std::string> names;
  const std::string command = "nm -D --defined-only " + library;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) {
    return names;
  }
  std::array<char, 512> line{};
  while (fgets(line.data(), line.size(), pipe.get()) != nullptr) {
    char address[64];
    char type[8];
    char name[400];
    if (std::sscanf(line.data(), "%63s %7s %399s", address, type, name) == 3) {
      names.insert(name);
    }
  }
  return names;
}

// Loads the library with dlopen and looks its names up: 0 when the five are
// found and an internal name is not, else the number of the failed check.
int LoadInChild(const std::string& library) {
  const pid_t child = ::fork();
  if (child == 0) {
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      ::_exit(1);
    }
    for (const char* name :
         {"OpenDevice", "CloseDevice", "ReadDevice", "WriteDevice", "LastErrorDevice"}) {
      if (dlsym(handle, name) == nullptr) {
        ::_exit(2);
      }
    }
    if (dlsym(handle, "_ZN6dravik12SetLastErrorEPKc") != nullptr) {
      ::_exit(3);
    }
    using LastErrorFn = uint8_t (*)(char*);
    auto lastError = reinterpret_cast<LastErrorFn>(dlsym(handle, "LastErrorDevice"));
    char buffer[DRAVIK_ERROR_TEXT_SIZE];
    std::memset(buffer, 'x', sizeof buffer);
    // A fresh library: an all-zero text.
    if (lastError(buffer) != 1 || buffer[0] != '\0' || buffer[255] != '\0') {
      ::_exit(4);
    }
    ::_exit(0);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
    return -1;
  }
  return WEXITSTATUS(status);
}

TEST(ExportedSymbols, OnlyTheFiveExportsAreVisible) {
  const std::string library = std::string(KESTROVA_BIN_DIR) + "/libdravik.so";
  const std::set<std::string> names = DefinedDynamicSymbols(library);
  EXPECT_EQ(names, (std::set<std::string>{"CloseDevice", "LastErrorDevice", "OpenDevice",
                                          "ReadDevice", "WriteDevice"}));

  // Loaded in a child process: a sanitizer runtime loaded twice in one
  // process reports its own start-up allocations as leaks.
  EXPECT_EQ(LoadInChild(library), 0);
}

}  // namespace
}  // namespace dravik::testing
