// The command line of dravik-cli (CLI11, the rules both tools share), parsed
// strictly into Options.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace dravik::cli {

enum class Link { kUsb, kSmbus };
enum class Action { kList, kOpen, kRead, kWrite, kDump };

struct Options {
  Link link = Link::kUsb;
  bool emulated = false;
  bool bareBoard = false;  // the emulated board starts without firmware
  std::string usbDriverName = "dravik";
  std::string smbusDevice;  // empty: the default controller
  std::string board;        // bus and port path of the wanted USB board; empty: the first
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  std::string firmwarePath;  // empty: none
  bool forceFirmware = false;
  bool forceAddress = false;  // chip addresses a kernel driver holds are used anyway
  uint8_t port = 0;
  bool json = false;
  int width = 8;  // register width in bits: 8 or 16

  Action action = Action::kOpen;
  int16_t busType = 2;
  std::string busName = "i2c";
  int16_t deviceAddress = 0;
  std::vector<uint16_t> registers;  // one per register, 0xffff = no register address
  std::vector<uint16_t> values;     // write: one per register
  int streamCount = 0;              // read of BUS_STREAM: bytes wanted
  bool verify = false;              // write: read the registers back and compare
};

// Parses argv (program name first) into `options`. Empty when the command is
// to run; else the exit status, with help or the version printed on `out`, or
// the problem and a hint on `err`.
std::optional<int> ParseCommandLine(int argc, const char* const* argv, Options& options,
                                    std::ostream& out, std::ostream& err);

// Bus type code of a name ("i2c") or a hex number ("2"); false when neither.
bool ParseBusType(const std::string& text, int16_t* busType, std::string* name);

}  // namespace dravik::cli
