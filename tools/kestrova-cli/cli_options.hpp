#pragma once
// The command line (CLI11, the rules both tools share): the tool's options,
// before or after the command word, the command and its own options and
// arguments; strict number parsing.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tool_report.hpp"

namespace kestrova::cli {

using tools::kExitFailure;
using tools::kExitOk;
using tools::kExitUsage;

struct GlobalOptions {
  std::optional<std::string> home;
  std::optional<std::string> device;
  std::optional<std::string> definition;
  std::optional<std::string> link;  // "usb", "ich" or "none"
  bool emulatedBoard = false;
  bool bareBoard = false;  // the emulated board starts without firmware
  std::optional<std::int16_t> address;
  // The SMBus adapter instead of part.def's or the definition's driver name:
  // a number ("1"), a path ("/dev/i2c-1") or a driver name.
  std::optional<std::string> smbus;
  std::string board;   // bus and port path of the USB board; empty: the first
  bool force = false;  // chip addresses a kernel driver holds are used anyway
  bool json = false;
  bool startupWrites = false;  // write the part's start-up list on connecting
};

struct CommandLine {
  GlobalOptions global;
  std::string command;  // "read", ..., "raw"
  // Positional words: register names (read), assignments (write), files (check).
  std::vector<std::string> words;
  std::string file;  // save, load, log ("-": standard output)
  bool readAfterWrite = false;
  bool limit = false;
  bool write = false;   // load --write
  bool all = false;     // log --all
  bool follow = false;  // log --follow
  std::optional<std::string> interval;
  std::optional<std::string> count;
  // raw
  std::string rawOperation;  // "read" or "write"
  std::string rawRegister;
  std::string rawValue;
  bool wide = false;
  std::optional<std::string> bus;
};

// Parses argv (program name first). Empty when the command is to run; else
// the exit status, with help or the version printed on `out`, or the
// problem on `err`.
std::optional<int> ParseCommandLine(int argc, const char* const* argv, CommandLine& line,
                                    std::ostream& out, std::ostream& err);

// A hexadecimal argument without its optional "0x".
std::string_view WithoutHexPrefix(std::string_view text);
// Hexadecimal with an optional "0x": 1 to `maxDigits` digits, nothing else.
std::optional<std::uint32_t> ParseHexArgument(std::string_view text, int maxDigits);
// A decimal whole number within [low, high], nothing else.
std::optional<std::int64_t> ParseDecimalArgument(std::string_view text, std::int64_t low,
                                                 std::int64_t high);

}  // namespace kestrova::cli
