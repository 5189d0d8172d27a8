// The USB device layer over a scripted board: descriptors, the endpoint list,
// strings, the direct and buffered transfer forms, time-outs, and the packet
// trace of every request (DRAVIK_TRACE).
#include "usb/usb_device.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <vector>

#include "library_fixture.hpp"
#include "packet_trace.hpp"
#include "usb/usb_configuration.hpp"
#include "usb/usb_endpoint.hpp"

namespace dravik::usb {
namespace {

using dravik::testing::Bytes;
using dravik::testing::BytesOf;
using dravik::testing::Hex;
using testing::ConfigBuilder;
using ::testing::ElementsAre;
using testing::ScriptedAnswer;

// A request block: its first 14 bytes (request fields, time-out in seconds,
// reserved, endpoint), zero status and isochronous fields, the offset and
// length of the data, then the data.
Bytes Block(const std::string& head, const std::string& offsetAndLength, const Bytes& data) {
  Bytes block = BytesOf(head);
  block.resize(30);
  const Bytes tail = BytesOf(offsetAndLength);
  block.insert(block.end(), tail.begin(), tail.end());
  block.insert(block.end(), data.begin(), data.end());
  return block;
}

// value.index.length of the traced GET_DESCRIPTOR requests of one type ("02").
std::string Setups(const std::vector<std::string>& lines, const std::string& type) {
  std::string setups;
  for (const std::string& line : lines) {
    if (line.starts_with("usb ep=0x00 setup=80.06." + type)) {
      setups += (setups.empty() ? "" : " ") + line.substr(24, 14);
    }
  }
  return setups;
}

// The fixture's board (0400:1234) with interface 0 in a small alternate
// setting 0 and a full setting 1 whose entry 1 is the bulk OUT command
// endpoint and entry 8 the IN response one, and a product string that is not
// all ASCII.
class UsbDeviceTest : public dravik::testing::LibraryTest {
 protected:
  UsbDeviceTest() {
    board.configurations[0] =
        ConfigBuilder(1)
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
    board.strings[2] = u"Board \u00e9\u4e00";
    board.alternateSetting = 1;
  }

  UsbEndpoint* Entry(int index) { return static_cast<UsbEndpoint*>(device.EndpointAt(index)); }

  UsbDevice device{&board};
};

// Opening reads the device descriptor with a standard request of 5 s, at most
// two configurations (header first, then whole), the endpoint list of the
// reported alternate setting in descriptor order, and the strings in US
// English or else the first listed language.
TEST_F(UsbDeviceTest, OpeningReadsTheDescriptorsConfigurationsAndStrings) {
  board.deviceDescriptor[17] = 3;  // configurations
  board.configurations.push_back(ConfigBuilder(2).Interface(0, 0, 1).Endpoint(0x82, 3, 8).Finish());
  board.configurations.push_back(ConfigBuilder(3).Interface(0, 0, 0).Finish());
  board.languages = {0x0407, 0x0409};
  ASSERT_TRUE(device.Open(0));
  const auto& first = board.requests.at(0);
  EXPECT_EQ(first.code, kIoctlControlTransfer);
  EXPECT_EQ(first.timeoutMs, 5000u);
  EXPECT_EQ(first.outLength, kTransferHeaderSize + 18);
  // GET_DESCRIPTOR device for 18 bytes in 5 s on endpoint 0: an IN request
  // carries the whole block, the data part zero.
  EXPECT_EQ(first.in,
            Block("80 06 00 01 00 00 12 00 05 00 00 00 00 00", "26 0 0 0 12 0 0 0", Bytes(18, 0)));
  const DeviceDescriptor& d = device.Descriptor();
  EXPECT_EQ(std::vector<int>({d.bcdUSB, d.idVendor, d.idProduct, d.bMaxPacketSize0, d.iManufacturer,
                              d.iProduct, d.bNumConfigurations}),
            std::vector<int>({0x0200, 0x0400, 0x1234, 64, 1, 2, 3}));
  // Traced as the setup packet and the bytes that came back, as every request is.
  const std::vector<std::string> lines = NewTraceLines();
  EXPECT_EQ(lines.size(), board.requests.size());
  EXPECT_THAT(
      std::vector<std::string>(lines.begin(), lines.begin() + 2),
      ElementsAre("usb ep=0x00 setup=80.06.0100.0000.0012 in 18/18 [12 01 00 02 ff ff ff 40 00 "
                  "04 34 12 01 00 01 02 00 03] ok",
                  "usb ep=0x00 setup=80.06.0300.0000.0002 in 2/2 [06 03] ok"));

  EXPECT_EQ(Setups(lines, "02"), "0200.0000.0009 0200.0000.0066 0201.0000.0009 0201.0000.0019");
  EXPECT_EQ(device.ConfigCount(), 2);
  EXPECT_EQ(device.Configuration(1)->InterfaceAt(0)->EndpointAt(0)->Address(), 0x82);
  EXPECT_EQ(device.Configuration(2), nullptr);

  EXPECT_EQ(device.AltIntfc(), 1);
  ASSERT_EQ(device.EndpointCount(), 9);
  EXPECT_EQ(device.EndpointAt(0), device.ControlEndPt());
  EXPECT_EQ(device.ControlEndPt()->MaxPktSize(), 64u);
  Bytes entries;  // address and attributes of each
  for (int i = 0; i < device.EndpointCount(); ++i) {
    entries.insert(entries.end(),
                   {device.EndpointAt(i)->Address(), device.EndpointAt(i)->Attributes()});
  }
  EXPECT_EQ(Hex(entries), "00 00 02 02 04 03 06 02 08 01 82 02 84 03 88 01 86 02");
  EXPECT_EQ(device.EndpointAt(9), nullptr);
  EXPECT_EQ(device.EndpointAt(-1), nullptr);
  EXPECT_EQ(Entry(2)->Interval(), 4);
  EXPECT_EQ(Entry(4)->MaxPktSize(), 3072u);  // (bits 0 to 10) x (1 + bits 11 and 12)
  EXPECT_EQ(Entry(7)->MaxPktSize(), 1023u);

  EXPECT_STREQ(device.Manufacturer(), "Maker");
  EXPECT_STREQ(device.Product(), "Board \xe9?");
  // First two bytes for the length, then the whole descriptor.
  EXPECT_EQ(Setups(lines, "03"),
            "0300.0000.0002 0300.0000.0006 0301.0409.0002 0301.0409.000c "
            "0302.0409.0002 0302.0409.0012");
  board.languages = {0x0407, 0x040C};
  ASSERT_TRUE(device.Open(0));
  EXPECT_EQ(Setups(NewTraceLines(), "03"),
            "0300.0000.0002 0300.0000.0006 0301.0407.0002 "
            "0301.0407.000c 0302.0407.0002 0302.0407.0012");
  // A board without string indexes is asked for none.
  board.deviceDescriptor[14] = board.deviceDescriptor[15] = 0;
  ASSERT_TRUE(device.Open(0));
  EXPECT_EQ(Setups(NewTraceLines(), "03"), "");
  EXPECT_STREQ(device.Manufacturer(), "");
}

// (Opening another board closes the open one, and a board that does not open
// is passed over: the open table of the library's tests.)
TEST_F(UsbDeviceTest, OpensOnlyABoardThatAnswersAndResetsItsPortOnlyWhileOpen) {
  board.deviceDescriptor = {18, 2, 0};  // wrong type, short
  EXPECT_FALSE(device.Open(0));
  board.deviceDescriptor = testing::FakeBoard().deviceDescriptor;
  board.configurations.insert(board.configurations.begin(), ConfigBuilder(1).Finish());
  EXPECT_FALSE(device.Open(0));
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(device.EndpointAt(0), nullptr);
  EXPECT_FALSE(device.ResetParentPort());
  EXPECT_FALSE(device.LoadFirmware(0x0400, 0x1120, nullptr, 4096));
  EXPECT_EQ(LastError(), "LoadFirmware: Device not open");
  board.configurations.erase(board.configurations.begin());
  ASSERT_TRUE(device.Open(0));
  board.requests.clear();
  EXPECT_TRUE(device.ResetParentPort());
  ASSERT_EQ(board.requests.size(), 1u);
  EXPECT_EQ(board.requests[0].code, kIoctlResetParentPort);
}

// From driver 1.5.5 on the data endpoints take the direct form: a zeroed
// header naming the endpoint, the caller's buffer as the data. An older
// driver gets every endpoint in the buffered form, the data behind the header.
TEST_F(UsbDeviceTest, EachTransferFormSendsItsRequestAndReturnsWhatCameBack) {
  Bytes direct(kTransferHeaderSize, 0);
  direct[13] = 0x02;
  const Bytes buffered =
      Block("0 0 0 0 0 0 0 0 0A 0 0 0 0 02", "26 0 0 0 05 0 0 0", {1, 2, 2, 0x48, 9});
  struct Case {
    uint32_t driverVersion;
    uint32_t code;
    std::vector<uint8_t> in;
    uint32_t headerLength;  // of the out buffer
  };
  for (const Case& c : {Case{0x01050500, kIoctlDirectTransfer, direct, 0},
                        Case{0x01050400, kIoctlBufferedTransfer, buffered, kTransferHeaderSize}}) {
    SCOPED_TRACE(c.driverVersion);
    board.driverVersion = c.driverVersion;
    ASSERT_TRUE(device.Open(0));
    board.requests.clear();
    NewTraceLines();
    uint8_t packet[5] = {1, 2, 2, 0x48, 9};
    int32_t length = 5;
    ASSERT_TRUE(device.EndpointAt(1)->XferData(packet, length));
    EXPECT_EQ(length, 5);
    const auto& r = board.requests.at(0);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.in, c.in);
    EXPECT_EQ(r.outLength, c.headerLength + 5);
    EXPECT_EQ(r.timeoutMs, 10000u);

    board.script.push_back(ScriptedAnswer{IoResult::kDone, {0x11, 0x22, 0x33}});
    uint8_t reply[64] = {};
    length = 58;
    ASSERT_TRUE(device.EndpointAt(8)->XferData(reply, length));
    EXPECT_EQ(length, 3);
    EXPECT_THAT(std::vector<uint8_t>(reply, reply + 3), ElementsAre(0x11, 0x22, 0x33));
    EXPECT_EQ(board.requests.back().in[13], 0x86);
    EXPECT_EQ(board.requests.back().outLength, c.headerLength + 58);
    EXPECT_THAT(NewTraceLines(), ElementsAre("usb ep=0x02 out 5/5 [01 02 02 48 09] ok",
                                             "usb ep=0x86 in 3/58 [11 22 33] ok"));
  }
  for (int i = 0; i < device.EndpointCount(); ++i) {
    EXPECT_EQ(Entry(i)->Mode(), TransferMode::kBuffered) << "entry " << i;
  }
}

TEST_F(UsbDeviceTest, ATimeOutAbortsTheEndpointAndTheNextTransferWorks) {
  ASSERT_TRUE(device.Open(0));
  NewTraceLines();
  board.script.push_back(ScriptedAnswer{IoResult::kTimeout});
  uint8_t reply[58] = {};
  int32_t length = 58;
  EXPECT_FALSE(device.EndpointAt(8)->XferData(reply, length));
  EXPECT_EQ(length, 0);
  EXPECT_EQ(Entry(8)->LastResult(), IoResult::kTimeout);
  uint8_t packet[3] = {0, 2, 0};
  length = 3;
  EXPECT_TRUE(device.EndpointAt(1)->XferData(packet, length));
  // On endpoint 0 as well.
  board.script.push_back(ScriptedAnswer{IoResult::kTimeout});
  EXPECT_FALSE(device.Reset8051(true));
  std::vector<std::string> lines = NewTraceLines();
  ASSERT_GE(lines.size(), 4u);
  lines.erase(lines.begin() + 3, lines.end() - 1);
  EXPECT_THAT(
      lines, ElementsAre("usb ep=0x86 in 0/58 [] timeout", "usb code=0x220044 out 1/1 [86] ok",
                         "usb ep=0x02 out 3/3 [00 02 00] ok", "usb code=0x220044 out 1/1 [00] ok"));
}

TEST_F(UsbDeviceTest, FailsOnAFailedRequestAStatusWordALongAnswerOrAnOversizedBlock) {
  board.driverVersion = 0x01000000;  // buffered, so status words come back
  ASSERT_TRUE(device.Open(0));
  uint8_t buffer[8] = {};
  int32_t length = 8;
  board.script.push_back(ScriptedAnswer{IoResult::kFailed});
  EXPECT_FALSE(device.EndpointAt(1)->XferData(buffer, length));
  EXPECT_EQ(length, 0);
  NewTraceLines();
  board.script.push_back(ScriptedAnswer{IoResult::kDone, {}, 0xC0000004});
  length = 8;
  EXPECT_FALSE(device.EndpointAt(1)->XferData(buffer, length));
  EXPECT_EQ(Entry(1)->Status(), 0xC0000004u);
  EXPECT_THAT(
      NewTraceLines(),
      ElementsAre("usb ep=0x02 out 8/8 [00 00 00 00 00 00 00 00] status=c0000004,00000000"));
  board.script.push_back(ScriptedAnswer{IoResult::kDone, std::vector<uint8_t>(4, 1)});
  length = 2;
  EXPECT_FALSE(device.EndpointAt(8)->XferData(buffer, length));
  EXPECT_EQ(length, 0);
  EXPECT_EQ(buffer[2], 0);  // nothing copied past what the caller asked for

  board.requests.clear();
  std::vector<uint8_t> big(kMaxBlockDataLength + 1);
  length = static_cast<int32_t>(big.size());
  EXPECT_FALSE(device.EndpointAt(1)->XferData(big.data(), length));
  length = -1;
  EXPECT_FALSE(device.EndpointAt(1)->XferData(big.data(), length));
  EXPECT_TRUE(board.requests.empty());
}

TEST(PacketTraceFormatTest, CutsTheBytesAfterTheLimitAndNeverOverrunsTheBuffer) {
  setenv("TZ", "UTC", 1);
  tzset();
  const timespec when{1796598508, 123456789};  // 2026-12-06 23:08:28.123456 UTC
  static char line[kTraceLineCapacity];
  const auto format = [&](const TraceRecord& record) {
    return std::string(line, FormatTraceLine(line, sizeof line, record, when));
  };
  std::vector<uint8_t> bytes(kTraceMaxBytes + 10, 0xAB);
  TraceRecord record;
  record.target = "ep=0x86";
  record.direction = "in";
  record.moved = record.asked = static_cast<uint32_t>(bytes.size());
  record.bytes = bytes.data();
  record.byteCount = bytes.size();
  record.result = TraceResult::kFailed;
  const std::string text = format(record);
  EXPECT_TRUE(text.starts_with("2026-12-06 23:08:28.123456 usb ep=0x86 in 4106/4106 [ab ab "));
  EXPECT_TRUE(text.ends_with(" ab ab ...] failed\n")) << text.substr(text.size() - 40);
  EXPECT_EQ(text.size(), 27 + std::string("usb ep=0x86 in 4106/4106 [").size() +
                             3 * kTraceMaxBytes - 1 + std::string(" ...] failed\n").size());
  char small[40];
  const size_t length = FormatTraceLine(small, sizeof small, record, timespec{0, 0});
  EXPECT_LT(length, sizeof small);
  EXPECT_EQ(small[length], '\0');
  // Both status words of a failed request.
  record.result = TraceResult::kStatus;
  record.byteCount = record.moved = 0;
  record.status = 0xC0000004;
  record.usbdStatus = 1;
  EXPECT_EQ(format(record),
            "2026-12-06 23:08:28.123456 usb ep=0x86 in 0/4106 [] status=c0000004,00000001\n");
  // A trace file that does not open leaves the trace off; off, nothing is written.
  SetTraceFileForTesting("/nonexistent-folder/trace.txt");
  EXPECT_FALSE(TraceEnabled());
  SetTraceFileForTesting(nullptr);
  EXPECT_FALSE(TraceEnabled());
  TraceTransfer(record);  // harmless
}

}  // namespace
}  // namespace dravik::usb
