#include "usb/transfer_header.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace dravik::usb {
namespace {

using ::testing::ElementsAreArray;

TEST(TransferHeaderTest, SerialisesEveryFieldLittleEndianAtItsOffset) {
  TransferHeader header;
  header.bmRequestType = 0xC0;
  header.bRequest = 0xA0;
  header.wValue = 0xE600;
  header.wIndex = 0x1234;
  header.wLength = 0x0201;
  header.timeoutSeconds = 10;
  header.endpointAddress = 0x86;
  header.status = 0x11223344;
  header.usbdStatus = 0x55667788;
  header.isoPacketOffset = 0x01020304;
  header.isoPacketLength = 0x0A0B0C0D;
  header.bufferOffset = 38;
  header.bufferLength = 0x0201;
  std::vector<uint8_t> bytes(kTransferHeaderSize + 2, 0xEE);
  WriteTransferHeader(header, bytes.data());
  const std::vector<uint8_t> expected = {
      0xC0, 0xA0, 0x00, 0xE6, 0x34, 0x12, 0x01, 0x02,  // request fields
      0x0A, 0x00, 0x00, 0x00,                          // time-out, seconds
      0x00, 0x86,                                      // reserved, endpoint
      0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0x66, 0x55,  // status words
      0x04, 0x03, 0x02, 0x01, 0x0D, 0x0C, 0x0B, 0x0A,  // isochronous packet
      0x26, 0x00, 0x00, 0x00, 0x01, 0x02, 0x00, 0x00,  // buffer offset and length
      0xEE, 0xEE};                                     // untouched behind the header
  EXPECT_THAT(bytes, ElementsAreArray(expected));
}

TEST(TransferHeaderTest, ReadsBackWhatWasWritten) {
  TransferHeader header;
  header.bmRequestType = 0x80;
  header.bRequest = 6;
  header.wValue = 0x0302;
  header.wIndex = 0x0409;
  header.wLength = 255;
  header.timeoutSeconds = 5;
  header.endpointAddress = 0x02;
  header.status = 7;
  header.usbdStatus = 0xC0000004;
  header.bufferOffset = 38;
  header.bufferLength = 255;
  uint8_t bytes[kTransferHeaderSize];
  WriteTransferHeader(header, bytes);
  const TransferHeader back = ReadTransferHeader(bytes);
  EXPECT_EQ(back.bmRequestType, 0x80);
  EXPECT_EQ(back.bRequest, 6);
  EXPECT_EQ(back.wValue, 0x0302);
  EXPECT_EQ(back.wIndex, 0x0409);
  EXPECT_EQ(back.wLength, 255);
  EXPECT_EQ(back.timeoutSeconds, 5u);
  EXPECT_EQ(back.endpointAddress, 0x02);
  EXPECT_EQ(back.status, 7u);
  EXPECT_EQ(back.usbdStatus, 0xC0000004u);
  EXPECT_EQ(back.bufferOffset, 38u);
  EXPECT_EQ(back.bufferLength, 255u);
}

TEST(TransferHeaderTest, RequestTypeJoinsDirectionTypeAndTarget) {
  EXPECT_EQ(RequestType(1, 0, 0), 0x80);  // standard, to host
  EXPECT_EQ(RequestType(0, 2, 0), 0x40);  // vendor, to device
  EXPECT_EQ(RequestType(1, 2, 0), 0xC0);
  EXPECT_EQ(RequestType(0, 1, 1), 0x21);  // class, interface
  EXPECT_EQ(RequestType(1, 3, 31), 0xFF);
}

TEST(TransferHeaderTest, TimeoutIsWholeSecondsButAtLeastOneForShortTimeouts) {
  EXPECT_EQ(TimeoutSeconds(10000), 10u);
  EXPECT_EQ(TimeoutSeconds(5000), 5u);
  EXPECT_EQ(TimeoutSeconds(1999), 1u);
  EXPECT_EQ(TimeoutSeconds(999), 1u);
  EXPECT_EQ(TimeoutSeconds(1), 1u);
  EXPECT_EQ(TimeoutSeconds(0), 0u);
}

}  // namespace
}  // namespace dravik::usb
