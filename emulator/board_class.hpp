// The two classes of evaluation board the emulator can be: the full-speed
// EZ-USB board and the high-speed FX2-class board. They differ in what the
// library looks at: bcdUSB, the CPU control register and the download chunk.
#pragma once

#include <cstdint>

namespace kestrova::emulator {

enum class BoardClass { kFullSpeed, kHighSpeed };

struct BoardClassTraits {
  uint16_t bcdUsb;
  uint16_t cpuControlRegister;  // written through vendor request 0xA0
  uint32_t downloadChunk;       // bytes per 0xA0 request the library sends
  uint16_t bulkMaxPacket;       // wMaxPacketSize of the bulk endpoints
  uint16_t bootProductId;       // product ID of a board without identity EEPROM
};

constexpr uint16_t kBootVendorId = 0x04B4;

constexpr BoardClassTraits TraitsOf(BoardClass boardClass) {
  return boardClass == BoardClass::kFullSpeed ? BoardClassTraits{0x0110, 0x7F92, 512, 64, 0x2131}
                                              : BoardClassTraits{0x0200, 0xE600, 4096, 512, 0x8613};
}

}  // namespace kestrova::emulator
