#include "cli_options.hpp"

#include <CLI/CLI.hpp>
#include <charconv>

#include "command_line.hpp"
#include "frontend/program_start.hpp"

namespace kestrova::cli {

namespace {

// Chip and raw-dialog bus addresses are at most 16 bits.
constexpr int kAddressDigits = 4;
constexpr std::uint32_t kLargestAddress = 0x7FFF;
constexpr const char* kProgram = "kestrova-cli";

// What CLI11 cannot say in the tool's words: the values of --link, --smbus
// (as the window refuses them) and --address, and the options that exclude
// each other. Empty when all is well.
std::string CheckGlobal(const CLI::App& app, const std::string& link, const std::string& address,
                        GlobalOptions& g) {
  if (app.count("--link") != 0) {
    g.link = link;
  }
  frontend::StartOptions shared;
  shared.link = g.link;
  shared.smbus = g.smbus;
  if (std::string problem = frontend::StartOptionsProblem(shared); !problem.empty()) {
    return problem;
  }
  if (app.count("--address") != 0) {
    const auto parsed = ParseHexArgument(address, kAddressDigits);
    if (!parsed || *parsed > kLargestAddress) {
      return "--address takes a hexadecimal bus address (0 to 7FFF), not \"" + address + "\"";
    }
    g.address = static_cast<std::int16_t>(*parsed);
  }
  if (g.device && g.definition) {
    return "give --device or --definition, not both";
  }
  for (const auto* value : {&g.home, &g.device, &g.definition}) {
    if (value->has_value() && (*value)->empty()) {
      return "an option needs a value that is not empty";
    }
  }
  return {};
}

void OptionalText(CLI::App& app, const char* name, std::optional<std::string>& target,
                  const char* help, const char* type) {
  app.add_option_function<std::string>(
         name, [&target](const std::string& value) { target = value; }, help)
      ->type_name(type);
}

}  // namespace

std::string_view WithoutHexPrefix(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
  }
  return text;
}

std::optional<std::uint32_t> ParseHexArgument(std::string_view text, int maxDigits) {
  text = WithoutHexPrefix(text);
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

std::optional<int> ParseCommandLine(int argc, const char* const* argv, CommandLine& line,
                                    std::ostream& out, std::ostream& err) {
  CLI::App app;
  tools::ApplyCommonRules(app, kProgram);
  app.description(
      "The register engine of Kestrova from the command line: a part's registers by title, "
      "bit-field label and engineering value, as its definition describes them.");
  app.require_subcommand(0, 1);
  GlobalOptions& g = line.global;
  std::string link;
  std::string address;
  OptionalText(app, "--home", g.home,
               "program folder (else $KESTROVA_HOME, else $XDG_DATA_HOME/kestrova)", "DIR");
  OptionalText(app, "--device", g.device, "a part definition in the program folder's device/",
               "NAME");
  OptionalText(app, "--definition", g.definition, "any part definition file", "FILE");
  app.add_option("--link", link, "hardware to use (default: the part settings' driverclass)")
      ->type_name("usb|ich|none");
  OptionalText(app, "--smbus", g.smbus,
               "the SMBus adapter for --link ich: its number (1), its path (/dev/i2c-1) or a "
               "driver name (default: part.def's smbusadapter, else the definition's)",
               "ADAPTER");
  app.add_option("--board", g.board,
                 "the USB board at this bus and port path (1-2.3, as dravik-cli list shows)")
      ->type_name("PORT");
  app.add_flag("--force", g.force,
               "SMBus: use a chip address a kernel driver has claimed (as i2cget -f)");
  app.add_flag("--emulated-board", g.emulatedBoard, "use the emulated board and SMBus controller");
  app.add_flag("--bare-board", g.bareBoard,
               "the emulated board starts without firmware, as after plugging it in");
  app.add_option("--address", address,
                 "chip bus address (default: the part settings', else the definition's)")
      ->type_name("HEX");
  app.add_flag("--startup-writes", g.startupWrites,
               "write the part's start-up registers on connecting");
  app.add_flag("--json", g.json, "print one JSON document");

  app.add_subcommand("parts", "list the part definitions");
  app.add_subcommand("check", "check definition files")
      ->add_option("FILE", line.words, "definition files")
      ->required();
  app.add_subcommand("read", "read and show registers and bit fields")
      ->add_option("REGISTER", line.words, "register titles, bit-field labels or addresses");
  CLI::App* write = app.add_subcommand("write", "set bit fields (or 0xADDR=HH bytes) and write");
  write->add_option("FIELD=VALUE", line.words, "a bit field and its value")->required();
  write->add_flag("--read-after-write", line.readAfterWrite, "read the part back afterwards");
  write->add_flag("--limit", line.limit, "limit values to the display range instead of refusing");
  app.add_subcommand("save", "save the register settings")
      ->add_option("FILE.dat", line.file, "register data file")
      ->required();
  CLI::App* load = app.add_subcommand("load", "load register settings (written with --write)");
  load->add_option("FILE.dat", line.file, "register data file")->required();
  load->add_flag("--write", line.write, "write the loaded settings to the part");
  load->add_flag("--read-after-write", line.readAfterWrite, "read the part back afterwards");
  CLI::App* log = app.add_subcommand("log", "log continuous reads (Ctrl-C stops)");
  log->add_option("FILE", line.file, "log file; - for standard output")->required();
  OptionalText(*log, "--interval", line.interval, "milliseconds between reads", "MS");
  OptionalText(*log, "--count", line.count, "rows to log, or none", "N|none");
  log->add_flag("--all", line.all, "read every register at each step");
  log->add_flag("--follow", line.follow, "also print each row on standard output as it is taken");
  CLI::App* raw = app.add_subcommand("raw", "one register at any bus address");
  raw->require_subcommand(0, 1);
  for (const char* operation : {"read", "write"}) {
    CLI::App* command = raw->add_subcommand(operation, std::string(operation) + " one register");
    command->add_option("REG", line.rawRegister, "register address in hexadecimal, or none")
        ->required();
    if (std::string_view(operation) == "write") {
      command->add_option("VALUE", line.rawValue, "value in hexadecimal")->required();
    }
    command->add_flag("--16", line.wide, "16 bits, high byte first");
    OptionalText(*command, "--bus", line.bus, "bus address (default: the chip's)", "HEX");
  }

  if (const auto status = tools::ParseCommandLine(app, argc, argv, out, err)) {
    return status;
  }
  std::string problem = CheckGlobal(app, link, address, g);
  const std::vector<CLI::App*> chosen = app.get_subcommands();
  if (problem.empty() && chosen.empty()) {
    problem = "no command given (parts, check, read, write, save, load, log or raw)";
  }
  if (!problem.empty()) {
    return tools::RefuseCommandLine(problem, kProgram, err);
  }
  line.command = chosen.front()->get_name();
  if (line.command == "raw") {
    if (chosen.front()->get_subcommands().empty()) {
      return tools::RefuseCommandLine("raw takes read or write", std::string(kProgram) + " raw",
                                      err);
    }
    line.rawOperation = chosen.front()->get_subcommands().front()->get_name();
  }
  return std::nullopt;
}

}  // namespace kestrova::cli
