#pragma once
// What every command gets: the parsed command line, the message lines on
// standard error, and the JSON document being built (written by main when
// --json is given).

#include <string>
#include <string_view>

#include "cli_options.hpp"
#include "console_front_end.hpp"
#include "json_writer.hpp"

namespace kestrova::cli {

struct CommandContext {
  const CommandLine& line;
  ConsoleFrontEnd& messages;
  JsonWriter& json;  // an object is open; commands add members

  bool Json() const { return line.global.json; }
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
