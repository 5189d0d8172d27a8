#pragma once
// The command-line rules both tools share, on CLI11: `--version`; `-h` and
// `--help` on the tool and on every command (`read --help`); the tool's
// options also after the command word (`read --json`); a bad command line is
// one message line, a hint, and exit status 2.

#include <CLI/CLI.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace kestrova::tools {

// "kestrova-cli 0.1.0".
std::string VersionText(std::string_view tool);

// Sets the shared rules on a new app, before its options and commands. A
// command line without a command is the tool's to refuse, naming its commands.
void ApplyCommonRules(CLI::App& app, std::string_view tool);

// A bad command line: "tool: problem" and the hint naming `helpFor`'s help
// ("Try 'kestrova-cli raw --help'."), on `err`; returns exit status 2.
int RefuseCommandLine(std::string_view problem, std::string_view helpFor, std::ostream& err);

// Parses the command line. Empty when the command is to run; else the exit
// status, with help or the version printed on `out`, or the problem on `err`.
std::optional<int> ParseCommandLine(CLI::App& app, int argc, const char* const* argv,
                                    std::ostream& out, std::ostream& err);

}  // namespace kestrova::tools
