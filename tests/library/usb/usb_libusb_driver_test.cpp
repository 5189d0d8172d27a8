#include "usb/libusb_driver.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "usb/transfer_header.hpp"

namespace dravik::usb {
namespace {

using ::testing::ElementsAre;

struct FakeUsbDevice {
  libusb_device_descriptor descriptor{};
  uint8_t bus = 1;
  uint8_t address = 4;
  int speed = LIBUSB_SPEED_HIGH;
  std::vector<libusb_endpoint_descriptor> endpoints;
};

struct ScriptedTransfer {
  int status = 0;       // libusb result: bytes (control) or 0 / error (bulk)
  int transferred = 0;  // bulk and interrupt
  std::vector<uint8_t> data;
};

// Records every libusb call as one line of text and answers from a script.
class RecordingLibusb : public LibusbApi {
 public:
  std::vector<FakeUsbDevice> devices;
  std::vector<std::string> calls;
  std::deque<ScriptedTransfer> script;
  int liveContexts = 0;
  int contextsMade = 0;
  int references = 0;  // device references held beyond the list
  int openStatus = 0;
  int claimStatus = 0;
  int resetStatus = 0;

  static libusb_context* ContextToken(int n) {
    return reinterpret_cast<libusb_context*>(static_cast<uintptr_t>(0x1000 + n));
  }
  libusb_device* Token(size_t i) { return reinterpret_cast<libusb_device*>(&devices[i]); }
  FakeUsbDevice& Device(libusb_device* device) { return *reinterpret_cast<FakeUsbDevice*>(device); }
  libusb_device_handle* HandleToken() { return reinterpret_cast<libusb_device_handle*>(&handle_); }

  int Init(libusb_context** context) override {
    *context = ContextToken(++contextsMade);
    ++liveContexts;
    calls.push_back("init");
    return 0;
  }
  void Exit(libusb_context*) override {
    --liveContexts;
    calls.push_back("exit");
  }
  ssize_t GetDeviceList(libusb_context*, libusb_device*** list) override {
    *list = new libusb_device*[devices.size() + 1];
    for (size_t i = 0; i < devices.size(); ++i) {
      (*list)[i] = Token(i);
    }
    (*list)[devices.size()] = nullptr;
    return static_cast<ssize_t>(devices.size());
  }
  void FreeDeviceList(libusb_device** list, int) override { delete[] list; }
  libusb_device* RefDevice(libusb_device* device) override {
    ++references;
    return device;
  }
  void UnrefDevice(libusb_device*) override { --references; }
  int GetDeviceDescriptor(libusb_device* device, libusb_device_descriptor* out) override {
    *out = Device(device).descriptor;
    return 0;
  }
  int GetActiveConfigDescriptor(libusb_device* device, libusb_config_descriptor** config) override {
    FakeUsbDevice& d = Device(device);
    alt_ = libusb_interface_descriptor{};
    alt_.bNumEndpoints = static_cast<uint8_t>(d.endpoints.size());
    alt_.endpoint = d.endpoints.data();
    interface_ = libusb_interface{&alt_, 1};
    config_ = libusb_config_descriptor{};
    config_.bNumInterfaces = 1;
    config_.interface = &interface_;
    *config = &config_;
    return 0;
  }
  void FreeConfigDescriptor(libusb_config_descriptor*) override {}
  uint8_t GetBusNumber(libusb_device* device) override { return Device(device).bus; }
  uint8_t GetDeviceAddress(libusb_device* device) override { return Device(device).address; }
  int GetDeviceSpeed(libusb_device* device) override { return Device(device).speed; }
  int Open(libusb_device*, libusb_device_handle** handle) override {
    calls.push_back("open");
    *handle = HandleToken();
    return openStatus;
  }
  void Close(libusb_device_handle*) override { calls.push_back("close"); }
  int SetAutoDetachKernelDriver(libusb_device_handle*, int enable) override {
    calls.push_back("auto_detach " + std::to_string(enable));
    return 0;
  }
  int ClaimInterface(libusb_device_handle*, int number) override {
    calls.push_back("claim " + std::to_string(number));
    return claimStatus;
  }
  int ReleaseInterface(libusb_device_handle*, int number) override {
    calls.push_back("release " + std::to_string(number));
    return 0;
  }
  int ControlTransfer(libusb_device_handle*, uint8_t requestType, uint8_t request, uint16_t value,
                      uint16_t index, unsigned char* data, uint16_t length,
                      unsigned int timeoutMs) override {
    char line[96];
    std::snprintf(line, sizeof line, "control %02x %02x %04x %04x %u timeout=%u", requestType,
                  request, value, index, length, timeoutMs);
    calls.push_back(line + Hex(data, (requestType & 0x80) ? 0 : length));
    ScriptedTransfer answer = Next(length);
    if (!answer.data.empty()) {
      std::memcpy(data, answer.data.data(), std::min<size_t>(answer.data.size(), length));
    }
    return answer.status;
  }
  int BulkTransfer(libusb_device_handle*, unsigned char endpoint, unsigned char* data, int length,
                   int* transferred, unsigned int timeoutMs) override {
    return Pipe("bulk", endpoint, data, length, transferred, timeoutMs);
  }
  int InterruptTransfer(libusb_device_handle*, unsigned char endpoint, unsigned char* data,
                        int length, int* transferred, unsigned int timeoutMs) override {
    return Pipe("interrupt", endpoint, data, length, transferred, timeoutMs);
  }
  int ResetDevice(libusb_device_handle*) override {
    calls.push_back("reset");
    return resetStatus;
  }
  int GetStringDescriptorAscii(libusb_device_handle*, uint8_t index, unsigned char* data,
                               int length) override {
    const char* text = index == 2 ? "Evaluation Board" : "Maker";
    std::snprintf(reinterpret_cast<char*>(data), static_cast<size_t>(length), "%s", text);
    return static_cast<int>(std::strlen(reinterpret_cast<char*>(data)));
  }
  uint32_t Version() override { return 0x01001A00; }

 private:
  static std::string Hex(const unsigned char* data, int length) {
    std::string text;
    char byte[4];
    for (int i = 0; i < length; ++i) {
      std::snprintf(byte, sizeof byte, " %02x", data[i]);
      text += byte;
    }
    return text;
  }
  ScriptedTransfer Next(int length) {
    if (script.empty()) {
      return ScriptedTransfer{length, length, {}};
    }
    ScriptedTransfer answer = script.front();
    script.pop_front();
    return answer;
  }
  int Pipe(const char* kind, unsigned char endpoint, unsigned char* data, int length,
           int* transferred, unsigned int timeoutMs) {
    char line[64];
    std::snprintf(line, sizeof line, "%s %02x %d timeout=%u", kind, endpoint, length, timeoutMs);
    calls.push_back(line + Hex(data, (endpoint & 0x80) ? 0 : length));
    ScriptedTransfer answer = Next(length);
    if (script.empty() && answer.status == length) {
      answer.status = 0;  // the default answer moves everything
    }
    if (!answer.data.empty()) {
      std::memcpy(data, answer.data.data(), std::min<size_t>(answer.data.size(), length));
    }
    *transferred = answer.transferred;
    return answer.status;
  }

  int handle_ = 0;
  libusb_interface_descriptor alt_{};
  libusb_interface interface_{};
  libusb_config_descriptor config_{};
};

FakeUsbDevice Board(uint16_t vendor, uint16_t product, uint8_t deviceClass = 0xFF) {
  FakeUsbDevice device;
  device.descriptor.bLength = 18;
  device.descriptor.bDescriptorType = 1;
  device.descriptor.idVendor = vendor;
  device.descriptor.idProduct = product;
  device.descriptor.bDeviceClass = deviceClass;
  device.descriptor.iProduct = 2;
  device.endpoints = {
      libusb_endpoint_descriptor{7, 5, 0x02, LIBUSB_TRANSFER_TYPE_BULK, 512, 0, 0, 0, nullptr, 0},
      libusb_endpoint_descriptor{7, 5, 0x84, LIBUSB_TRANSFER_TYPE_INTERRUPT, 64, 4, 0, 0, nullptr,
                                 0},
      libusb_endpoint_descriptor{7, 5, 0x86, LIBUSB_TRANSFER_TYPE_BULK, 512, 0, 0, 0, nullptr, 0}};
  return device;
}

std::vector<uint8_t> Block(const TransferHeader& header, std::vector<uint8_t> data = {}) {
  std::vector<uint8_t> block(kTransferHeaderSize);
  WriteTransferHeader(header, block.data());
  block.insert(block.end(), data.begin(), data.end());
  return block;
}

class LibusbDriverTest : public ::testing::Test {
 protected:
  LibusbDriverTest() { api.devices = {Board(0x0400, 0x1120)}; }

  std::unique_ptr<Driver> OpenFirst() {
    EXPECT_EQ(driverClass.Count(), 1);
    std::unique_ptr<Driver> driver = driverClass.Open(0);
    api.calls.clear();
    return driver;
  }

  RecordingLibusb api;
  LibusbDriverClass driverClass{api, BoardVendorList(nullptr)};
};

TEST(BoardVendorListTest, StartsWithTheDefaultsAndAddsWellFormedHexEntries) {
  EXPECT_THAT(BoardVendorList(nullptr), ElementsAre(0x0400, 0x04B4));
  EXPECT_THAT(BoardVendorList(""), ElementsAre(0x0400, 0x04B4));
  EXPECT_THAT(BoardVendorList("1234, 0xABcd,zz,12345,,04b4, 0x"),
              ElementsAre(0x0400, 0x04B4, 0x1234, 0xABCD));
}

TEST_F(LibusbDriverTest, CountsAttachedBoardsOfTheVendorListButNoHubs) {
  api.devices = {Board(0x0400, 0x1120), Board(0x04B4, 0x8613), Board(0x1234, 0x5678),
                 Board(0x0400, 0x0001, LIBUSB_CLASS_HUB)};
  EXPECT_EQ(driverClass.Count(), 2);
  LibusbDriverClass wider(api, BoardVendorList("1234"));
  EXPECT_EQ(wider.Count(), 3);
}

TEST_F(LibusbDriverTest, EnumeratesInAFreshContextEachTimeAndKeepsItWhileADriverUsesIt) {
  EXPECT_EQ(driverClass.Count(), 1);
  EXPECT_EQ(driverClass.Count(), 1);
  EXPECT_EQ(api.contextsMade, 2);
  EXPECT_EQ(api.liveContexts, 1);
  std::unique_ptr<Driver> driver = driverClass.Open(0);
  ASSERT_NE(driver, nullptr);
  EXPECT_EQ(driverClass.Count(), 1);  // a new enumeration while the board is open
  EXPECT_EQ(api.liveContexts, 2);
  driver.reset();
  EXPECT_EQ(api.liveContexts, 1);
}

TEST_F(LibusbDriverTest, OpenClaimsInterfaceZeroAndCloseGivesEverythingBack) {
  ASSERT_EQ(driverClass.Count(), 1);
  api.calls.clear();
  std::unique_ptr<Driver> driver = driverClass.Open(0);
  ASSERT_NE(driver, nullptr);
  EXPECT_THAT(api.calls, ElementsAre("open", "auto_detach 1", "claim 0"));
  api.calls.clear();
  driver.reset();
  EXPECT_THAT(api.calls, ElementsAre("release 0", "close"));
  EXPECT_EQ(driverClass.Open(5), nullptr);
}

TEST_F(LibusbDriverTest, AClaimThatFailsClosesTheBoardAgain) {
  ASSERT_EQ(driverClass.Count(), 1);
  api.claimStatus = LIBUSB_ERROR_BUSY;
  api.calls.clear();
  EXPECT_EQ(driverClass.Open(0), nullptr);
  EXPECT_THAT(api.calls, ElementsAre("open", "auto_detach 1", "claim 0", "close"));
  api.openStatus = LIBUSB_ERROR_ACCESS;
  EXPECT_EQ(driverClass.Open(0), nullptr);
}

TEST_F(LibusbDriverTest, ControlOutCarriesTheHeaderFieldsAndTheDataBehindIt) {
  std::unique_ptr<Driver> driver = OpenFirst();
  TransferHeader header;
  header.bmRequestType = 0x40;
  header.bRequest = 0xA0;
  header.wValue = 0x7F92;
  header.wLength = 1;
  header.timeoutSeconds = 10;
  header.bufferOffset = kTransferHeaderSize;
  header.bufferLength = 1;
  const std::vector<uint8_t> in = Block(header, {0x01});
  std::vector<uint8_t> out(in.size(), 0xEE);
  uint32_t returned = 0;
  EXPECT_EQ(driver->Control(kIoctlControlTransfer, in.data(), static_cast<uint32_t>(in.size()),
                            out.data(), static_cast<uint32_t>(out.size()), &returned, 10000),
            IoResult::kDone);
  EXPECT_THAT(api.calls, ElementsAre("control 40 a0 7f92 0000 1 timeout=10000 01"));
  EXPECT_EQ(returned, kTransferHeaderSize + 1);
  const TransferHeader back = ReadTransferHeader(out.data());
  EXPECT_EQ(back.status, 0u);
  EXPECT_EQ(back.usbdStatus, 0u);
  EXPECT_EQ(back.bRequest, 0xA0);
}

TEST_F(LibusbDriverTest, ControlInPutsTheAnswerBehindTheHeader) {
  std::unique_ptr<Driver> driver = OpenFirst();
  TransferHeader header;
  header.bmRequestType = 0x80;
  header.bRequest = 6;
  header.wValue = 0x0100;
  header.wLength = 18;
  header.timeoutSeconds = 5;
  const std::vector<uint8_t> in = Block(header, std::vector<uint8_t>(18, 0));
  std::vector<uint8_t> out(in.size());
  api.script.push_back({4, 0, {18, 1, 0x10, 0x01}});
  uint32_t returned = 0;
  EXPECT_EQ(driver->Control(kIoctlControlTransfer, in.data(), static_cast<uint32_t>(in.size()),
                            out.data(), static_cast<uint32_t>(out.size()), &returned, 5000),
            IoResult::kDone);
  EXPECT_THAT(api.calls, ElementsAre("control 80 06 0100 0000 18 timeout=5000"));
  EXPECT_EQ(returned, kTransferHeaderSize + 4);
  EXPECT_THAT(std::vector<uint8_t>(out.begin() + kTransferHeaderSize,
                                   out.begin() + kTransferHeaderSize + 4),
              ElementsAre(18, 1, 0x10, 0x01));

  api.script.push_back({LIBUSB_ERROR_TIMEOUT, 0, {}});
  EXPECT_EQ(driver->Control(kIoctlControlTransfer, in.data(), static_cast<uint32_t>(in.size()),
                            out.data(), static_cast<uint32_t>(out.size()), &returned, 5000),
            IoResult::kTimeout);
  api.script.push_back({LIBUSB_ERROR_PIPE, 0, {}});
  EXPECT_EQ(driver->Control(kIoctlControlTransfer, in.data(), static_cast<uint32_t>(in.size()),
                            out.data(), static_cast<uint32_t>(out.size()), &returned, 5000),
            IoResult::kFailed);
  // A block too short for its wLength is refused before libusb is asked.
  api.calls.clear();
  EXPECT_EQ(driver->Control(kIoctlControlTransfer, in.data(), static_cast<uint32_t>(in.size()),
                            out.data(), kTransferHeaderSize + 17, &returned, 5000),
            IoResult::kFailed);
  EXPECT_TRUE(api.calls.empty());
}

TEST_F(LibusbDriverTest, DirectFormUsesTheCallersBufferAndThePipeTypeOfTheEndpoint) {
  std::unique_ptr<Driver> driver = OpenFirst();
  TransferHeader header;
  header.endpointAddress = 0x02;
  std::vector<uint8_t> in = Block(header);
  uint8_t packet[4] = {0, 2, 2, 0x48};
  uint32_t returned = 0;
  EXPECT_EQ(driver->Control(kIoctlDirectTransfer, in.data(), kTransferHeaderSize, packet, 4,
                            &returned, 10000),
            IoResult::kDone);
  EXPECT_EQ(returned, 4u);

  header.endpointAddress = 0x84;
  in = Block(header);
  uint8_t reply[8] = {};
  api.script.push_back({0, 2, {0x12, 0x34}});
  EXPECT_EQ(driver->Control(kIoctlDirectTransfer, in.data(), kTransferHeaderSize, reply, 8,
                            &returned, 700),
            IoResult::kDone);
  EXPECT_EQ(returned, 2u);
  EXPECT_EQ(reply[1], 0x34);
  EXPECT_THAT(api.calls,
              ElementsAre("bulk 02 4 timeout=10000 00 02 02 48", "interrupt 84 8 timeout=700"));

  header.endpointAddress = 0x86;
  in = Block(header);
  api.script.push_back({LIBUSB_ERROR_TIMEOUT, 1, {0x55}});
  EXPECT_EQ(driver->Control(kIoctlDirectTransfer, in.data(), kTransferHeaderSize, reply, 8,
                            &returned, 10000),
            IoResult::kTimeout);
  EXPECT_EQ(returned, 1u);
  api.script.push_back({LIBUSB_ERROR_NO_DEVICE, 0, {}});
  EXPECT_EQ(driver->Control(kIoctlDirectTransfer, in.data(), kTransferHeaderSize, reply, 8,
                            &returned, 10000),
            IoResult::kFailed);
}

TEST_F(LibusbDriverTest, AnAnswerThatComesAfterItsTimeOutIsDroppedBeforeTheNextCommand) {
  std::unique_ptr<Driver> driver = OpenFirst();
  TransferHeader header;
  header.endpointAddress = 0x86;
  const std::vector<uint8_t> response = Block(header);
  header.endpointAddress = 0x02;
  const std::vector<uint8_t> command = Block(header);
  uint8_t reply[8] = {};
  uint8_t packet[2] = {0xA1, 0xA2};
  uint32_t returned = 0;

  api.script.push_back({LIBUSB_ERROR_TIMEOUT, 0, {}});
  EXPECT_EQ(driver->Control(kIoctlDirectTransfer, response.data(), kTransferHeaderSize, reply, 8,
                            &returned, 10000),
            IoResult::kTimeout);
  // The late answer is there when the next command goes out; then nothing more.
  api.script.push_back({0, 8, {1, 2, 3, 4, 5, 6, 7, 8}});
  api.script.push_back({LIBUSB_ERROR_TIMEOUT, 0, {}});
  api.script.push_back({0, 2, {}});
  EXPECT_EQ(driver->Control(kIoctlDirectTransfer, command.data(), kTransferHeaderSize, packet, 2,
                            &returned, 10000),
            IoResult::kDone);
  api.script.push_back({0, 8, {9, 9, 9, 9, 9, 9, 9, 9}});
  EXPECT_EQ(driver->Control(kIoctlDirectTransfer, response.data(), kTransferHeaderSize, reply, 8,
                            &returned, 10000),
            IoResult::kDone);
  EXPECT_THAT(reply, ElementsAre(9, 9, 9, 9, 9, 9, 9, 9));
  // Once dropped, the next command goes out directly.
  EXPECT_EQ(driver->Control(kIoctlDirectTransfer, command.data(), kTransferHeaderSize, packet, 2,
                            &returned, 10000),
            IoResult::kDone);
  EXPECT_THAT(api.calls, ElementsAre("bulk 86 8 timeout=10000", "bulk 86 4096 timeout=50",
                                     "bulk 86 4096 timeout=50", "bulk 02 2 timeout=10000 a1 a2",
                                     "bulk 86 8 timeout=10000", "bulk 02 2 timeout=10000 a1 a2"));
}

TEST_F(LibusbDriverTest, LateAnswersAreReadAFewTimesAtMostAndFromTheirOwnPipeType) {
  std::unique_ptr<Driver> driver = OpenFirst();
  TransferHeader header;
  header.endpointAddress = 0x84;  // an interrupt endpoint
  const std::vector<uint8_t> response = Block(header);
  header.endpointAddress = 0x02;
  const std::vector<uint8_t> command = Block(header);
  uint8_t reply[4] = {};
  uint8_t packet[1] = {0x55};
  uint32_t returned = 0;
  api.script.push_back({LIBUSB_ERROR_TIMEOUT, 0, {}});
  driver->Control(kIoctlDirectTransfer, response.data(), kTransferHeaderSize, reply, 4, &returned,
                  10000);
  api.calls.clear();
  // An endpoint that keeps answering is not read for ever.
  for (int i = 0; i < 10; ++i) {
    api.script.push_back({0, 4, {1, 2, 3, 4}});
  }
  driver->Control(kIoctlDirectTransfer, command.data(), kTransferHeaderSize, packet, 1, &returned,
                  10000);
  EXPECT_EQ(std::count(api.calls.begin(), api.calls.end(), "interrupt 84 4096 timeout=50"),
            kMaxLateAnswerReads);
  EXPECT_EQ(api.calls.back(), "bulk 02 1 timeout=10000 55");
}

TEST_F(LibusbDriverTest, BufferedFormTakesEndpointLengthAndTimeOutFromTheHeader) {
  std::unique_ptr<Driver> driver = OpenFirst();
  TransferHeader header;
  header.endpointAddress = 0x86;
  header.timeoutSeconds = 3;
  header.bufferOffset = kTransferHeaderSize;
  header.bufferLength = 5;
  const std::vector<uint8_t> in = Block(header, std::vector<uint8_t>(5, 0));
  std::vector<uint8_t> out(in.size());
  api.script.push_back({0, 3, {7, 8, 9}});
  uint32_t returned = 0;
  EXPECT_EQ(driver->Control(kIoctlBufferedTransfer, in.data(), static_cast<uint32_t>(in.size()),
                            out.data(), static_cast<uint32_t>(out.size()), &returned, 3000),
            IoResult::kDone);
  EXPECT_THAT(api.calls, ElementsAre("bulk 86 5 timeout=3000"));
  EXPECT_EQ(returned, kTransferHeaderSize + 3);
  EXPECT_THAT(std::vector<uint8_t>(out.begin() + kTransferHeaderSize,
                                   out.begin() + kTransferHeaderSize + 3),
              ElementsAre(7, 8, 9));

  header.endpointAddress = 0x02;
  header.bufferLength = 2;
  const std::vector<uint8_t> send = Block(header, {0xAB, 0xCD});
  api.calls.clear();
  EXPECT_EQ(driver->Control(kIoctlBufferedTransfer, send.data(), static_cast<uint32_t>(send.size()),
                            out.data(), static_cast<uint32_t>(send.size()), &returned, 3000),
            IoResult::kDone);
  EXPECT_THAT(api.calls, ElementsAre("bulk 02 2 timeout=3000 ab cd"));
  EXPECT_EQ(returned, kTransferHeaderSize + 2);
}

TEST_F(LibusbDriverTest, AnswersTheDriverQueriesFromLibusbAndTheDescriptors) {
  std::unique_ptr<Driver> driver = OpenFirst();
  uint8_t out[256] = {};
  uint32_t returned = 0;
  ASSERT_EQ(driver->Control(kIoctlDriverVersion, nullptr, 0, out, 4, &returned, 5000),
            IoResult::kDone);
  EXPECT_GE(ReadLe32(out), 0x01050500u);
  ASSERT_EQ(driver->Control(kIoctlStackVersion, nullptr, 0, out, 4, &returned, 5000),
            IoResult::kDone);
  EXPECT_EQ(ReadLe32(out), 0x01001A00u);
  ASSERT_EQ(driver->Control(kIoctlBusSpeed, nullptr, 0, out, 4, &returned, 5000), IoResult::kDone);
  EXPECT_EQ(ReadLe32(out), 2u);
  ASSERT_EQ(driver->Control(kIoctlAltInterface, nullptr, 0, out, 1, &returned, 5000),
            IoResult::kDone);
  EXPECT_EQ(out[0], 0);
  ASSERT_EQ(driver->Control(kIoctlUsbAddress, nullptr, 0, out, 1, &returned, 5000),
            IoResult::kDone);
  EXPECT_EQ(out[0], 4);
  ASSERT_EQ(driver->Control(kIoctlDeviceName, nullptr, 0, out, 256, &returned, 5000),
            IoResult::kDone);
  EXPECT_STREQ(reinterpret_cast<char*>(out), "/dev/bus/usb/001/004");
  ASSERT_EQ(driver->Control(kIoctlFriendlyName, nullptr, 0, out, 256, &returned, 5000),
            IoResult::kDone);
  EXPECT_STREQ(reinterpret_cast<char*>(out), "Evaluation Board (0400:1120)");
  EXPECT_EQ(driver->Control(kIoctlDriverVersion, nullptr, 0, out, 3, &returned, 5000),
            IoResult::kFailed);
  EXPECT_EQ(driver->Control(0x220999, nullptr, 0, out, 4, &returned, 5000), IoResult::kFailed);
}

TEST_F(LibusbDriverTest, ResetIsADeviceResetAndAbortLeavesNothingToCancel) {
  std::unique_ptr<Driver> driver = OpenFirst();
  uint32_t returned = 0;
  EXPECT_EQ(driver->Control(kIoctlResetParentPort, nullptr, 0, nullptr, 0, &returned, 5000),
            IoResult::kDone);
  api.resetStatus = LIBUSB_ERROR_IO;
  EXPECT_EQ(driver->Control(kIoctlResetParentPort, nullptr, 0, nullptr, 0, &returned, 5000),
            IoResult::kFailed);
  const uint8_t endpoint = 0x86;
  EXPECT_EQ(driver->Control(kIoctlAbortPipe, &endpoint, 1, nullptr, 0, &returned, 5000),
            IoResult::kDone);
  EXPECT_THAT(api.calls, ElementsAre("reset", "reset"));
}

TEST_F(LibusbDriverTest, HoldsNoDeviceReferenceOnceEverythingIsClosed) {
  {
    LibusbDriverClass local(api, BoardVendorList(nullptr));
    ASSERT_EQ(local.Count(), 1);
    std::unique_ptr<Driver> driver = local.Open(0);
    ASSERT_EQ(local.Count(), 1);
  }
  EXPECT_EQ(api.references, 0);
  EXPECT_EQ(api.liveContexts, 0);
}

}  // namespace
}  // namespace dravik::usb
