// The command line of dravik-cli, parsed strictly into Options.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dravik::cli {

enum class Link { kUsb, kSmbus };
enum class Action { kHelp, kOpen, kRead, kWrite, kDump };

struct Options {
  Link link = Link::kUsb;
  bool emulated = false;
  std::string usbDriverName = "dravik";
  std::string smbusDevice;  // empty: the default controller
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  std::string firmwarePath;  // empty: none
  bool forceFirmware = false;
  uint8_t port = 0;
  bool json = false;
  int width = 8;  // register width in bits: 8 or 16

  Action action = Action::kHelp;
  int16_t busType = 2;
  std::string busName = "i2c";
  int16_t deviceAddress = 0;
  std::vector<uint16_t> registers;  // one per register, 0xffff = no register address
  std::vector<uint16_t> values;     // write: one per register
  int streamCount = 0;              // read of BUS_STREAM: bytes wanted
};

// False with *error set ("bad register 'zz': not a hexadecimal number").
bool ParseCommandLine(const std::vector<std::string>& arguments, Options* options,
                      std::string* error);

// The usage text printed by --help.
const char* UsageText();

// Bus type code of a name ("i2c") or a hex number ("2"); false when neither.
bool ParseBusType(const std::string& text, int16_t* busType, std::string* name);

}  // namespace dravik::cli
