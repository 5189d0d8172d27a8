#include "emulator/firmware.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <memory>
#include <sstream>
#include <vector>

#include "emulator/register_chip.hpp"

namespace kestrova::emulator {
namespace {

std::vector<uint8_t> Hex(const std::string& text) {
  std::istringstream in(text);
  std::vector<uint8_t> bytes;
  for (std::string word; in >> word;) {
    bytes.push_back(static_cast<uint8_t>(std::strtoul(word.c_str(), nullptr, 16)));
  }
  return bytes;
}

std::vector<uint8_t> Bytes(const Response& response) {
  return {response.bytes.begin(), response.bytes.begin() + response.length};
}

std::shared_ptr<RegisterChip> Chip(std::vector<std::pair<uint16_t, uint8_t>> bytes,
                                   bool writable = true) {
  auto chip = std::make_shared<RegisterChip>();
  for (const auto& [address, value] : bytes) {
    chip->DefineField(address, address, 7, 0, value, writable || address != 0);
  }
  return chip;
}

class FirmwareTest : public ::testing::Test {
 protected:
  FirmwareTest() {
    // Register 0 of the I2C chip is 16 bits wide: its second byte is at 0x100.
    buses.I2c().Attach(0x48, Chip({{0, 0x10}, {1, 0x11}, {2, 0x12}, {3, 0x13}, {0x100, 0xA5}}));
    buses.SingleWire().Attach(7, Chip({{0x10, 0x3C}}));
    buses.Spi().Attach(200, Chip({{0x20, 0x5A}}));
    buses.Microwire().Attach(Chip({{0, 0x19}, {1, 0x80}}, false));
    buses.Qx3Test().Attach(Chip({{0x30, 0}, {0x31, 0}}), {0x30, 0x31, 0x32});
    buses.Stream().Push({1, 2, 3, 4, 5, 6, 7});
  }

  CommandResult Run(const std::string& packet, bool forceNak = false) {
    const std::vector<uint8_t> bytes = Hex(packet);
    return firmware.Execute(bytes.data(), bytes.size(), forceNak);
  }

  Buses buses;
  Firmware firmware{buses};
};

// Packets in order on one board; a write answers nothing, a read its bytes
// ("!": the chip did not acknowledge, nothing came back); a malformed packet
// is ignored without a response ("-" and the reason).
TEST_F(FirmwareTest, ExecutesEveryBusTypeOfCommandPacketAndIgnoresMalformedOnes) {
  struct Step {
    const char* packet;
    std::string response;  // "": no response
    bool forceNak = false;
  };
  const Step steps[] = {
      {"00 02 04 48 01 02 03 03", "11 12 13"},
      {"00 02 04 48 00 00 01 03", "10 A5 11"},  // equal bytes: one register, high byte first
      {"00 02 06 48 00 00 00 00 00 05", "10 A5 00 00 FF"},  // beyond four bytes: floating
      {"00 02 03 48 00 00 02", "10 A5"},
      {"01 02 03 48 02 03 02 55 66", ""},
      {"00 02 03 48 02 03 02", "55 66"},
      {"00 02 03 49 00 01 02", "!"},
      {"01 02 02 48 02 01 99", "!", true},
      {"00 02 02 48 02 01", "55"},
      {"01 02 01 48 02 01 77", ""},  // no register address: the pointer, then data
      {"00 02 01 48 01", "77"},
      {"00 04 02 07 10 01", "3C"},
      {"00 04 02 08 10 01", "!"},  // single-wire stops at address 7
      {"01 07 02 C8 20 01 01", ""},
      {"00 07 02 C8 20 01", "01"},
      {"00 07 03 C9 20 21 02", "FF FF"},  // no acknowledge on SPI: a floating line
      {"01 00 05 00 04 00 12 34 02 AB CD", ""},
      {"00 00 05 00 12 34 04 00 02", "CD AB"},
      {"00 00 03 00 34 12 01", "00"},
      {"00 00 01 00 02", "FF FF"},
      {"00 01 00 02", "19 80"},
      {"01 01 00 02 FF 42", ""},
      {"00 01 00 02", "19 42"},  // the first byte is read-only
      {"01 FF 00 02 01 02", ""},
      {"00 FF 00 04", "01 02 00 FF"},  // beyond its window
      {"00 05 00 04", "04 01 02 03"},  // a stream: length byte, data
      {"00 05 00 0A", "05 04 05 06 07 00 00 00 00 00"},
      {"00 05 00 03", "01 00 00"},
      {"00 02 02", "-packet shorter than 4 bytes"},
      {"02 02 01 48 01", "-unknown direction byte"},
      {"00 02 09 48 01", "-header runs past the packet"},
      {"01 02 02 48 00 02 11", "-packet length does not match its count"},
      {"00 02 03 48 00 01 01", "-header does not hold one register address per byte"},
      {"00 05 01 48 02", "-this bus takes no header"},
      {"01 05 00 01 11", "-the stream cannot be written"},
      {"00 03 02 48 00 01", "-unknown bus type"},
      {"00 06 00 01", "-unknown bus type"},
      {"00 01 00 41", "-read request larger than the response buffer"},
      {"00 01 00 00", "-empty transfer"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.packet);
    const CommandResult r = Run(s.packet, s.forceNak);
    const bool malformed = s.response.starts_with("-");
    EXPECT_EQ(r.accepted, !malformed);
    EXPECT_EQ(r.rejection, malformed ? s.response.substr(1) : "");
    EXPECT_EQ(r.hasResponse, !malformed && s.packet[1] == '0');
    EXPECT_EQ(r.nak, s.response == "!");
    EXPECT_EQ(Bytes(r.response), Hex(malformed || r.nak ? "" : s.response));
  }
  EXPECT_EQ(firmware.Naks(), 3u);
  EXPECT_EQ(firmware.PacketsRejected(), 11u);
  EXPECT_EQ(firmware.PacketsExecuted(), std::size(steps) - 11);
  buses.Stream().SetRepeat({0xAA, 0xBB});  // a stream that never ends fills every response
  EXPECT_EQ(Bytes(Run("00 05 00 06").response), Hex("06 AA BB AA BB AA"));
  std::string read = "00 02 3B 48";
  for (int i = 0; i < 58; ++i) {
    read += i % 2 ? " 00" : " 01";
  }
  EXPECT_EQ(Run(read + " 3A").response.length, 58u);
}

}  // namespace
}  // namespace kestrova::emulator
