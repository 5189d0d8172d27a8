// The libusb driver beyond what the kernel rig shows on a real bus: the vendor
// list, enumeration bookkeeping, late answers that keep coming.
#include "usb/libusb_driver.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "usb/transfer_header.hpp"
#include "usb/usb_device.hpp"

namespace dravik::usb {
namespace {

using ::testing::_;
using ::testing::ElementsAre;
using ::testing::InSequence;
using ::testing::Invoke;
using ::testing::NiceMock;
using ::testing::Return;
using namespace std::string_view_literals;

class MockLibusb : public LibusbApi {
 public:
  MOCK_METHOD(int, Init, (libusb_context**), (override));
  MOCK_METHOD(void, Exit, (libusb_context*), (override));
  MOCK_METHOD(ssize_t, GetDeviceList, (libusb_context*, libusb_device***), (override));
  MOCK_METHOD(void, FreeDeviceList, (libusb_device**, int), (override));
  MOCK_METHOD(libusb_device*, RefDevice, (libusb_device*), (override));
  MOCK_METHOD(void, UnrefDevice, (libusb_device*), (override));
  MOCK_METHOD(int, GetDeviceDescriptor, (libusb_device*, libusb_device_descriptor*), (override));
  MOCK_METHOD(int, GetActiveConfigDescriptor, (libusb_device*, libusb_config_descriptor**),
              (override));
  MOCK_METHOD(void, FreeConfigDescriptor, (libusb_config_descriptor*), (override));
  MOCK_METHOD(uint8_t, GetBusNumber, (libusb_device*), (override));
  MOCK_METHOD(uint8_t, GetDeviceAddress, (libusb_device*), (override));
  MOCK_METHOD(int, GetPortNumbers, (libusb_device*, uint8_t*, int), (override));
  MOCK_METHOD(int, GetDeviceSpeed, (libusb_device*), (override));
  MOCK_METHOD(int, Open, (libusb_device*, libusb_device_handle**), (override));
  MOCK_METHOD(void, Close, (libusb_device_handle*), (override));
  MOCK_METHOD(int, SetAutoDetachKernelDriver, (libusb_device_handle*, int), (override));
  MOCK_METHOD(int, ClaimInterface, (libusb_device_handle*, int), (override));
  MOCK_METHOD(int, ReleaseInterface, (libusb_device_handle*, int), (override));
  MOCK_METHOD(int, ControlTransfer,
              (libusb_device_handle*, uint8_t, uint8_t, uint16_t, uint16_t, unsigned char*,
               uint16_t, unsigned int),
              (override));
  MOCK_METHOD(int, BulkTransfer,
              (libusb_device_handle*, unsigned char, unsigned char*, int, int*, unsigned int),
              (override));
  MOCK_METHOD(int, InterruptTransfer,
              (libusb_device_handle*, unsigned char, unsigned char*, int, int*, unsigned int),
              (override));
  MOCK_METHOD(int, ResetDevice, (libusb_device_handle*), (override));
  MOCK_METHOD(int, GetStringDescriptorAscii, (libusb_device_handle*, uint8_t, unsigned char*, int),
              (override));
  MOCK_METHOD(uint32_t, Version, (), (override));
};

// Devices on the fake bus: vendor, product, class. A board's endpoints are
// bulk OUT 0x02, interrupt IN 0x84 and bulk IN 0x86.
struct FakeBus {
  std::vector<libusb_device_descriptor> devices;
  int contexts = 0;
  int references = 0;
  libusb_endpoint_descriptor endpoints[3] = {
      {7, 5, 0x02, LIBUSB_TRANSFER_TYPE_BULK, 512, 0, 0, 0, nullptr, 0},
      {7, 5, 0x84, LIBUSB_TRANSFER_TYPE_INTERRUPT, 64, 4, 0, 0, nullptr, 0},
      {7, 5, 0x86, LIBUSB_TRANSFER_TYPE_BULK, 512, 0, 0, 0, nullptr, 0}};
  libusb_interface_descriptor alt{9, 4, 0, 0, 3, 0xFF, 0, 0, 0, endpoints, nullptr, 0};
  libusb_interface interface { &alt, 1 };
  libusb_config_descriptor config{9, 2, 0, 1, 1, 0, 0x80, 50, &interface, nullptr, 0};

  void Serve(NiceMock<MockLibusb>& api) {
    ON_CALL(api, Init(_)).WillByDefault(Invoke([this](libusb_context** c) {
      ++contexts;
      *c = reinterpret_cast<libusb_context*>(this);
      return 0;
    }));
    ON_CALL(api, Exit(_)).WillByDefault(Invoke([this](libusb_context*) { --contexts; }));
    ON_CALL(api, GetDeviceList(_, _))
        .WillByDefault(Invoke([this](libusb_context*, libusb_device*** list) {
          *list = new libusb_device*[devices.size() + 1]();
          for (std::size_t i = 0; i < devices.size(); ++i) {
            (*list)[i] = reinterpret_cast<libusb_device*>(&devices[i]);
          }
          return static_cast<ssize_t>(devices.size());
        }));
    ON_CALL(api, FreeDeviceList(_, _)).WillByDefault(Invoke([](libusb_device** l, int) {
      delete[] l;
    }));
    ON_CALL(api, RefDevice(_)).WillByDefault(Invoke([this](libusb_device* d) {
      ++references;
      return d;
    }));
    ON_CALL(api, UnrefDevice(_)).WillByDefault(Invoke([this](libusb_device*) { --references; }));
    ON_CALL(api, GetDeviceDescriptor(_, _))
        .WillByDefault(Invoke([](libusb_device* d, libusb_device_descriptor* out) {
          *out = *reinterpret_cast<libusb_device_descriptor*>(d);
          return 0;
        }));
    ON_CALL(api, GetActiveConfigDescriptor(_, _))
        .WillByDefault(Invoke([this](libusb_device*, libusb_config_descriptor** c) {
          *c = &config;
          return 0;
        }));
    // Device i sits on port 2 of the hub at root port i + 1.
    ON_CALL(api, GetPortNumbers(_, _, _))
        .WillByDefault(Invoke([this](libusb_device* d, uint8_t* numbers, int) {
          numbers[0] = static_cast<uint8_t>(reinterpret_cast<libusb_device_descriptor*>(d) -
                                            devices.data() + 1);
          numbers[1] = 2;
          return 2;
        }));
    ON_CALL(api, GetBusNumber(_)).WillByDefault(Return(1));
    ON_CALL(api, GetDeviceAddress(_)).WillByDefault(Return(4));
    ON_CALL(api, GetDeviceSpeed(_)).WillByDefault(Return(LIBUSB_SPEED_HIGH));
  }
};

libusb_device_descriptor Device(uint16_t vendor, uint16_t product, uint8_t deviceClass = 0xFF) {
  libusb_device_descriptor d{};
  d.idVendor = vendor;
  d.idProduct = product;
  d.bDeviceClass = deviceClass;
  d.iProduct = 2;
  return d;
}

std::vector<uint8_t> Block(const TransferHeader& header, std::size_t dataLength = 0) {
  std::vector<uint8_t> block(kTransferHeaderSize + dataLength);
  WriteTransferHeader(header, block.data());
  return block;
}

class LibusbDriverTest : public ::testing::Test {
 protected:
  LibusbDriverTest() {
    bus.devices = {Device(0x0400, 0x1120)};
    bus.Serve(api);
  }

  std::unique_ptr<Driver> OpenFirst() {
    EXPECT_EQ(driverClass.Count(), 1);
    return driverClass.Open(0);
  }

  // The direct form: the header names the endpoint, the caller's buffer is the data.
  IoResult Direct(Driver& driver, uint8_t endpoint, uint8_t* data, uint32_t length,
                  uint32_t* returned) {
    TransferHeader header;
    header.endpointAddress = endpoint;
    const std::vector<uint8_t> in = Block(header);
    return driver.Control(kIoctlDirectTransfer, in.data(), kTransferHeaderSize, data, length,
                          returned, 10000);
  }

  FakeBus bus;
  NiceMock<MockLibusb> api;
  LibusbDriverClass driverClass{api, BoardVendorList(nullptr)};
};

TEST(BoardVendorListTest, StartsWithTheDefaultsAndAddsWellFormedHexEntries) {
  EXPECT_THAT(BoardVendorList(nullptr), ElementsAre(0x0400, 0x04B4));
  EXPECT_THAT(BoardVendorList(""), ElementsAre(0x0400, 0x04B4));
  EXPECT_THAT(BoardVendorList("1234, 0xABcd,zz,12345,,04b4, 0x,\tffff "),
              ElementsAre(0x0400, 0x04B4, 0x1234, 0xABCD, 0xFFFF));
}

// Boards of the vendor list (hubs never), or the one at the port asked for;
// device i sits at port path 1-(i+1).2.
TEST_F(LibusbDriverTest, CountsTheBoardsOfTheVendorListOrOfThePortAndGivesEveryReferenceBack) {
  bus.devices = {Device(0x0400, 0x1120), Device(0x04B4, 0x8613), Device(0x1234, 0x5678),
                 Device(0x0400, 0x0001, LIBUSB_CLASS_HUB)};
  const struct {
    const char* vendors;
    const char* port;
    int count;
  } cases[] = {{nullptr, "", 2},      {"1234", "", 3},       {nullptr, "1-2.2", 1},
               {nullptr, "1-3.2", 0}, {"1234", "1-3.2", 1},  {nullptr, "1-4.2", 0},
               {nullptr, "1-2", 0},   {nullptr, "2-2.2", 0}, {nullptr, "1-1.2", 1}};
  for (const auto& c : cases) {
    LibusbDriverClass chosen(api, BoardVendorList(c.vendors), c.port);
    EXPECT_EQ(chosen.Count(), c.count) << c.port << " " << (c.vendors ? c.vendors : "");
  }
  {
    LibusbDriverClass wider(api, BoardVendorList("1234"));
    std::unique_ptr<Driver> driver = wider.Open(2);
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(wider.Count(), 3);  // a fresh enumeration while a board is open
    EXPECT_EQ(bus.contexts, 2);
    EXPECT_EQ(wider.Open(3), nullptr);
  }
  EXPECT_EQ(bus.contexts, 0);
  EXPECT_EQ(bus.references, 0);
  char path[kPortPathSize];
  PortPath(api, reinterpret_cast<libusb_device*>(&bus.devices[1]), path);
  EXPECT_STREQ(path, "1-2.2");
}

TEST_F(LibusbDriverTest, LateAnswersAreDroppedBeforeTheNextCommandAFewReadsAtMost) {
  std::unique_ptr<Driver> driver = OpenFirst();
  uint8_t reply[8] = {};
  uint8_t packet[2] = {0xA1, 0xA2};
  uint32_t returned = 0;
  int lateReads = 0;
  EXPECT_CALL(api, InterruptTransfer(_, 0x84, _, _, _, 10000))
      .WillOnce(Return(LIBUSB_ERROR_TIMEOUT));
  // The answer that missed its time-out keeps coming: read from its own
  // (interrupt) pipe, 50 ms each, kMaxLateAnswerReads times at most.
  EXPECT_CALL(api, InterruptTransfer(_, 0x84, _, 4096, _, 50))
      .WillRepeatedly(Invoke([&](auto, auto, auto, int, int* transferred, auto) {
        ++lateReads;
        *transferred = 8;
        return 0;
      }));
  EXPECT_CALL(api, BulkTransfer(_, 0x02, _, 2, _, 10000))
      .Times(2)
      .WillRepeatedly(
          Invoke([](auto, auto, unsigned char* data, int length, int* transferred, auto) {
            EXPECT_EQ(data[0], 0xA1);
            *transferred = length;
            return 0;
          }));
  EXPECT_EQ(Direct(*driver, 0x84, reply, 8, &returned), IoResult::kTimeout);
  EXPECT_EQ(Direct(*driver, 0x02, packet, 2, &returned), IoResult::kDone);
  EXPECT_EQ(returned, 2u);
  EXPECT_EQ(lateReads, kMaxLateAnswerReads);
  EXPECT_EQ(Direct(*driver, 0x02, packet, 2, &returned), IoResult::kDone);  // dropped once only
  EXPECT_EQ(lateReads, kMaxLateAnswerReads);
}

// The driver queries, answered from libusb and the descriptors.
TEST_F(LibusbDriverTest, AnswersTheDriverQueries) {
  ON_CALL(api, Version()).WillByDefault(Return(0x01001A00u));
  ON_CALL(api, GetStringDescriptorAscii(_, 2, _, _))
      .WillByDefault(Invoke([](auto, auto, unsigned char* text, int) {
        std::strcpy(reinterpret_cast<char*>(text), "Evaluation Board");
        return 16;
      }));
  ON_CALL(api, ResetDevice(_)).WillByDefault(Return(LIBUSB_ERROR_NOT_FOUND));  // came back
  std::unique_ptr<Driver> driver = OpenFirst();
  const uint8_t endpoint = 0x86;
  struct Case {
    uint32_t code;
    uint32_t inLength;  // of the endpoint above
    uint32_t outLength;
    IoResult result;
    std::string_view answer;
  };
  const Case cases[] = {
      {kIoctlDriverVersion, 0, 4, IoResult::kDone, "\x00\x05\x05\x01"sv},
      {kIoctlDriverVersion, 0, 3, IoResult::kFailed, ""sv},
      {kIoctlStackVersion, 0, 4, IoResult::kDone, "\x00\x1A\x00\x01"sv},
      {kIoctlBusSpeed, 0, 4, IoResult::kDone, "\x02\x00\x00\x00"sv},
      {kIoctlAltInterface, 0, 1, IoResult::kDone, "\x00"sv},
      {kIoctlUsbAddress, 0, 1, IoResult::kDone, "\x04"sv},
      {kIoctlDeviceName, 0, 256, IoResult::kDone, "/dev/bus/usb/001/004\0"sv},
      {kIoctlFriendlyName, 0, 256, IoResult::kDone, "Evaluation Board (0400:1120)\0"sv},
      {kIoctlResetParentPort, 0, 0, IoResult::kDone, ""sv},
      {kIoctlAbortPipe, 1, 0, IoResult::kDone, ""sv},
      {kIoctlAbortPipe, 0, 0, IoResult::kFailed, ""sv},
      {0x220999, 0, 4, IoResult::kFailed, ""sv},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.code << " out " << c.outLength);
    uint8_t out[256] = {};
    uint32_t returned = 99;
    EXPECT_EQ(driver->Control(c.code, c.inLength > 0 ? &endpoint : nullptr, c.inLength, out,
                              c.outLength, &returned, 5000),
              c.result);
    if (c.result == IoResult::kDone && c.outLength > 0) {
      EXPECT_EQ(returned, c.code == kIoctlDeviceName || c.code == kIoctlFriendlyName
                              ? 256u
                              : c.answer.size());
      EXPECT_EQ(std::string_view(reinterpret_cast<char*>(out), c.answer.size()), c.answer);
    }
  }
  // Without a product string, at full speed; a reset that fails.
  ON_CALL(api, GetStringDescriptorAscii(_, _, _, _)).WillByDefault(Return(LIBUSB_ERROR_IO));
  ON_CALL(api, GetDeviceSpeed(_)).WillByDefault(Return(LIBUSB_SPEED_FULL));
  ON_CALL(api, ResetDevice(_)).WillByDefault(Return(LIBUSB_ERROR_IO));
  uint8_t out[256] = {};
  uint32_t returned = 0;
  driver->Control(kIoctlFriendlyName, nullptr, 0, out, 256, &returned, 5000);
  EXPECT_STREQ(reinterpret_cast<char*>(out), "USB device (0400:1120)");
  driver->Control(kIoctlBusSpeed, nullptr, 0, out, 4, &returned, 5000);
  EXPECT_EQ(ReadLe32(out), 1u);
  EXPECT_EQ(driver->Control(kIoctlResetParentPort, nullptr, 0, nullptr, 0, &returned, 5000),
            IoResult::kFailed);
}

// The block forms: the header, then the data; the header comes back with
// both status words 0 and what came in behind it.
TEST_F(LibusbDriverTest, BlockFormsCarryTheHeaderFieldsAndTheDataBehindIt) {
  std::string call;
  std::vector<uint8_t> answer;
  int status = 0;
  auto record = [&](std::string text, const unsigned char* data, int length, bool incoming) {
    call = text;
    for (int i = 0; !incoming && i < length; ++i) {
      call += " " + std::to_string(data[i]);
    }
  };
  ON_CALL(api, ControlTransfer(_, _, _, _, _, _, _, _))
      .WillByDefault(Invoke([&](auto, uint8_t type, uint8_t request, uint16_t value, uint16_t,
                                unsigned char* data, uint16_t length, unsigned int timeout) {
        const bool incoming = (type & 0x80) != 0;
        record("control " + std::to_string(type) + " " + std::to_string(request) + " " +
                   std::to_string(value) + " " + std::to_string(length) + " " +
                   std::to_string(timeout),
               data, length, incoming);
        std::copy(answer.begin(), answer.end(), data);
        return status < 0 ? status : incoming ? static_cast<int>(answer.size()) : length;
      }));
  ON_CALL(api, BulkTransfer(_, _, _, _, _, _))
      .WillByDefault(Invoke([&](auto, unsigned char endpoint, unsigned char* data, int length,
                                int* moved, unsigned int timeout) {
        const bool incoming = (endpoint & 0x80) != 0;
        record("bulk " + std::to_string(endpoint) + " " + std::to_string(length) + " " +
                   std::to_string(timeout),
               data, length, incoming);
        std::copy(answer.begin(), answer.end(), data);
        *moved = incoming ? static_cast<int>(answer.size()) : length;
        return status;
      }));
  std::unique_ptr<Driver> driver = OpenFirst();
  struct Case {
    uint32_t code;
    TransferHeader header;
    std::vector<uint8_t> data;  // behind the header: sent, or room for the answer
    std::vector<uint8_t> answer;
    int status;
    uint32_t outShortBy;
    std::string call;  // "" when libusb is not asked
    IoResult result;
    uint32_t returned;  // behind the header
  };
  const uint32_t control = kIoctlControlTransfer, buffered = kIoctlBufferedTransfer;
  const IoResult done = IoResult::kDone, failed = IoResult::kFailed, late = IoResult::kTimeout;
  const int timeout = LIBUSB_ERROR_TIMEOUT;
  const TransferHeader vendorOut{.bmRequestType = 0x40,
                                 .bRequest = 0xA0,
                                 .wValue = 0x7F92,
                                 .wLength = 1,
                                 .timeoutSeconds = 10,
                                 .status = 7};
  const TransferHeader in18{
      .bmRequestType = 0x80, .bRequest = 6, .wValue = 0x0100, .wLength = 18, .timeoutSeconds = 5};
  const TransferHeader in5{.timeoutSeconds = 3, .endpointAddress = 0x86, .bufferLength = 5};
  const TransferHeader out2{.timeoutSeconds = 3, .endpointAddress = 0x02, .bufferLength = 2};
  const TransferHeader ep0{.timeoutSeconds = 3, .endpointAddress = 0x80, .bufferLength = 2};
  const std::vector<uint8_t> room18(18), room5(5), room2(2);
  const std::string descriptor = "control 128 6 256 18 5000";
  const Case cases[] = {
      {control, vendorOut, {1}, {}, 0, 0, "control 64 160 32658 1 10000 1", done, 1},
      {control, in18, room18, {18, 1, 16, 1}, 0, 0, descriptor, done, 4},
      {control, in18, room18, {}, timeout, 0, descriptor, late, 0},
      {control, in18, room18, {}, LIBUSB_ERROR_PIPE, 0, descriptor, failed, 0},
      {control, in18, room18, {}, 0, 1, "", failed, 0},
      {buffered, in5, room5, {7, 8, 9}, 0, 0, "bulk 134 5 3000", done, 3},
      {buffered, in5, room5, {}, timeout, 0, "bulk 134 5 3000", late, 0},
      {buffered, out2, {0xAB, 0xCD}, {}, 0, 0, "bulk 2 2 3000 171 205", done, 2},
      {buffered, in5, room5, {}, 0, 1, "", failed, 0},
      {buffered, ep0, room2, {}, 0, 0, "", failed, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    call.clear();
    answer = c.answer;
    status = c.status;
    const std::vector<uint8_t> in = Block(c.header, c.data.size());
    std::vector<uint8_t> block = in;
    std::copy(c.data.begin(), c.data.end(), block.begin() + kTransferHeaderSize);
    std::vector<uint8_t> out(block.size(), 0xEE);
    uint32_t returned = 0;
    EXPECT_EQ(driver->Control(c.code, block.data(), static_cast<uint32_t>(block.size()), out.data(),
                              static_cast<uint32_t>(out.size()) - c.outShortBy, &returned, 1000),
              c.result);
    EXPECT_EQ(call, c.call);
    if (c.result == IoResult::kDone) {
      EXPECT_EQ(returned, kTransferHeaderSize + c.returned);
      const TransferHeader back = ReadTransferHeader(out.data());
      EXPECT_EQ(back.status, 0u);
      EXPECT_EQ(back.bRequest, c.header.bRequest);
      EXPECT_TRUE(std::equal(c.answer.begin(), c.answer.end(), out.begin() + kTransferHeaderSize));
    }
  }
}

TEST_F(LibusbDriverTest, ABoardThatCannotBeOpenedOrClaimedIsGivenBack) {
  EXPECT_CALL(api, ClaimInterface(_, 0)).WillOnce(Return(LIBUSB_ERROR_BUSY));
  EXPECT_CALL(api, Close(_)).Times(1);
  EXPECT_EQ(OpenFirst(), nullptr);
  EXPECT_CALL(api, Open(_, _)).WillOnce(Return(LIBUSB_ERROR_ACCESS));
  EXPECT_EQ(driverClass.Open(0), nullptr);
  EXPECT_CALL(api, Init(_)).WillOnce(Return(LIBUSB_ERROR_NO_MEM));
  EXPECT_EQ(driverClass.Count(), 0);
}

}  // namespace
}  // namespace dravik::usb
