// The libusb driver beyond what the kernel rig shows on a real bus: the vendor
// list, enumeration bookkeeping, late answers that keep coming.
#include "usb/libusb_driver.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
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

TEST_F(LibusbDriverTest, CountsBoardsOfTheVendorListAndGivesEveryReferenceBack) {
  bus.devices = {Device(0x0400, 0x1120), Device(0x04B4, 0x8613), Device(0x1234, 0x5678),
                 Device(0x0400, 0x0001, LIBUSB_CLASS_HUB)};
  {
    LibusbDriverClass narrow(api, BoardVendorList(nullptr));
    LibusbDriverClass wider(api, BoardVendorList("1234"));
    EXPECT_EQ(narrow.Count(), 2);
    EXPECT_EQ(wider.Count(), 3);
    std::unique_ptr<Driver> driver = wider.Open(2);
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(wider.Count(), 3);  // a fresh enumeration while a board is open
    EXPECT_EQ(bus.contexts, 3);
    EXPECT_EQ(wider.Open(3), nullptr);
  }
  EXPECT_EQ(bus.contexts, 0);
  EXPECT_EQ(bus.references, 0);
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

}  // namespace
}  // namespace dravik::usb
