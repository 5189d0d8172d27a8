// The exports' argument checks and their order, the handle table, the
// catch-all, the last-error text, and the exported symbol set of libdravik.so.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "drivers.hpp"
#include "last_error.hpp"
#include "library_fixture.hpp"

namespace dravik::testing {
namespace {

using ExportsTest = LibraryTest;

constexpr DeviceHandle kOpened = 0x7FFF;  // stands for the handle of an open board

struct Refusal {
  bool write;
  DeviceHandle handle;
  int16_t count;
  bool nullSize, nullRegisters, nullData;
  const char* message;
};

TEST_F(ExportsTest, TransferArgumentsAreCheckedInOrderAndNothingIsSent) {
  const Refusal refusals[] = {
      // The handle of -1 comes before the count, the count before an unknown handle.
      {false, -1, 0, false, false, false, "ReadDevice: Device not open"},
      {true, -1, 0, false, false, false, "WriteDevice: Device not open"},
      {false, 0, 0, false, false, false, "ReadDevice: DataSize < 1"},
      {true, 0, -1, false, false, false, "WriteDevice: DataSize < 1"},
      {false, 0, 1, false, false, false, "ReadDevice: Device not open"},
      {true, 99, 1, false, false, false, "WriteDevice: Device not open"},
      {true, -2, 1, false, false, false, "WriteDevice: Device not open"},
      {false, kOpened, 1, true, false, false, "ReadDevice: DataSize is NULL"},
      {true, kOpened, 1, true, false, false, "WriteDevice: DataSize is NULL"},
      {false, kOpened, 1, false, true, false, "ReadDevice: Registers is NULL"},
      {true, kOpened, 1, false, true, false, "WriteDevice: Registers is NULL"},
      {false, kOpened, 1, false, false, true, "ReadDevice: Data is NULL"},
  };
  const DeviceHandle opened = OpenBoard();
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.message);
    int16_t registers[1] = {0};
    uint8_t data[1] = {0};
    int16_t size = r.count;
    const DeviceHandle handle = r.handle == kOpened ? opened : r.handle;
    int16_t* sizeArg = r.nullSize ? nullptr : &size;
    int16_t* registersArg = r.nullRegisters ? nullptr : registers;
    uint8_t* dataArg = r.nullData ? nullptr : data;
    EXPECT_EQ(r.write ? WriteDevice(handle, 0, BUS_I2C, 0x48, registersArg, dataArg, sizeArg)
                      : ReadDevice(handle, 0, BUS_I2C, 0x48, registersArg, dataArg, sizeArg),
              0);
    EXPECT_EQ(LastError(), r.message);
  }
  EXPECT_TRUE(SentPackets().empty());
}

TEST_F(ExportsTest, OpenDeviceArgumentsAreCheckedAndNothingIsStored) {
  struct Case {
    int16_t link;
    const char* driver;
    bool nullVidPid, nullHandle;
    const char* message;
  };
  const Case cases[] = {
      {LINK_USB, "", false, false, "OpenDevice: No DriverName specified"},
      {LINK_USB, nullptr, false, false, "OpenDevice: No DriverName specified"},
      {LINK_USB, "dravik", false, true, "OpenDevice: Handle is NULL"},
      {LINK_NONE, "dravik", false, false, "OpenDevice: Illegal interface"},
      {3, "dravik", false, false, "OpenDevice: Illegal interface"},
      {LINK_USB, "dravik", true, false, "OpenDevice: VidPid is NULL"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    uint16_t vidPid[2] = {0, 0};
    DeviceHandle handle = 77;
    EXPECT_EQ(OpenDevice(c.link, c.driver, c.nullVidPid ? nullptr : vidPid, 0, nullptr,
                         c.nullHandle ? nullptr : &handle),
              0);
    EXPECT_EQ(LastError(), c.message);
    EXPECT_EQ(handle, 77);
  }
}

TEST_F(ExportsTest, NoExceptionCrossesAnExport) {
  DeviceHandle handle = OpenBoard();
  throwing = true;  // its endpoints
  EXPECT_EQ(TransferOne(handle), 0);
  EXPECT_EQ(LastError(), "ReadDevice: Internal error");
  EXPECT_EQ(TransferOne(handle, true), 0);
  EXPECT_EQ(LastError(), "WriteDevice: Internal error");

  SetDeviceFactoryForTesting(
      []() -> std::unique_ptr<usb::Device> { throw std::runtime_error("boom"); });
  EXPECT_EQ(OpenAny(&handle), 0);
  EXPECT_EQ(LastError(), "OpenDevice: Internal error");
}

TEST_F(ExportsTest, SixteenOpenDevicesAtMostAndHandlesAreNeverReused) {
  for (DeviceHandle handle : {-1, 0, 1, 12345}) {
    EXPECT_EQ(CloseDevice(handle), 0);
    EXPECT_EQ(LastError(), "CloseUSB: Invalid Device Handle");
  }
  std::vector<DeviceHandle> handles = {0};
  for (int i = 0; i < 16; ++i) {
    handles.push_back(OpenBoard());
    ASSERT_GT(handles.back(), handles[handles.size() - 2]) << i;
  }
  DeviceHandle handle = 0;
  EXPECT_EQ(OpenAny(&handle), 0);
  EXPECT_EQ(LastError(), "OpenDevice: Too many devices open");
  EXPECT_EQ(handle, -1);
  EXPECT_EQ(CloseDevice(handles[1]), 1) << LastError();
  EXPECT_EQ(CloseDevice(handles[1]), 0);
  EXPECT_EQ(LastError(), "CloseUSB: Invalid Device Handle");
  EXPECT_GT(OpenBoard(), handles.back());
  EXPECT_EQ(TransferOne(handles[1]), 0);
  EXPECT_EQ(LastError(), "ReadDevice: Device not open");
}

// 256 bytes: a shorter message keeps the tail of a longer one behind its
// terminator, a longer one is cut to 255 characters, a success clears nothing.
TEST_F(ExportsTest, LastErrorTextIs256BytesCopiedWhole) {
  EXPECT_EQ(LastErrorBytes(), std::vector<char>(256, '\0'));
  SetLastError("ReadDevice: Wrong number of bytes read from Dravik driver");
  SetLastError("ReadDevice: DataSize < 1");
  std::vector<char> bytes = LastErrorBytes();
  EXPECT_STREQ(bytes.data(), "ReadDevice: DataSize < 1");
  EXPECT_STREQ(bytes.data() + 25, "of bytes read from Dravik driver");

  for (const std::size_t length : {255, 256, 400}) {
    const std::string text = "OpenDevice: " + std::string(length - 12, 'b');
    SetLastError(text.c_str());
    char buffer[300];
    std::memset(buffer, 'z', sizeof buffer);
    EXPECT_EQ(LastErrorDevice(buffer), 1);
    EXPECT_EQ(std::string(buffer, 256), text.substr(0, 255) + '\0') << length;
    EXPECT_EQ(buffer[256], 'z');
  }

  const DeviceHandle handle = OpenBoard();
  EXPECT_EQ(TransferOne(handle, false, 0), 0);
  EXPECT_EQ(TransferOne(handle), 1);
  EXPECT_EQ(LastError(), "ReadDevice: DataSize < 1");

  EXPECT_EQ(LastErrorDevice(nullptr), 0);
  EXPECT_EQ(LastError(), "LastErrorDevice: Buffer is NULL");
}

TEST(ExportedSymbols, OnlyTheFiveExportsAreVisible) {
  std::unique_ptr<FILE, int (*)(FILE*)> names(
      popen("nm -D --defined-only --format=just-symbols " KESTROVA_BIN_DIR "/libdravik.so", "r"),
      pclose);
  ASSERT_TRUE(names);
  std::string text(4096, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), names.get()));
  EXPECT_EQ(text, "CloseDevice\nLastErrorDevice\nOpenDevice\nReadDevice\nWriteDevice\n");
}

}  // namespace
}  // namespace dravik::testing
