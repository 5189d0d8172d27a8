#include "cli_options.hpp"

#include <algorithm>
#include <cctype>

#include "dravik/dravik.h"
#include "number_text.hpp"

namespace dravik::cli {
namespace {

constexpr uint32_t kMaxRegister = 0xFFFF;
constexpr uint32_t kMaxDeviceAddress = 0x7FFF;
constexpr uint32_t kMaxId = 0xFFFF;
constexpr uint32_t kMaxPort = 0xFF;
// The library's count is a signed 16-bit number.
constexpr std::size_t kMaxEntries = 32767;

struct BusName {
  const char* name;
  int16_t code;
};

constexpr BusName kBusNames[] = {
    {"board", BUS_BOARD},
    {"microwire", BUS_MICROWIRE},
    {"i2c", BUS_I2C},
    {"smbus", BUS_SMBUS},
    {"singlewire", BUS_SINGLEWIRE},
    {"stream", BUS_STREAM},
    {"microwire4", BUS_MICROWIRE4},
    {"spi", BUS_SPI},
    {"qx3test", BUS_QX3TEST},
};

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool Bad(std::string* error, const std::string& what, const std::string& text,
         const std::string& why) {
  *error = "bad " + what + " '" + text + "': " + why;
  return false;
}

bool Hex(const std::string& what, const std::string& text, uint32_t maximum, uint32_t* value,
         std::string* error) {
  std::string why;
  if (!ParseHex(text, maximum, value, &why)) {
    return Bad(error, what, text, why);
  }
  return true;
}

// REGISTER or FIRST-LAST, hexadecimal.
bool AddRegisters(const std::string& text, std::vector<uint16_t>* registers, std::string* error) {
  const std::size_t dash = text.find('-');
  uint32_t first = 0;
  uint32_t last = 0;
  if (dash == std::string::npos) {
    if (!Hex("register", text, kMaxRegister, &first, error)) {
      return false;
    }
    last = first;
  } else {
    std::string why;
    if (!ParseHex(text.substr(0, dash), kMaxRegister, &first, &why) ||
        !ParseHex(text.substr(dash + 1), kMaxRegister, &last, &why)) {
      return Bad(error, "register range", text, why);
    }
    if (last < first) {
      return Bad(error, "register range", text, "last register below the first");
    }
  }
  for (uint32_t r = first; r <= last; ++r) {
    if (registers->size() >= kMaxEntries) {
      return Bad(error, "register list", text, "more than 32767 registers");
    }
    registers->push_back(static_cast<uint16_t>(r));
  }
  return true;
}

// Options that take a value, and where it goes.
bool TakeOption(const std::string& name, const std::string& value, Options* options,
                std::string* error) {
  uint32_t number = 0;
  if (name == "--smbus") {
    options->link = Link::kSmbus;
    options->smbusDevice = value;
    return true;
  }
  if (name == "--driver") {
    if (value.empty()) {
      return Bad(error, "driver name", value, "empty");
    }
    options->usbDriverName = value;
    return true;
  }
  if (name == "--firmware") {
    if (value.empty()) {
      return Bad(error, "firmware path", value, "empty");
    }
    options->firmwarePath = value;
    return true;
  }
  if (name == "--vid") {
    if (!Hex("vendor ID", value, kMaxId, &number, error)) {
      return false;
    }
    options->vendorId = static_cast<uint16_t>(number);
    return true;
  }
  if (name == "--pid") {
    if (!Hex("product ID", value, kMaxId, &number, error)) {
      return false;
    }
    options->productId = static_cast<uint16_t>(number);
    return true;
  }
  if (name == "--port") {
    if (!Hex("port", value, kMaxPort, &number, error)) {
      return false;
    }
    options->port = static_cast<uint8_t>(number);
    return true;
  }
  if (name == "--width") {
    if (value != "8" && value != "16") {
      return Bad(error, "width", value, "must be 8 or 16");
    }
    options->width = value == "8" ? 8 : 16;
    return true;
  }
  *error = "unknown option '" + name + "'";
  return false;
}

bool IsValueOption(const std::string& name) {
  return name == "--smbus" || name == "--driver" || name == "--firmware" || name == "--vid" ||
         name == "--pid" || name == "--port" || name == "--width";
}

bool ParseAction(const std::vector<std::string>& words, Options* options, std::string* error) {
  if (words.empty()) {
    *error = "no command given (open, read, write or dump)";
    return false;
  }
  const std::string& command = words[0];
  if (command == "open") {
    if (words.size() != 1) {
      *error = "open takes no arguments";
      return false;
    }
    options->action = Action::kOpen;
    return true;
  }
  if (command != "read" && command != "write" && command != "dump") {
    *error = "unknown command '" + command + "' (open, read, write or dump)";
    return false;
  }
  if (words.size() < 3) {
    *error = command + " needs a bus type and a device address";
    return false;
  }
  if (!ParseBusType(words[1], &options->busType, &options->busName)) {
    return Bad(error, "bus type", words[1],
               "not a bus name (board, microwire, i2c, smbus, singlewire, stream, microwire4, "
               "spi, qx3test) or a hexadecimal code up to 0xff");
  }
  uint32_t address = 0;
  if (!Hex("device address", words[2], kMaxDeviceAddress, &address, error)) {
    return false;
  }
  options->deviceAddress = static_cast<int16_t>(address);
  const std::vector<std::string> rest(words.begin() + 3, words.end());

  if (command == "dump") {
    if (!rest.empty()) {
      *error = "dump takes only a bus type and a device address";
      return false;
    }
    options->action = Action::kDump;
    return true;
  }
  if (command == "read") {
    options->action = Action::kRead;
    if (options->busType == BUS_STREAM) {
      uint32_t count = 0;
      std::string why;
      if (rest.size() != 1) {
        *error = "read stream needs one byte count";
        return false;
      }
      if (!ParseDecimal(rest[0], 1, 1024, &count, &why)) {
        return Bad(error, "byte count", rest[0], why);
      }
      options->streamCount = static_cast<int>(count);
      return true;
    }
    if (rest.empty()) {
      *error = "read needs at least one register";
      return false;
    }
    for (const std::string& text : rest) {
      if (!AddRegisters(text, &options->registers, error)) {
        return false;
      }
    }
    return true;
  }
  options->action = Action::kWrite;
  if (rest.empty()) {
    *error = "write needs at least one REGISTER=VALUE";
    return false;
  }
  const uint32_t maxValue = options->width == 16 ? 0xFFFF : 0xFF;
  for (const std::string& text : rest) {
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) {
      return Bad(error, "write", text, "expected REGISTER=VALUE");
    }
    uint32_t reg = 0;
    uint32_t value = 0;
    if (!Hex("register", text.substr(0, equals), kMaxRegister, &reg, error) ||
        !Hex("value", text.substr(equals + 1), maxValue, &value, error)) {
      return false;
    }
    options->registers.push_back(static_cast<uint16_t>(reg));
    options->values.push_back(static_cast<uint16_t>(value));
  }
  return true;
}

}  // namespace

bool ParseBusType(const std::string& text, int16_t* busType, std::string* name) {
  const std::string lower = Lower(text);
  for (const BusName& bus : kBusNames) {
    if (lower == bus.name) {
      *busType = bus.code;
      *name = bus.name;
      return true;
    }
  }
  uint32_t code = 0;
  std::string why;
  if (!ParseHex(text, 0xFF, &code, &why)) {
    return false;
  }
  *busType = static_cast<int16_t>(code);
  *name = FormatHex(code, 2);
  for (const BusName& bus : kBusNames) {
    if (bus.code == *busType) {
      *name = bus.name;
    }
  }
  return true;
}

bool ParseCommandLine(const std::vector<std::string>& arguments, Options* options,
                      std::string* error) {
  std::vector<std::string> words;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument.rfind("--", 0) != 0) {
      words.push_back(argument);
      continue;
    }
    if (argument == "--help") {
      options->action = Action::kHelp;
      return true;
    }
    if (argument == "--usb") {
      options->link = Link::kUsb;
    } else if (argument == "--emulated") {
      options->emulated = true;
    } else if (argument == "--force-firmware") {
      options->forceFirmware = true;
    } else if (argument == "--json") {
      options->json = true;
    } else if (IsValueOption(argument)) {
      if (i + 1 >= arguments.size()) {
        *error = "option '" + argument + "' needs a value";
        return false;
      }
      if (!TakeOption(argument, arguments[++i], options, error)) {
        return false;
      }
    } else {
      *error = "unknown option '" + argument + "'";
      return false;
    }
  }
  // Values are checked against the width, which may come after them.
  if (!ParseAction(words, options, error)) {
    return false;
  }
  return true;
}

const char* UsageText() {
  return R"(usage: dravik-cli [options] COMMAND
Commands:
  open                              open the board or controller, report it, close it
  read BUS ADDRESS REGISTER...      read registers (REGISTER or FIRST-LAST, hex)
  read stream ADDRESS COUNT         read up to COUNT (decimal) bytes of a byte stream
  write BUS ADDRESS REGISTER=VALUE...
                                    write registers
  dump BUS ADDRESS                  read registers 0x00 to 0xff
BUS is board, microwire, i2c, smbus, singlewire, stream, microwire4, spi, qx3test
or a hex code; ADDRESS, REGISTER and VALUE are hex ("0x" optional); register
ffff means no register address; registers 400 and above are board registers.
Options:
  --usb                 the USB evaluation board (default)
  --smbus DEVICE        the SMBus controller: a path (/dev/i2c-1) or a driver
                        name (i2c- reaches /dev/i2c-0); empty: the default
  --emulated            the emulated board (and emulated controller)
  --vid HEX --pid HEX   the wanted board (default 0 0: the first board)
  --firmware PATH       firmware image for a board without firmware (.bix)
  --force-firmware      download the firmware even when the board runs it
  --driver NAME         USB driver name (default dravik)
  --port HEX            SMBus port byte (default 0)
  --width 8|16          register width (16: two bytes, high byte first)
  --json                JSON output
Exit status 0 on success, 1 with the reason on failure.
)";
}

}  // namespace dravik::cli
