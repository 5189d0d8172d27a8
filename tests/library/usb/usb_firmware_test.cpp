#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake_board.hpp"
#include "last_error.hpp"
#include "usb/usb_device.hpp"

namespace dravik::usb {
namespace {

using testing::ConfigBuilder;
using testing::DeviceDescriptorBytes;
using ::testing::ElementsAre;
using testing::FakeBoard;
using testing::FakeDriverClass;
using testing::RecordedRequest;
using testing::ScriptedAnswer;

std::string LastError() {
  char text[kLastErrorSize];
  CopyLastError(text);
  return text;
}

struct FirmwareRequest {
  uint8_t requestType;
  uint16_t address;
  uint16_t length;
  std::vector<uint8_t> data;
};

class FirmwareTest : public ::testing::Test {
 protected:
  void OpenBoard(uint16_t bcdUsb) {
    board.deviceDescriptor = DeviceDescriptorBytes(bcdUsb, 0x04B4, 0x2131, 0, 0, 1);
    board.configurations = {ConfigBuilder(1).Interface(0, 0, 1).Endpoint(0x82, 2, 64).Finish()};
    driverClass.boards = {&board};
    ASSERT_TRUE(device.Open(0));
    board.requests.clear();
    ResetLastErrorForTesting();
  }

  // The 0xA0 vendor requests sent since the board was opened.
  std::vector<FirmwareRequest> FirmwareRequests() const {
    std::vector<FirmwareRequest> found;
    for (const RecordedRequest& r : board.RequestsWith(kIoctlControlTransfer)) {
      const TransferHeader h = r.Header();
      if (h.bRequest == 0xA0) {
        found.push_back({h.bmRequestType, h.wValue, h.wLength, r.Data()});
      }
    }
    return found;
  }

  static std::vector<uint8_t> Image(size_t size) {
    std::vector<uint8_t> image(size);
    for (size_t i = 0; i < size; ++i) {
      image[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    return image;
  }

  FakeBoard board;
  FakeDriverClass driverClass;
  UsbDevice device{&driverClass};
};

TEST_F(FirmwareTest, FullSpeedImageGoesInChunksOf512BetweenResetsOf7F92) {
  OpenBoard(0x0110);
  std::vector<uint8_t> image = Image(5000);
  const std::vector<uint8_t> original = image;
  ASSERT_TRUE(device.LoadFirmware(0x0400, 0x1120, image.data(), 5000));

  const std::vector<FirmwareRequest> requests = FirmwareRequests();
  ASSERT_EQ(requests.size(), 12u);
  EXPECT_EQ(requests.front().requestType, 0x40);
  EXPECT_EQ(requests.front().address, 0x7F92);
  EXPECT_THAT(requests.front().data, ElementsAre(1));
  EXPECT_EQ(requests.back().address, 0x7F92);
  EXPECT_THAT(requests.back().data, ElementsAre(0));
  for (size_t i = 0; i < 10; ++i) {
    const FirmwareRequest& chunk = requests[i + 1];
    EXPECT_EQ(chunk.requestType, 0x40);
    EXPECT_EQ(chunk.address, i * 512) << "chunk " << i;
    const size_t size = i < 9 ? 512 : 392;
    EXPECT_EQ(chunk.length, size) << "chunk " << i;
    EXPECT_EQ(chunk.data,
              std::vector<uint8_t>(image.begin() + i * 512, image.begin() + i * 512 + size));
  }
  // The board's identity is patched in at 0x0F08, low bytes first.
  EXPECT_THAT(std::vector<uint8_t>(image.begin() + 0x0F08, image.begin() + 0x0F0C),
              ElementsAre(0x00, 0x04, 0x20, 0x11));
  EXPECT_EQ(requests[8].data[0x0F08 - 7 * 512], 0x00);
  EXPECT_EQ(requests[8].data[0x0F08 - 7 * 512 + 1], 0x04);
  image[0x0F08] = original[0x0F08];
  image[0x0F09] = original[0x0F09];
  image[0x0F0A] = original[0x0F0A];
  image[0x0F0B] = original[0x0F0B];
  EXPECT_EQ(image, original);  // nothing else changed
}

TEST_F(FirmwareTest, HighSpeedImageGoesInChunksOf4096BetweenResetsOfE600) {
  OpenBoard(0x0200);
  std::vector<uint8_t> image = Image(8192);
  ASSERT_TRUE(device.LoadFirmware(0x0400, 0x3120, image.data(), 8192));
  const std::vector<FirmwareRequest> requests = FirmwareRequests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].address, 0xE600);
  EXPECT_EQ(requests[1].address, 0);
  EXPECT_EQ(requests[1].length, 4096);
  EXPECT_EQ(requests[2].address, 4096);
  EXPECT_EQ(requests[2].length, 4096);
  EXPECT_EQ(requests[3].address, 0xE600);
  EXPECT_THAT(requests[3].data, ElementsAre(0));
}

TEST_F(FirmwareTest, RefusesAnIllegalSizeBeforeTheCoreIsReset) {
  OpenBoard(0x0110);
  std::vector<uint8_t> image = Image(8193);
  EXPECT_FALSE(device.LoadFirmware(0x0400, 0x1120, image.data(), 4095));
  EXPECT_EQ(LastError(), "LoadFirmware: Illegal code size");
  EXPECT_FALSE(device.LoadFirmware(0x0400, 0x1120, image.data(), 8193));
  EXPECT_FALSE(device.LoadFirmware(0x0400, 0x1120, image.data(), -4096));
  EXPECT_FALSE(device.LoadFirmware(0x0400, 0x1120, nullptr, 4096));
  EXPECT_TRUE(board.requests.empty());
  EXPECT_EQ(image, Image(8193));  // not patched either
  EXPECT_TRUE(device.LoadFirmware(0x0400, 0x1120, image.data(), 4096));
}

TEST_F(FirmwareTest, RefusesWhenTheBoardIsNotOpen) {
  std::vector<uint8_t> image = Image(4096);
  ResetLastErrorForTesting();
  EXPECT_FALSE(device.LoadFirmware(0x0400, 0x1120, image.data(), 4096));
  EXPECT_EQ(LastError(), "LoadFirmware: Device not open");
}

TEST_F(FirmwareTest, AFailedHoldEndsTheDownloadWithTheResetMessage) {
  OpenBoard(0x0110);
  board.script.push_back(ScriptedAnswer{IoResult::kDone, {}, 0, 0});  // moved nothing
  std::vector<uint8_t> image = Image(4096);
  EXPECT_FALSE(device.LoadFirmware(0x0400, 0x1120, image.data(), 4096));
  EXPECT_EQ(LastError(), "OpenUSB: 8051 reset failed");
  EXPECT_EQ(FirmwareRequests().size(), 1u);
}

TEST_F(FirmwareTest, AShortChunkEndsTheDownloadWithTheCoreHeldInReset) {
  OpenBoard(0x0110);
  board.script.push_back(ScriptedAnswer{});                             // hold
  board.script.push_back(ScriptedAnswer{});                             // chunk 0
  board.script.push_back(ScriptedAnswer{IoResult::kDone, {}, 511, 0});  // chunk 1, short
  std::vector<uint8_t> image = Image(6000);
  EXPECT_FALSE(device.LoadFirmware(0x0400, 0x1120, image.data(), 6000));
  EXPECT_EQ(LastError(), "OpenUSB: Code download failed");
  const std::vector<FirmwareRequest> requests = FirmwareRequests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests.back().address, 512);  // no release after the failure
}

TEST_F(FirmwareTest, AFailedReleaseLeavesItsMessageButTheDownloadCounts) {
  OpenBoard(0x0110);
  for (int i = 0; i < 9; ++i) {
    board.script.push_back(ScriptedAnswer{});
  }
  board.script.push_back(ScriptedAnswer{IoResult::kFailed, {}, -1, 0});
  std::vector<uint8_t> image = Image(4096);
  EXPECT_TRUE(device.LoadFirmware(0x0400, 0x1120, image.data(), 4096));
  EXPECT_EQ(LastError(), "OpenUSB: 8051 reset failed");
}

TEST_F(FirmwareTest, ResetRequestCarriesOneByteBehindTheHeader) {
  OpenBoard(0x0110);
  ASSERT_TRUE(device.Reset8051(true));
  const RecordedRequest& r = board.requests.at(0);
  const std::vector<uint8_t> expected = {
      0x40, 0xA0, 0x92, 0x7F, 0x00, 0x00, 0x01, 0x00,  // vendor, to device, CPUCS
      0x0A, 0x00, 0x00, 0x00, 0x00, 0x00,              // 10 s, reserved, endpoint 0
      0,    0,    0,    0,    0,    0,    0,    0,     // status words
      0,    0,    0,    0,    0,    0,    0,    0,     // isochronous fields
      0x26, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,  // one byte behind the header
      0x01};
  EXPECT_EQ(r.code, kIoctlControlTransfer);
  EXPECT_EQ(r.in, expected);
  EXPECT_EQ(r.outLength, kTransferHeaderSize + 1);
}

}  // namespace
}  // namespace dravik::usb
