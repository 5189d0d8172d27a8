#include "usb/usb_device.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "fake_board.hpp"
#include "usb/usb_configuration.hpp"
#include "usb/usb_endpoint.hpp"

namespace dravik::usb {
namespace {

using testing::ConfigBuilder;
using testing::DeviceDescriptorBytes;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::FakeBoard;
using testing::FakeDriverClass;
using testing::RecordedRequest;
using testing::ScriptedAnswer;

// A board like the evaluation board running its firmware: interface 0 with
// a small alternate setting 0 and a full alternate setting 1 whose entry 1 is
// the bulk OUT command endpoint and entry 8 the IN response endpoint.
std::vector<uint8_t> EvaluationConfiguration() {
  return ConfigBuilder(1)
      .Interface(0, 0, 2)
      .Endpoint(0x01, 2, 64)
      .Endpoint(0x81, 2, 64)
      .Interface(0, 1, 8)
      .Endpoint(0x02, 2, 512)
      .Raw({5, 0x25, 1, 2, 3})  // class-specific descriptor between endpoints
      .Endpoint(0x04, 3, 64, 4)
      .Endpoint(0x06, 2, 512)
      .Endpoint(0x08, 1, 0x1400, 1)  // 1024 bytes, three per microframe
      .Endpoint(0x82, 2, 512)
      .Endpoint(0x84, 3, 64, 8)
      .Endpoint(0x88, 1, 1023)
      .Endpoint(0x86, 2, 512)
      .Finish();
}

class UsbDeviceTest : public ::testing::Test {
 protected:
  UsbDeviceTest() {
    board.deviceDescriptor = DeviceDescriptorBytes(0x0200, 0x0400, 0x3120, 1, 2, 1);
    board.configurations = {EvaluationConfiguration()};
    board.strings = {{1, u"Maker"}, {2, u"Board \u00e9\u4e00"}};
    board.alternateSetting = 1;
    driverClass.boards = {&board};
  }

  UsbEndpoint* Entry(int index) { return static_cast<UsbEndpoint*>(device.EndpointAt(index)); }

  FakeBoard board;
  FakeDriverClass driverClass;
  UsbDevice device{&driverClass};
};

TEST_F(UsbDeviceTest, ReadsTheDeviceDescriptorWithAStandardRequestOfFiveSeconds) {
  ASSERT_TRUE(device.Open(0));
  const RecordedRequest& first = board.requests.at(0);
  EXPECT_EQ(first.code, kIoctlControlTransfer);
  EXPECT_EQ(first.timeoutMs, 5000u);
  EXPECT_EQ(first.outLength, kTransferHeaderSize + 18);
  const std::vector<uint8_t> expected = {
      0x80, 0x06, 0x00, 0x01, 0x00, 0x00, 0x12, 0x00,  // GET_DESCRIPTOR device, 18 bytes
      0x05, 0x00, 0x00, 0x00, 0x00, 0x00,              // 5 s, reserved, endpoint 0
      0,    0,    0,    0,    0,    0,    0,    0,     // status words
      0,    0,    0,    0,    0,    0,    0,    0,     // isochronous fields
      0x26, 0x00, 0x00, 0x00, 0x12, 0x00, 0x00, 0x00};
  // An IN request carries the whole block, the data part zero.
  ASSERT_EQ(first.in.size(), kTransferHeaderSize + 18);
  EXPECT_THAT(std::vector<uint8_t>(first.in.begin(), first.in.begin() + kTransferHeaderSize),
              ElementsAreArray(expected));
  EXPECT_EQ(first.Data(), std::vector<uint8_t>(18, 0));

  const DeviceDescriptor& d = device.Descriptor();
  EXPECT_EQ(d.bcdUSB, 0x0200);
  EXPECT_EQ(d.idVendor, 0x0400);
  EXPECT_EQ(d.idProduct, 0x3120);
  EXPECT_EQ(d.bMaxPacketSize0, 64);
  EXPECT_EQ(d.iManufacturer, 1);
  EXPECT_EQ(d.iProduct, 2);
  EXPECT_EQ(d.bNumConfigurations, 1);
}

TEST_F(UsbDeviceTest, BuildsTheEndpointListFromTheReportedAlternateSettingInDescriptorOrder) {
  ASSERT_TRUE(device.Open(0));
  EXPECT_EQ(device.AltIntfc(), 1);
  ASSERT_EQ(device.EndpointCount(), 9);
  EXPECT_EQ(device.EndpointAt(0), device.ControlEndPt());
  EXPECT_EQ(device.EndpointAt(0)->Address(), 0);
  EXPECT_EQ(device.ControlEndPt()->MaxPktSize(), 64u);
  std::vector<uint8_t> addresses;
  std::vector<uint8_t> attributes;
  for (int i = 1; i < device.EndpointCount(); ++i) {
    addresses.push_back(device.EndpointAt(i)->Address());
    attributes.push_back(device.EndpointAt(i)->Attributes());
  }
  EXPECT_THAT(addresses, ElementsAre(0x02, 0x04, 0x06, 0x08, 0x82, 0x84, 0x88, 0x86));
  EXPECT_THAT(attributes, ElementsAre(2, 3, 2, 1, 2, 3, 1, 2));
  EXPECT_FALSE(device.EndpointAt(1)->IsIn());
  EXPECT_TRUE(device.EndpointAt(8)->IsIn());
  EXPECT_EQ(device.EndpointAt(9), nullptr);
  EXPECT_EQ(device.EndpointAt(-1), nullptr);

  EXPECT_EQ(device.BulkOutEndPt(), Entry(1));
  EXPECT_EQ(device.BulkInEndPt(), Entry(5));
  EXPECT_EQ(device.InterruptOutEndPt(), Entry(2));
  EXPECT_EQ(device.InterruptInEndPt(), Entry(6));
  EXPECT_EQ(device.IsocOutEndPt(), Entry(4));
  EXPECT_EQ(device.IsocInEndPt(), Entry(7));
  EXPECT_EQ(Entry(2)->Interval(), 4);
  // (bits 0 to 10) x (1 + bits 11 and 12)
  EXPECT_EQ(Entry(4)->MaxPktSize(), 3072u);
  EXPECT_EQ(Entry(7)->MaxPktSize(), 1023u);
  EXPECT_EQ(Entry(1)->MaxPktSize(), 512u);
  EXPECT_EQ(Entry(1)->TimeOut(), 10000u);
  EXPECT_EQ(Entry(1)->Mode(), TransferMode::kDirect);
  EXPECT_EQ(device.ControlEndPt()->Mode(), TransferMode::kBuffered);
}

TEST_F(UsbDeviceTest, ReadsAtMostTwoConfigurationsHeaderFirstThenWhole) {
  board.deviceDescriptor = DeviceDescriptorBytes(0x0200, 0x0400, 0x3120, 0, 0, 3);
  board.configurations = {EvaluationConfiguration(),
                          ConfigBuilder(2).Interface(0, 0, 1).Endpoint(0x82, 3, 8).Finish(),
                          ConfigBuilder(3).Interface(0, 0, 0).Finish()};
  ASSERT_TRUE(device.Open(0));
  std::vector<std::pair<uint16_t, uint16_t>> asked;  // wValue, wLength
  for (const RecordedRequest& r : board.RequestsWith(kIoctlControlTransfer)) {
    if ((r.Header().wValue >> 8) == 2) {
      asked.emplace_back(r.Header().wValue, r.Header().wLength);
    }
  }
  const uint16_t total0 = static_cast<uint16_t>(board.configurations[0].size());
  EXPECT_THAT(asked, ElementsAre(std::pair<uint16_t, uint16_t>{0x0200, 9},
                                 std::pair<uint16_t, uint16_t>{0x0200, total0},
                                 std::pair<uint16_t, uint16_t>{0x0201, 9},
                                 std::pair<uint16_t, uint16_t>{0x0201, 25}));
  EXPECT_EQ(device.ConfigCount(), 2);
  ASSERT_NE(device.Configuration(1), nullptr);
  EXPECT_EQ(device.Configuration(1)->ConfigurationValue(), 2);
  ASSERT_EQ(device.Configuration(1)->InterfaceCount(), 1u);
  EXPECT_EQ(device.Configuration(1)->InterfaceAt(0)->EndpointAt(0)->Address(), 0x82);
  EXPECT_EQ(device.Configuration(2), nullptr);
  // The list still comes from the first configuration.
  EXPECT_EQ(device.EndpointCount(), 9);
}

TEST_F(UsbDeviceTest, ReadsStringsInUsEnglishWhenTheLanguageListHoldsIt) {
  board.languages = {0x0407, 0x0409};
  ASSERT_TRUE(device.Open(0));
  EXPECT_STREQ(device.Manufacturer(), "Maker");
  EXPECT_STREQ(device.Product(), "Board \xe9?");
  std::vector<std::pair<uint16_t, uint16_t>> stringRequests;  // wValue, wIndex
  std::vector<uint16_t> lengths;
  for (const RecordedRequest& r : board.RequestsWith(kIoctlControlTransfer)) {
    if ((r.Header().wValue >> 8) == 3) {
      stringRequests.emplace_back(r.Header().wValue, r.Header().wIndex);
      lengths.push_back(r.Header().wLength);
    }
  }
  EXPECT_THAT(stringRequests, ElementsAre(std::pair<uint16_t, uint16_t>{0x0300, 0},
                                          std::pair<uint16_t, uint16_t>{0x0300, 0},
                                          std::pair<uint16_t, uint16_t>{0x0301, 0x0409},
                                          std::pair<uint16_t, uint16_t>{0x0301, 0x0409},
                                          std::pair<uint16_t, uint16_t>{0x0302, 0x0409},
                                          std::pair<uint16_t, uint16_t>{0x0302, 0x0409}));
  // First two bytes for the length, then the whole descriptor.
  EXPECT_THAT(lengths, ElementsAre(2, 6, 2, 12, 2, 18));
}

TEST_F(UsbDeviceTest, ReadsStringsInTheFirstListedLanguageOtherwise) {
  board.languages = {0x0407, 0x040C};
  ASSERT_TRUE(device.Open(0));
  for (const RecordedRequest& r : board.RequestsWith(kIoctlControlTransfer)) {
    if (r.Header().wValue == 0x0301) {
      EXPECT_EQ(r.Header().wIndex, 0x0407);
    }
  }
  EXPECT_STREQ(device.Manufacturer(), "Maker");
}

TEST_F(UsbDeviceTest, AnUnprogrammedBoardIsAskedForNoStrings) {
  board.deviceDescriptor = DeviceDescriptorBytes(0x0110, 0x04B4, 0x2131, 0, 0, 1);
  ASSERT_TRUE(device.Open(0));
  for (const RecordedRequest& r : board.RequestsWith(kIoctlControlTransfer)) {
    EXPECT_NE(r.Header().wValue >> 8, 3);
  }
  EXPECT_STREQ(device.Manufacturer(), "");
}

TEST_F(UsbDeviceTest, TakesDriverFactsFromTheDriverQueries) {
  board.busSpeed = 2;
  ASSERT_TRUE(device.Open(0));
  EXPECT_EQ(device.DriverVersion(), 0x01050500u);
  EXPECT_EQ(device.StackVersion(), 0x00020000u);
  EXPECT_TRUE(device.HighSpeed());
  EXPECT_EQ(device.UsbAddress(), 5);
  EXPECT_STREQ(device.DeviceName(), "/dev/bus/usb/001/005");
  EXPECT_STREQ(device.FriendlyName(), "Fake board");
  EXPECT_EQ(board.RequestsWith(kIoctlAltInterface).size(), 1u);
}

TEST_F(UsbDeviceTest, RefusesToOpenWithoutBoardsBeyondTheLastOrWithoutInterface) {
  driverClass.boards.clear();
  EXPECT_FALSE(device.Open(0));
  EXPECT_EQ(driverClass.opens, 0);
  driverClass.boards = {&board};
  EXPECT_FALSE(device.Open(1));
  EXPECT_EQ(driverClass.opens, 0);

  board.configurations = {ConfigBuilder(1).Finish()};
  EXPECT_FALSE(device.Open(0));
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(device.DeviceNumber(), 0);

  board.openFails = true;
  EXPECT_FALSE(device.Open(0));
  EXPECT_EQ(device.DeviceCount(), 1);
}

TEST_F(UsbDeviceTest, FailsWhenTheDeviceDescriptorDoesNotCome) {
  board.deviceDescriptor = {18, 2, 0};  // wrong type, short
  EXPECT_FALSE(device.Open(0));
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(device.EndpointCount(), 0);
}

TEST_F(UsbDeviceTest, CloseClearsTheDescriptorAndTheList) {
  ASSERT_TRUE(device.Open(0));
  device.Close();
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(device.EndpointCount(), 0);
  EXPECT_EQ(device.EndpointAt(0), nullptr);
  EXPECT_EQ(device.Descriptor().idVendor, 0);
  EXPECT_EQ(device.ControlEndPt(), nullptr);
  EXPECT_EQ(device.ConfigCount(), 0);
}

TEST_F(UsbDeviceTest, DirectFormSendsAZeroedHeaderWithTheEndpointAndTheCallersBuffer) {
  ASSERT_TRUE(device.Open(0));
  board.requests.clear();
  uint8_t packet[7] = {0, 2, 4, 0x48, 0, 1, 3};
  int32_t length = 7;
  ASSERT_TRUE(device.EndpointAt(1)->XferData(packet, length));
  EXPECT_EQ(length, 7);
  ASSERT_EQ(board.requests.size(), 1u);
  const RecordedRequest& r = board.requests[0];
  EXPECT_EQ(r.code, kIoctlDirectTransfer);
  std::vector<uint8_t> header(kTransferHeaderSize, 0);
  header[13] = 0x02;
  EXPECT_THAT(r.in, ElementsAreArray(header));
  EXPECT_EQ(r.outLength, 7u);
  EXPECT_EQ(r.timeoutMs, 10000u);

  board.script.push_back(ScriptedAnswer{IoResult::kDone, {0x11, 0x22, 0x33}, -1, 0});
  uint8_t reply[64] = {};
  length = 58;
  ASSERT_TRUE(device.EndpointAt(8)->XferData(reply, length));
  EXPECT_EQ(length, 3);
  EXPECT_THAT(std::vector<uint8_t>(reply, reply + 3), ElementsAre(0x11, 0x22, 0x33));
  EXPECT_EQ(board.requests.back().in[13], 0x86);
  EXPECT_EQ(board.requests.back().outLength, 58u);
}

TEST_F(UsbDeviceTest, AnOldDriverVersionForcesEveryListEndpointToTheBufferedForm) {
  board.driverVersion = 0x01050400;
  ASSERT_TRUE(device.Open(0));
  for (int i = 0; i < device.EndpointCount(); ++i) {
    EXPECT_EQ(Entry(i)->Mode(), TransferMode::kBuffered) << "entry " << i;
  }
  board.requests.clear();
  uint8_t packet[5] = {1, 2, 2, 0x48, 9};
  int32_t length = 5;
  ASSERT_TRUE(device.EndpointAt(1)->XferData(packet, length));
  EXPECT_EQ(length, 5);
  const RecordedRequest& r = board.requests.at(0);
  EXPECT_EQ(r.code, kIoctlBufferedTransfer);
  const std::vector<uint8_t> expected = {
      0,    0, 0, 0,    0,    0,    0, 0,  // no request fields
      0x0A, 0, 0, 0,    0,    0x02,        // 10 s, reserved, endpoint
      0,    0, 0, 0,    0,    0,    0, 0,  // status words
      0,    0, 0, 0,    0,    0,    0, 0,  // isochronous fields
      0x26, 0, 0, 0,    0x05, 0,    0, 0,  // data behind the header, 5 bytes
      1,    2, 2, 0x48, 9};                // a copy of the data
  EXPECT_THAT(r.in, ElementsAreArray(expected));
  EXPECT_EQ(r.outLength, kTransferHeaderSize + 5);

  board.script.push_back(ScriptedAnswer{IoResult::kDone, {0xA5, 0x5A}, -1, 0});
  uint8_t reply[4] = {};
  length = 4;
  ASSERT_TRUE(device.EndpointAt(8)->XferData(reply, length));
  EXPECT_EQ(length, 2);
  EXPECT_EQ(reply[0], 0xA5);
  EXPECT_EQ(reply[1], 0x5A);
}

TEST_F(UsbDeviceTest, ANewerDriverKeepsTheDirectForm) {
  board.driverVersion = 0x01060000;
  ASSERT_TRUE(device.Open(0));
  EXPECT_EQ(Entry(1)->Mode(), TransferMode::kDirect);
}

TEST_F(UsbDeviceTest, ATimeOutAbortsTheEndpointAndFails) {
  ASSERT_TRUE(device.Open(0));
  board.requests.clear();
  board.script.push_back(ScriptedAnswer{IoResult::kTimeout, {}, -1, 0});
  uint8_t reply[58] = {};
  int32_t length = 58;
  EXPECT_FALSE(device.EndpointAt(8)->XferData(reply, length));
  EXPECT_EQ(length, 0);
  EXPECT_EQ(Entry(8)->LastResult(), IoResult::kTimeout);
  ASSERT_EQ(board.requests.size(), 2u);
  EXPECT_EQ(board.requests[0].code, kIoctlDirectTransfer);
  EXPECT_EQ(board.requests[0].timeoutMs, 10000u);
  EXPECT_EQ(board.requests[1].code, kIoctlAbortPipe);
  EXPECT_THAT(board.requests[1].in, ElementsAre(0x86));

  // The next transfer works again.
  uint8_t packet[3] = {0, 2, 0};
  length = 3;
  EXPECT_TRUE(device.EndpointAt(1)->XferData(packet, length));
}

TEST_F(UsbDeviceTest, AControlTimeOutAbortsEndpointZero) {
  ASSERT_TRUE(device.Open(0));
  board.requests.clear();
  board.script.push_back(ScriptedAnswer{IoResult::kTimeout, {}, -1, 0});
  EXPECT_FALSE(device.Reset8051(true));
  ASSERT_EQ(board.requests.size(), 2u);
  EXPECT_EQ(board.requests[1].code, kIoctlAbortPipe);
  EXPECT_THAT(board.requests[1].in, ElementsAre(0x00));
}

TEST_F(UsbDeviceTest, FailsOnAFailedRequestAStatusWordOrALongAnswer) {
  board.driverVersion = 0x01000000;  // buffered, so status words come back
  ASSERT_TRUE(device.Open(0));
  uint8_t buffer[8] = {};
  int32_t length = 8;
  board.script.push_back(ScriptedAnswer{IoResult::kFailed, {}, -1, 0});
  EXPECT_FALSE(device.EndpointAt(1)->XferData(buffer, length));
  EXPECT_EQ(length, 0);

  board.script.push_back(ScriptedAnswer{IoResult::kDone, {}, -1, 0xC0000004});
  length = 8;
  EXPECT_FALSE(device.EndpointAt(1)->XferData(buffer, length));
  EXPECT_EQ(Entry(1)->Status(), 0xC0000004u);

  board.script.push_back(ScriptedAnswer{IoResult::kDone, std::vector<uint8_t>(4, 1), -1, 0});
  length = 2;
  EXPECT_FALSE(device.EndpointAt(8)->XferData(buffer, length));
  EXPECT_EQ(length, 0);
  EXPECT_EQ(buffer[2], 0);  // nothing copied past what the caller asked for
}

TEST_F(UsbDeviceTest, RefusesABufferedTransferLongerThanTheEndpointBlock) {
  board.driverVersion = 0;
  ASSERT_TRUE(device.Open(0));
  board.requests.clear();
  std::vector<uint8_t> big(kMaxBlockDataLength + 1);
  int32_t length = static_cast<int32_t>(big.size());
  EXPECT_FALSE(device.EndpointAt(1)->XferData(big.data(), length));
  EXPECT_TRUE(board.requests.empty());
  length = -1;
  EXPECT_FALSE(device.EndpointAt(1)->XferData(big.data(), length));
}

TEST_F(UsbDeviceTest, ResetsTheParentPortOnlyWhileOpen) {
  EXPECT_FALSE(device.ResetParentPort());
  EXPECT_TRUE(board.requests.empty());
  ASSERT_TRUE(device.Open(0));
  board.requests.clear();
  EXPECT_TRUE(device.ResetParentPort());
  ASSERT_EQ(board.requests.size(), 1u);
  EXPECT_EQ(board.requests[0].code, kIoctlResetParentPort);
  EXPECT_TRUE(board.requests[0].in.empty());
}

TEST_F(UsbDeviceTest, OpeningAgainClosesFirst) {
  FakeBoard second;
  second.deviceDescriptor = DeviceDescriptorBytes(0x0110, 0x04B4, 0x8613, 0, 0, 1);
  second.configurations = {ConfigBuilder(1).Interface(0, 0, 1).Endpoint(0x02, 2, 64).Finish()};
  driverClass.boards.push_back(&second);
  ASSERT_TRUE(device.Open(0));
  ASSERT_TRUE(device.Open(1));
  EXPECT_EQ(device.DeviceNumber(), 1);
  EXPECT_EQ(device.Descriptor().idVendor, 0x04B4);
  EXPECT_EQ(device.EndpointCount(), 2);
  EXPECT_STREQ(device.Manufacturer(), "");
}

}  // namespace
}  // namespace dravik::usb
