// The libusb driver where the kernel rig cannot take it: the vendor list, the
// choice among other devices, libusb's failures, late answers that keep
// coming. What a real bus and board do is the rig's (tests/kernel).
#include "usb/libusb_driver.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "usb/transfer_header.hpp"

namespace dravik::usb {
namespace {

using ::testing::_;
using ::testing::DoAll;
using ::testing::ElementsAre;
using ::testing::InSequence;
using ::testing::NiceMock;
using ::testing::Return;
using ::testing::SetArgPointee;
using ::testing::SetArrayArgument;

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

// libusb's device list: boards of the two default vendors and of 0x1234, and
// a hub of a board vendor; device i sits at port path 1-(i+1).2.
class LibusbDriverTest : public ::testing::Test {
 protected:
  LibusbDriverTest() {
    const uint16_t vendors[kDevices] = {0x0400, 0x04B4, 0x1234, 0x0400};
    const uint8_t classes[kDevices] = {0xFF, 0xFF, 0xFF, LIBUSB_CLASS_HUB};
    for (int i = 0; i < kDevices; ++i) {
      descriptors_[i].idVendor = vendors[i];
      descriptors_[i].bDeviceClass = classes[i];
      list_[i] = reinterpret_cast<libusb_device*>(&descriptors_[i]);
      ON_CALL(api, GetDeviceDescriptor(list_[i], _))
          .WillByDefault(DoAll(SetArgPointee<1>(descriptors_[i]), Return(0)));
      ON_CALL(api, GetPortNumbers(list_[i], _, _))
          .WillByDefault(DoAll(SetArrayArgument<1>(kPorts[i], kPorts[i] + 2), Return(2)));
    }
    ON_CALL(api, GetDeviceList(_, _))
        .WillByDefault(DoAll(SetArgPointee<1>(list_), Return(kDevices)));
    ON_CALL(api, GetBusNumber(_)).WillByDefault(Return(1));
  }

  NiceMock<MockLibusb> api;

 private:
  static constexpr int kDevices = 4;
  static constexpr uint8_t kPorts[kDevices][2] = {{1, 2}, {2, 2}, {3, 2}, {4, 2}};
  libusb_device_descriptor descriptors_[kDevices] = {};
  libusb_device* list_[kDevices];
};

TEST(BoardVendorListTest, StartsWithTheDefaultsAndAddsWellFormedHexEntries) {
  EXPECT_THAT(BoardVendorList(nullptr), ElementsAre(0x0400, 0x04B4));
  EXPECT_THAT(BoardVendorList(""), ElementsAre(0x0400, 0x04B4));
  EXPECT_THAT(BoardVendorList("1234, 0xABcd,zz,12345,,04b4, 0x,\tffff "),
              ElementsAre(0x0400, 0x04B4, 0x1234, 0xABCD, 0xFFFF));
}

// Boards of the vendor list (hubs never), or the one at the port asked for.
TEST_F(LibusbDriverTest, CountsTheBoardsOfTheVendorListOrOfThePortAndGivesEveryReferenceBack) {
  const struct {
    const char* vendors;
    const char* port;
    int count;
  } cases[] = {{nullptr, "", 2},      {"1234", "", 3},       {nullptr, "1-2.2", 1},
               {nullptr, "1-3.2", 0}, {"1234", "1-3.2", 1},  {nullptr, "1-4.2", 0},
               {nullptr, "1-2", 0},   {nullptr, "2-2.2", 0}, {nullptr, "1-1.2", 1}};
  EXPECT_CALL(api, RefDevice(_)).Times(8);  // the counts' sum
  EXPECT_CALL(api, UnrefDevice(_)).Times(8);
  for (const auto& c : cases) {
    LibusbDriverClass chosen(api, BoardVendorList(c.vendors), c.port);
    EXPECT_EQ(chosen.Count(), c.count) << c.port << " " << (c.vendors ? c.vendors : "");
  }
}

TEST_F(LibusbDriverTest, ABoardThatCannotBeOpenedOrClaimedIsGivenBack) {
  LibusbDriverClass boards(api, BoardVendorList(nullptr));
  EXPECT_EQ(boards.Open(2), nullptr);  // two boards only
  EXPECT_CALL(api, ClaimInterface(_, 0)).WillOnce(Return(LIBUSB_ERROR_BUSY));
  EXPECT_CALL(api, Close(_)).Times(1);
  EXPECT_EQ(boards.Open(0), nullptr);
  EXPECT_CALL(api, Open(_, _)).WillOnce(Return(LIBUSB_ERROR_ACCESS));
  EXPECT_EQ(boards.Open(0), nullptr);
  EXPECT_CALL(api, Init(_)).WillOnce(Return(LIBUSB_ERROR_NO_MEM));
  EXPECT_EQ(boards.Count(), 0);
}

// An answer that missed its time-out and keeps coming is read before the
// next command is sent, kMaxLateAnswerReads times at most, and only once.
TEST_F(LibusbDriverTest, LateAnswersAreDroppedBeforeTheNextCommandAFewReadsAtMost) {
  LibusbDriver driver(api, nullptr, nullptr, nullptr);  // a claimed board
  uint8_t header[kTransferHeaderSize] = {};
  uint8_t data[8] = {};
  InSequence inOrder;
  EXPECT_CALL(api, BulkTransfer(_, 0x86, _, 8, _, 10000)).WillOnce(Return(LIBUSB_ERROR_TIMEOUT));
  EXPECT_CALL(api, BulkTransfer(_, 0x86, _, kLateAnswerBufferSize, _, kLateAnswerWaitMs))
      .Times(kMaxLateAnswerReads)
      .WillRepeatedly(Return(0));
  EXPECT_CALL(api, BulkTransfer(_, 0x02, _, 2, _, 10000)).Times(2).WillRepeatedly(Return(0));
  const auto direct = [&](uint8_t endpoint, uint32_t length) {
    header[kHeaderEndpointOffset] = endpoint;
    return driver.Control(kIoctlDirectTransfer, header, kTransferHeaderSize, data, length, nullptr,
                          10000);
  };
  EXPECT_EQ(direct(0x86, 8), IoResult::kTimeout);
  EXPECT_EQ(direct(0x02, 2), IoResult::kDone);
  EXPECT_EQ(direct(0x02, 2), IoResult::kDone);
}

// What libusb fails, and what the driver refuses without asking libusb (which
// answers 0 here): no room for the answer, no pipe at endpoint 0, no endpoint
// to abort, an unknown code.
TEST_F(LibusbDriverTest, FailsWithLibusbOrRefusesWhatDoesNotFit) {
  LibusbDriver driver(api, nullptr, nullptr, nullptr);
  const TransferHeader none{}, in18{.bmRequestType = 0x80, .wLength = 18},
      in5{.endpointAddress = 0x86, .bufferLength = 5}, ep0{.endpointAddress = 0x80};
  const uint32_t control = kIoctlControlTransfer, buffered = kIoctlBufferedTransfer,
                 h = kTransferHeaderSize;
  const IoResult failed = IoResult::kFailed, late = IoResult::kTimeout;
  const struct {
    uint32_t code;
    TransferHeader header;  // a block of it alone for the transfers
    uint32_t outLength;
    int libusb;  // what every libusb call answers
    IoResult result;
  } cases[] = {
      {control, in18, h + 18, LIBUSB_ERROR_TIMEOUT, late},
      {control, in18, h + 18, LIBUSB_ERROR_PIPE, failed},
      {control, in18, h + 17, 0, failed},
      {buffered, in5, h + 5, LIBUSB_ERROR_TIMEOUT, late},
      {buffered, in5, h + 5, LIBUSB_ERROR_IO, failed},
      {buffered, in5, h + 4, 0, failed},
      {buffered, ep0, h, 0, failed},
      {kIoctlResetParentPort, none, 0, LIBUSB_ERROR_IO, failed},
      {kIoctlBusSpeed, none, 3, 0, failed},
      {kIoctlAbortPipe, none, 0, 0, failed},
      {0x220999, none, 4, 0, failed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << &c - cases);
    ON_CALL(api, ControlTransfer(_, _, _, _, _, _, _, _)).WillByDefault(Return(c.libusb));
    ON_CALL(api, BulkTransfer(_, _, _, _, _, _)).WillByDefault(Return(c.libusb));
    ON_CALL(api, ResetDevice(_)).WillByDefault(Return(c.libusb));
    const bool block = c.code == control || c.code == buffered;
    uint8_t in[h] = {}, out[64] = {};
    WriteTransferHeader(c.header, in);
    EXPECT_EQ(driver.Control(c.code, block ? in : nullptr, block ? h : 0, out, c.outLength, nullptr,
                             1000),
              c.result);
  }
}

}  // namespace
}  // namespace dravik::usb
