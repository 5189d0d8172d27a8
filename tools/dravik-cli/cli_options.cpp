#include "cli_options.hpp"

#include <algorithm>
#include <cctype>

#include "command_line.hpp"
#include "dravik/dravik.h"
#include "number_text.hpp"
#include "tool_report.hpp"

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

constexpr const char* kBusHelp =
    "board, microwire, i2c, smbus, singlewire, stream, microwire4, spi, qx3test or a hex code";

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

// The texts of numbers, taken from the command line and checked by FinishOptions.
struct OptionTexts {
  std::string vendorId = "0";
  std::string productId = "0";
  std::string port = "0";
  std::string width = "8";
  std::string bus;
  std::string address;
  std::vector<std::string> words;  // the command's registers or assignments
};

bool FinishGlobal(const OptionTexts& texts, Options* options, std::string* error) {
  uint32_t number = 0;
  if (!Hex("vendor ID", texts.vendorId, kMaxId, &number, error)) {
    return false;
  }
  options->vendorId = static_cast<uint16_t>(number);
  if (!Hex("product ID", texts.productId, kMaxId, &number, error)) {
    return false;
  }
  options->productId = static_cast<uint16_t>(number);
  if (!Hex("port", texts.port, kMaxPort, &number, error)) {
    return false;
  }
  options->port = static_cast<uint8_t>(number);
  if (texts.width != "8" && texts.width != "16") {
    return Bad(error, "width", texts.width, "must be 8 or 16");
  }
  options->width = texts.width == "8" ? 8 : 16;
  if (options->usbDriverName.empty()) {
    return Bad(error, "driver name", "", "empty");
  }
  return true;
}

bool FinishTransfer(const std::string& command, const OptionTexts& texts, Options* options,
                    std::string* error) {
  if (!ParseBusType(texts.bus, &options->busType, &options->busName)) {
    return Bad(error, "bus type", texts.bus,
               "not a bus name (board, microwire, i2c, smbus, singlewire, stream, microwire4, "
               "spi, qx3test) or a hexadecimal code up to 0xff");
  }
  uint32_t address = 0;
  if (!Hex("device address", texts.address, kMaxDeviceAddress, &address, error)) {
    return false;
  }
  options->deviceAddress = static_cast<int16_t>(address);
  const std::vector<std::string>& rest = texts.words;
  if (command == "dump") {
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

// The options and commands; the texts of numbers are taken into `texts`.
void DefineCommandLine(CLI::App& app, Options& options, OptionTexts& texts) {
  kestrova::tools::ApplyCommonRules(app, "dravik-cli");
  app.description(
      "libdravik's five exports from the command line: USB evaluation boards, SMBus adapters, "
      "the emulated board. Numbers are hexadecimal (\"0x\" optional).");
  app.add_flag_callback(
      "--usb", [&options] { options.link = Link::kUsb; }, "the USB evaluation board (default)");
  app.add_option_function<std::string>(
         "--smbus",
         [&options](const std::string& device) {
           options.link = Link::kSmbus;
           options.smbusDevice = device;
         },
         "an SMBus adapter: its number (1), its path (/dev/i2c-1) or a driver name (i2c- "
         "reaches /dev/i2c-0); empty: the default")
      ->type_name("ADAPTER");
  app.add_flag("--emulated", options.emulated, "the emulated board and SMBus controller");
  app.add_flag("--bare-board", options.bareBoard,
               "the emulated board starts without firmware, as after plugging it in");
  app.add_option("--board", options.board,
                 "the USB board at this bus and port path (1-2.3, as dravik-cli list shows)")
      ->type_name("PORT");
  app.add_option("--vid", texts.vendorId, "the wanted board's vendor ID (default 0: any)")
      ->type_name("HEX");
  app.add_option("--pid", texts.productId, "the wanted board's product ID (default 0: any)")
      ->type_name("HEX");
  app.add_option("--firmware", options.firmwarePath,
                 "firmware image for a board without firmware (.bix)")
      ->type_name("PATH");
  app.add_flag("--force-firmware", options.forceFirmware,
               "download the firmware even when the board runs it");
  app.add_flag("--force", options.forceAddress,
               "SMBus: use chip addresses a kernel driver has claimed (as i2cget -f)");
  app.add_option("--driver", options.usbDriverName, "USB driver name (default dravik)")
      ->type_name("NAME");
  app.add_option("--port", texts.port, "port byte (default 0)")->type_name("HEX");
  app.add_option("--width", texts.width, "register width: 8, or 16 (high byte first)")
      ->type_name("8|16");
  app.add_flag("--json", options.json, "one JSON document instead of text");

  CLI::App* list = app.add_subcommand("list", "the I2C adapters and USB boards of this machine");
  list->alias("scan");
  app.add_subcommand("open", "open the board or adapter, report it, close it");
  const auto transfer = [&](const char* name, const char* help, const char* words,
                            const char* wordsHelp) {
    CLI::App* command = app.add_subcommand(name, help);
    command->add_option("BUS", texts.bus, kBusHelp)->required();
    command->add_option("ADDRESS", texts.address, "the chip's bus address")->required();
    if (words != nullptr) {
      command->add_option(words, texts.words, wordsHelp);
    }
    return command;
  };
  transfer("read", "read registers", "REGISTER",
           "a register or FIRST-LAST; ffff: no register address; 400 and above: board "
           "registers; for the stream bus a decimal byte count");
  CLI::App* write =
      transfer("write", "write registers", "REGISTER=VALUE", "a register and its value");
  write->add_flag("--verify", options.verify,
                  "read the registers back and compare (the USB board takes writes to an "
                  "absent chip without complaint)");
  transfer("dump", "read registers 0x00 to 0xff", nullptr, nullptr);
}

// The command and the checked numbers; false with *error set ("bad register
// 'zz': not a hexadecimal number").
bool FinishOptions(const CLI::App& app, const OptionTexts& texts, Options* options,
                   std::string* error) {
  if (!FinishGlobal(texts, options, error)) {
    return false;
  }
  const std::vector<CLI::App*> chosen = app.get_subcommands();
  if (chosen.empty()) {
    *error = "no command given (list, open, read, write or dump)";
    return false;
  }
  const std::string command = chosen.front()->get_name();
  if (command == "list") {
    options->action = Action::kList;
    return true;
  }
  if (command == "open") {
    options->action = Action::kOpen;
    return true;
  }
  return FinishTransfer(command, texts, options, error);
}

}  // namespace

std::optional<int> ParseCommandLine(int argc, const char* const* argv, Options& options,
                                    std::ostream& out, std::ostream& err) {
  CLI::App app;
  OptionTexts texts;
  DefineCommandLine(app, options, texts);
  if (const auto status = kestrova::tools::ParseCommandLine(app, argc, argv, out, err)) {
    return status;
  }
  std::string error;
  if (!FinishOptions(app, texts, &options, &error)) {
    return kestrova::tools::RefuseCommandLine(error, app.get_name(), err);
  }
  return std::nullopt;
}

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

}  // namespace dravik::cli
