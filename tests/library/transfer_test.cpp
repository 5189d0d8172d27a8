// ReadDevice/WriteDevice on the USB link through the emulator's board (the
// scripted one for what a faithful board never does): the packets sent byte
// for byte, passes and chunks, streams, and every protocol message.
#include <gtest/gtest.h>

#include <sstream>

#include "library_fixture.hpp"

namespace dravik::testing {
namespace {

// The parts of "A / B / C"; none of "".
std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, '/');) {
    parts.push_back(part);
  }
  return parts;
}

// One call: "R|W BUS ADDRESS: REGISTERS [= DATA]" in hexadecimal, BUS the
// bus-type code; a write with nothing after "=" passes no data. Every call
// goes to port 0x77, which the board never sees.
struct Transfer {
  DeviceHandle handle;
  std::string call;
  Bytes data = {};
  int16_t size = 0;
  std::vector<int16_t> registers = {};

  uint8_t Run() {
    const std::size_t colon = call.find(':');
    const std::size_t equals = call.find('=');
    const std::vector<long> head = Numbers(call.substr(1, colon - 1));
    for (long r : Numbers(call.substr(colon + 1, equals - colon - 1))) {
      registers.push_back(static_cast<int16_t>(r));
    }
    size = static_cast<int16_t>(registers.size());
    const auto bus = static_cast<int16_t>(head[0]);
    const auto address = static_cast<int16_t>(head[1]);
    if (call[0] == 'W') {
      data = BytesOf(call.substr(equals + 1));
      return WriteDevice(handle, 0x77, bus, address, registers.data(),
                         data.empty() ? nullptr : data.data(), &size);
    }
    data.assign(registers.size(), 0xCC);
    return ReadDevice(handle, 0x77, bus, address, registers.data(), data.data(), &size);
  }
};

struct Case {
  const char* call;
  const char* packets;       // sent, " / " between packets; "*" any packet
  const char* outcome = "";  // a message, or the bytes a read returns
  int size = -1;             // a read's count afterwards (-1: as asked)
  const char* faults = "";   // armed on the emulator's board once it is open
  const char* stream = "";   // the bytes it streams
  // On the scripted board instead, for what a faithful board never does: the
  // interface's endpoints ("": none), its first one's attributes, the answer
  // to a read's response request.
  const char* endpoints = nullptr;
  uint8_t firstAttributes = 2;
  const char* answer = nullptr;
};

const char* const kShortRead = "ReadDevice: Wrong number of bytes returned";
const char* const kNotSent = "WriteDevice: Wrong number of bytes sent";

// The emulator's board is the fixture's bench: chip bytes hold their register
// number, board registers 400 to 40F hold B0 to BF.
const Case kCases[] = {
    {"R 2 48: 0 1 2", "00 02 04 48 00 01 02 03", "0 1 2"},
    {"W 2 48: 10 11 = AA BB", "01 02 03 48 10 11 02 AA BB"},
    {"W 4 7: 5 = 99", "01 04 02 07 05 01 99"},
    {"R 7 C8: 7F 80", "00 07 03 C8 7F 80 02", "FF FF"},
    {"R 0 48: 400 40F", "00 00 05 48 04 00 04 0F 02", "B0 BF"},  // board entries high byte first
    {"W 0 0: 401 = 7E", "01 00 03 00 04 01 01 7E"},
    {"W 1 48: 3 4 = 12 34", "01 01 00 02 12 34"},
    {"R 1 48: 3 4", "00 01 00 02", "FF FF"},
    {"W FF 0: 0 0 = 7 8", "01 FF 00 02 07 08"},
    {"R 2 48: -8000 -2 3FF", "00 02 04 48 00 FE FF 03", "0 FE FF"},  // negative: chip entries
    // Mixed lists: the chip pass, then the board pass; data back in list order.
    {"R 2 48: 400 5", "00 02 02 48 05 01 / 00 00 03 48 04 00 01", "B0 5"},
    {"R 7 3: 7 406 8 401", "00 07 03 03 07 08 02 / 00 00 05 03 04 06 04 01 02", "FF B6 FF B1"},
    {"W 2 48: 400 5 401 6 = A0 A1 A2 A3",
     "01 02 03 48 05 06 02 A1 A3 / 01 00 05 48 04 00 04 01 02 A0 A2"},
    {"W 2 48: 5 400 = B0 B1", "01 02 02 48 05 01 B0 / 01 00 03 48 04 00 01 B1"},
    // Chunks carry their share of registers and data; a write without data sends read requests.
    {"W 2 48: 10..37 = 80..A7", "01 02 1E 48 10..2C 1D 80..9C / 01 02 0C 48 2D..37 0B 9D..A7"},
    {"W 2 48: 3 400 4 =", "00 02 03 48 03 04 02 / 00 00 03 48 04 00 01"},
    {"W 2 48: 0..3A =", "", "WriteDevice: Read request > 58 registers"},
    {"R 2 48: 400..800", "", "ReadDevice: More than 1024 registers in one pass"},
    {"R 5 48: 400..800", "", "ReadDevice: More than 1024 registers in one pass"},
    {"W 0 0: 400..800 = 0..400", "", "WriteDevice: More than 1024 registers in one pass"},
    // The caller's buffer gets a pass when the whole of it came back.
    {"R 2 48: 0..3A", "* / *", "0..3A"},
    {"R 2 48: 0..3B", "* / *", kShortRead, -1, "short@2"},
    // "No register address" names the chip's registers only.
    {"W 2 50: -1 -1 = D0 D1", "01 02 01 50 02 D0 D1"},
    {"R 2 50: -1 -1 -1", "00 02 01 50 03", "0 0 0"},
    {"W 2 50: -1 400 = D0 D1", "01 02 01 50 01 D0 / 01 00 03 50 04 00 01 D1"},
    // Refusals before anything is sent.
    {"W 1 0: 10 11 12 = 1 2 3", "", "WriteDevice: Microwire datasize > 2"},
    {"R 1 0: 1 2 3", "", "WriteDevice: Microwire datasize > 2"},
    {"R FF 0: 0", "", "WriteDevice: QX3Test datasize < 2"},
    {"W 4 8: 1 = 1", "", "WriteDevice: Device Address too large"},
    {"W 4 7: 1 = 1", "01 04 02 07 01 01 01"},
    {"W 2 80: 1 = 1", "", "WriteDevice: Device Address too large"},
    {"R 2 7F: 1", "00 02 02 7F 01 01", "1"},
    {"R 4 -8: 1", "", "WriteDevice: Device Address too large"},
    {"W 7 C8: 1 = 1", "01 07 02 C8 01 01 01"},
    {"W 5 0: 0 = 1", "", "WriteDevice: Can't write buffer"},
    {"W 6 0: 1 = 1", "", "WriteDevice: Unrecongized Type"},
    {"R 3 0: 1", "", "WriteDevice: Unrecongized Type"},
    {"R 8 0: 1 2", "", "WriteDevice: Unrecongized Type"},
    {"W 100 0: 1 = 1", "", "WriteDevice: Unrecongized Type"},
    {"R -1 0: 1", "", "WriteDevice: Unrecongized Type"},
    // Replies of the wrong length, a chip that does not answer; the buffer stays untouched.
    {"R 2 48: 0 1 2", "*", kShortRead, -1, "short"},
    {"R 2 48: 0 1", "*", kShortRead, -1, "long"},
    {"R 2 49: 0 1", "*", kShortRead},
    // Streams: each response's first byte is one more than the data behind it.
    {"R 5 30: 0 0 0 0 0 0", "00 05 00 06", "A1 A2 A3 CC CC CC", 3, "", "A1 A2 A3"},
    {"R 5 30: 0 0 0 0 0", "00 05 00 05", "CC CC CC CC CC", 0},
    {"R 5 30: 0 0 0", "00 05 00 03 / 00 05 00 01", "11 22 CC", 2, "", "11 22"},
    {"R 5 0: 400 401", "00 05 00 02 / 00 05 00 01", "99 CC", 1, "", "99"},  // not split
    {"R 5 30: 0", "00 05 00 01",
     "ReadDevice: Stream response to a one-byte request carries no data"},
    {"R 5 30: 0 0 0", "*", kShortRead, -1, "short"},
    // A transfer that fails half-way: the board drops off the bus.
    {"R 2 48: 1", "*", kShortRead, -1, "disconnect@2"},
    {"W 2 48: 10..37 = 80..A7", "* / *", kNotSent, -1, "disconnect@2"},
    // Interfaces without the evaluation board's endpoints, answers against the stream's rule.
    {"R 2 48: 1", "*", kShortRead, -1, "", "", "2 4 6 8 82 84 88"},
    {"R 2 48: 1", "*", kShortRead, -1, "", "", "2 4 6 8 82 84 88 A"},
    {"W 2 48: 1 = 1", "", kNotSent, -1, "", "", ""},
    {"W 2 48: 1 = 1", "", kNotSent, -1, "", "", "81 4 6 8 82 84 88 86"},
    {"R 2 48: 1", "", kNotSent, -1, "", "", "2 4 6 8 82 84 88 86", 3},
    {"R 5 30: 0 0 0 0 0", "*", "ReadDevice: Stream length byte is 0", -1, "", "", nullptr, 2,
     "0 1 2 3 4"},
    {"R 5 30: 0 0 0 0 0", "*", "ReadDevice: Stream length byte > bytes requested", -1, "", "",
     nullptr, 2, "6 1 2 3 4"},
};

using TransferTest = LibraryTest;

TEST_F(TransferTest, SendsItsPacketsAndReturnsItsData) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.call);
    bench = std::make_unique<EmulatedBench>();
    board = usb::testing::FakeBoard();
    driverClass = &bench->emulator.UsbClass();
    if (c.endpoints != nullptr || c.answer != nullptr) {
      driverClass = &board;
      if (c.endpoints != nullptr) {
        board.configurations = {EvaluationConfiguration(BytesOf(c.endpoints), c.firstAttributes)};
      }
    }
    const DeviceHandle handle = OpenBoard();
    if (c.answer != nullptr) {
      board.script = {{}, {usb::IoResult::kDone, BytesOf(c.answer)}};
    }
    std::string error;
    ASSERT_TRUE(bench->emulator.ArmFaults(c.faults, &error)) << error;
    bench->emulator.GetBuses()->Stream().Push(BytesOf(c.stream));
    const std::string outcome = c.outcome;
    const bool fails = outcome.find("Device:") != std::string::npos;
    Transfer t{handle, c.call};
    EXPECT_EQ(t.Run(), fails ? 0 : 1) << LastError();
    if (fails) {
      EXPECT_EQ(LastError(), outcome);
    }
    std::vector<std::string> packets;
    for (const std::string& packet : Split(c.packets)) {
      packets.push_back(packet.find('*') != std::string::npos ? "*" : Hex(BytesOf(packet)));
    }
    std::vector<std::string> sent;
    for (const Bytes& packet : SentPackets()) {
      sent.push_back(sent.size() < packets.size() && packets[sent.size()] == "*" ? "*"
                                                                                 : Hex(packet));
    }
    EXPECT_EQ(sent, packets);
    if (c.call[0] == 'R') {
      EXPECT_EQ(Hex(t.data), Hex(fails ? Bytes(t.registers.size(), 0xCC) : BytesOf(outcome)));
      EXPECT_EQ(t.size, c.size < 0 ? static_cast<int>(t.registers.size()) : c.size);
    }
    CloseDevice(handle);
  }
}

// The count byte of every packet sent.
std::vector<int> PacketCounts(const std::vector<Bytes>& sent) {
  std::vector<int> counts;
  for (const Bytes& packet : sent) {
    counts.push_back(packet[3 + packet[2]]);
  }
  return counts;
}

TEST_F(TransferTest, ReadRequestsCarry58RegistersAndWritesSpend58BytesOfBudget) {
  std::vector<int> thousand(17, 58);
  thousand.push_back(1024 - 17 * 58);
  std::vector<int> twoPasses = thousand;  // the chip entries, then the board's
  twoPasses.insert(twoPasses.end(), thousand.begin(), thousand.end());
  const struct {
    const char* call;
    std::vector<int> counts;
  } cases[] = {
      {"R 2 48: 0..39", {58}},
      {"R 2 48: 0..3A", {58, 1}},
      {"R 2 48: 0..74", {58, 58, 1}},
      {"R 2 48: 0..3FF", thousand},
      {"R 2 48: 0..7FF", twoPasses},
      {"W 2 48: 0..39 = 0..39", {29, 29}},
      {"W 2 48: 0..74 = 0..74", {29, 29, 29, 29, 1}},
      {"W 0 48: 400..413 = 0..13", {19, 1}},
      {"R 0 48: 400..439", {58}},  // the longest packet
      {"R 5 48: 0..45", {58, 13}},
  };
  const DeviceHandle handle = OpenBoard();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.call);
    const bool stream = c.call[2] == '5';
    if (stream) {
      bench->emulator.GetBuses()->Stream().Push(BytesOf("0..38 F0 F1 F2"));
    }
    Transfer t{handle, c.call};
    ASSERT_EQ(t.Run(), 1) << LastError();
    EXPECT_EQ(PacketCounts(SentPackets()), c.counts);
    if (stream) {
      EXPECT_EQ(t.size, 60);
      EXPECT_EQ(Hex(Bytes(t.data.begin() + 55, t.data.begin() + 61)), "37 38 F0 F1 F2 CC");
    }
  }
}

}  // namespace
}  // namespace dravik::testing
