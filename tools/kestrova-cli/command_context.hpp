#pragma once
// What every command gets: the parsed command line, the message lines on
// standard error, and the JSON document being built (written by main when
// --json is given; the schema both tools share).

#include <string>
#include <string_view>

#include "cli_options.hpp"
#include "console_front_end.hpp"
#include "tool_report.hpp"

namespace kestrova::cli {

struct CommandContext {
  const CommandLine& line;
  ConsoleFrontEnd& messages;
  tools::Report& report;

  bool Json() const { return line.global.json; }
  // The command's members of the JSON document.
  tools::Json& Body() { return report.Body(); }
  int Usage(std::string_view text) {
    messages.Error(text);
    return kExitUsage;
  }
};

int RunParts(CommandContext& context);
int RunCheck(CommandContext& context);
int RunRead(CommandContext& context);
int RunWrite(CommandContext& context);
int RunSave(CommandContext& context);
int RunLoad(CommandContext& context);
int RunLog(CommandContext& context);
int RunRaw(CommandContext& context);

}  // namespace kestrova::cli
