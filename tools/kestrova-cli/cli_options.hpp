#pragma once
// The command line: options common to every command (given before it), the
// command word, and the command's own arguments; strict number parsing.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::cli {

// Exit status of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // a transfer or file error
inline constexpr int kExitUsage = 2;    // bad usage or bad input

struct GlobalOptions {
  std::optional<std::string> home;
  std::optional<std::string> device;
  std::optional<std::string> definition;
  std::optional<std::string> link;  // "usb", "ich" or "none"
  bool emulatedBoard = false;
  std::optional<std::int16_t> address;
  bool json = false;
  bool startupWrites = false;  // write the part's start-up list on connecting
  bool help = false;
};

struct CommandLine {
  GlobalOptions global;
  std::string command;
  std::vector<std::string> arguments;
};

// Parses argv; false with `error` set on bad usage.
bool ParseCommandLine(const std::vector<std::string>& argv, CommandLine& line, std::string& error);

// The options and positional arguments of one command.
class CommandArguments {
 public:
  // `flags` take no value, `valued` take one ("--x V" or "--x=V").
  CommandArguments(std::vector<std::string> flags, std::vector<std::string> valued);
  bool Parse(const std::vector<std::string>& arguments, std::string& error);

  bool Flag(std::string_view name) const;
  std::optional<std::string> Value(std::string_view name) const;
  const std::vector<std::string>& Positional() const { return positional_; }

 private:
  std::vector<std::string> flagNames_;
  std::vector<std::string> valuedNames_;
  std::vector<std::string> flags_;
  std::vector<std::pair<std::string, std::string>> values_;
  std::vector<std::string> positional_;
};

// Hexadecimal with an optional "0x": 1 to `maxDigits` digits, nothing else.
std::optional<std::uint32_t> ParseHexArgument(std::string_view text, int maxDigits);
// A decimal whole number within [low, high], nothing else.
std::optional<std::int64_t> ParseDecimalArgument(std::string_view text, std::int64_t low,
                                                 std::int64_t high);

std::string UsageText();

}  // namespace kestrova::cli
