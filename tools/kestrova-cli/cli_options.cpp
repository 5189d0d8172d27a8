#include "cli_options.hpp"

#include <algorithm>
#include <charconv>

namespace kestrova::cli {

namespace {

// Splits "--name=value"; `value` is empty when there is no "=".
bool SplitOption(std::string_view argument, std::string& name, std::optional<std::string>& value) {
  if (argument.size() < 3 || argument.substr(0, 2) != "--") {
    return false;
  }
  const std::size_t equals = argument.find('=');
  if (equals == std::string_view::npos) {
    name = std::string(argument);
    value.reset();
  } else {
    name = std::string(argument.substr(0, equals));
    value = std::string(argument.substr(equals + 1));
  }
  return true;
}

// Chip and raw-dialog bus addresses are at most 16 bits.
constexpr int kAddressDigits = 4;
constexpr std::uint32_t kLargestAddress = 0x7FFF;

}  // namespace

std::optional<std::uint32_t> ParseHexArgument(std::string_view text, int maxDigits) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
  }
  if (text.empty() || static_cast<int>(text.size()) > maxDigits) {
    return std::nullopt;
  }
  std::uint32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (ec != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::int64_t> ParseDecimalArgument(std::string_view text, std::int64_t low,
                                                 std::int64_t high) {
  if (text.empty() || text.front() == '+') {
    return std::nullopt;
  }
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
  if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

bool ParseCommandLine(const std::vector<std::string>& argv, CommandLine& line, std::string& error) {
  GlobalOptions& g = line.global;
  std::size_t i = 1;
  for (; i < argv.size(); ++i) {
    const std::string& argument = argv[i];
    if (argument == "-h" || argument == "--help") {
      g.help = true;
      continue;
    }
    std::string name;
    std::optional<std::string> value;
    if (!SplitOption(argument, name, value)) {
      break;  // the command word
    }
    auto takeValue = [&]() -> std::optional<std::string> {
      if (value) {
        return value;
      }
      if (i + 1 >= argv.size()) {
        error = name + " needs a value";
        return std::nullopt;
      }
      return argv[++i];
    };
    if (name == "--emulated-board" || name == "--json" || name == "--startup-writes") {
      if (value) {
        error = name + " takes no value";
        return false;
      }
      (name == "--json"             ? g.json
       : name == "--emulated-board" ? g.emulatedBoard
                                    : g.startupWrites) = true;
      continue;
    }
    if (name != "--home" && name != "--device" && name != "--definition" && name != "--link" &&
        name != "--address") {
      error = "unknown option " + name;
      return false;
    }
    const std::optional<std::string> text = takeValue();
    if (!text) {
      return false;
    }
    if (text->empty()) {
      error = name + " needs a value";
      return false;
    }
    if (name == "--home") {
      g.home = *text;
    } else if (name == "--device") {
      g.device = *text;
    } else if (name == "--definition") {
      g.definition = *text;
    } else if (name == "--link") {
      if (*text != "usb" && *text != "ich" && *text != "none") {
        error = "--link takes usb, ich or none, not \"" + *text + "\"";
        return false;
      }
      g.link = *text;
    } else {
      const auto address = ParseHexArgument(*text, kAddressDigits);
      if (!address || *address > kLargestAddress) {
        error = "--address takes a hexadecimal bus address (0 to 7FFF), not \"" + *text + "\"";
        return false;
      }
      g.address = static_cast<std::int16_t>(*address);
    }
  }
  if (g.device && g.definition) {
    error = "give --device or --definition, not both";
    return false;
  }
  if (i < argv.size()) {
    line.command = argv[i];
    line.arguments.assign(argv.begin() + static_cast<std::ptrdiff_t>(i) + 1, argv.end());
  }
  return true;
}

CommandArguments::CommandArguments(std::vector<std::string> flags, std::vector<std::string> valued)
    : flagNames_(std::move(flags)), valuedNames_(std::move(valued)) {}

bool CommandArguments::Parse(const std::vector<std::string>& arguments, std::string& error) {
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    std::string name;
    std::optional<std::string> value;
    if (optionsEnded || !SplitOption(argument, name, value)) {
      if (argument == "--") {
        optionsEnded = true;
        continue;
      }
      positional_.push_back(argument);
      continue;
    }
    const bool isFlag = std::find(flagNames_.begin(), flagNames_.end(), name) != flagNames_.end();
    const bool isValued =
        std::find(valuedNames_.begin(), valuedNames_.end(), name) != valuedNames_.end();
    if (isFlag) {
      if (value) {
        error = name + " takes no value";
        return false;
      }
      flags_.push_back(name);
    } else if (isValued) {
      if (!value) {
        if (i + 1 >= arguments.size()) {
          error = name + " needs a value";
          return false;
        }
        value = arguments[++i];
      }
      values_.emplace_back(name, *value);
    } else {
      error = "unknown option " + name;
      return false;
    }
  }
  return true;
}

bool CommandArguments::Flag(std::string_view name) const {
  return std::find(flags_.begin(), flags_.end(), name) != flags_.end();
}

std::optional<std::string> CommandArguments::Value(std::string_view name) const {
  std::optional<std::string> found;
  for (const auto& [key, value] : values_) {
    if (key == name) {
      found = value;  // the last one counts
    }
  }
  return found;
}

std::string UsageText() {
  return "usage: kestrova-cli [OPTIONS] COMMAND [ARGUMENTS]\n"
         "\n"
         "Options (before the command):\n"
         "  --home DIR          program folder (else $KESTROVA_HOME, else "
         "$XDG_DATA_HOME/kestrova)\n"
         "  --device NAME       a part definition in the program folder's device/ folder\n"
         "  --definition FILE   any part definition file\n"
         "  --link usb|ich|none hardware to use (default: the part settings' driverclass)\n"
         "  --emulated-board    use the emulated board and SMBus controller\n"
         "  --address HEX       chip bus address (default: part settings, else the definition)\n"
         "  --startup-writes    write the part's start-up registers on connecting\n"
         "  --json              print one JSON document\n"
         "\n"
         "Commands:\n"
         "  parts                              list the part definitions\n"
         "  check FILE...                      check definition files\n"
         "  read [REGISTER...]                 read and show registers and bit fields\n"
         "  write [--read-after-write] [--limit] FIELD=VALUE...\n"
         "                                     set bit fields (or 0xADDR=HEX bytes) and write\n"
         "  save FILE.dat                      save the register settings\n"
         "  load [--write] [--read-after-write] FILE.dat\n"
         "                                     load register settings (written with --write)\n"
         "  log FILE [--interval MS] [--count N] [--all]\n"
         "                                     log continuous reads (Ctrl-C stops)\n"
         "  raw read [--16] [--bus HEX] REG|none\n"
         "  raw write [--16] [--bus HEX] REG|none VALUE\n"
         "                                     one register at any bus address\n"
         "\n"
         "Exit status: 0 success, 1 transfer or file error, 2 bad usage.\n";
}

}  // namespace kestrova::cli
