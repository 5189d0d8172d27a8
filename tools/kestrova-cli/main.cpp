// kestrova-cli: the register engine of Kestrova from the command line.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command_context.hpp"

namespace {

using namespace kestrova::cli;

int Dispatch(CommandContext& context) {
  const std::string& command = context.line.command;
  if (command == "parts") {
    return RunParts(context);
  }
  if (command == "check") {
    return RunCheck(context);
  }
  if (command == "read") {
    return RunRead(context);
  }
  if (command == "write") {
    return RunWrite(context);
  }
  if (command == "save") {
    return RunSave(context);
  }
  if (command == "load") {
    return RunLoad(context);
  }
  if (command == "log") {
    return RunLog(context);
  }
  if (command == "raw") {
    return RunRaw(context);
  }
  return context.Usage("unknown command \"" + command + "\" (kestrova-cli --help lists them)");
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv, argv + argc);
  CommandLine line;
  std::string error;
  ConsoleFrontEnd messages;
  if (!ParseCommandLine(arguments, line, error)) {
    messages.Error(error);
    std::fputs(UsageText().c_str(), stderr);
    return kExitUsage;
  }
  if (line.global.help || line.command == "help") {
    std::fputs(UsageText().c_str(), stdout);
    return kExitOk;
  }
  if (line.command.empty()) {
    std::fputs(UsageText().c_str(), stderr);
    return kExitUsage;
  }
  JsonWriter json;
  json.BeginObject();
  json.Member("command", line.command);
  CommandContext context{line, messages, json};
  int status = Dispatch(context);
  if (status == kExitOk && messages.HasErrors()) {
    status = kExitFailure;
  }
  if (line.global.json) {
    json.Member("ok", status == kExitOk);
    json.Key("errors");
    json.BeginArray();
    for (const std::string& text : messages.Errors()) {
      json.String(text);
    }
    json.EndArray();
    json.Key("warnings");
    json.BeginArray();
    for (const std::string& text : messages.Warnings()) {
      json.String(text);
    }
    json.EndArray();
    json.EndObject();
    std::fputs(json.Text().c_str(), stdout);
  }
  // Output that never arrived (a full disk, a closed pipe) is a failure too.
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    std::fprintf(stderr, "kestrova-cli: cannot write the output: %s\n", std::strerror(errno));
    return status == kExitOk ? kExitFailure : status;
  }
  return status;
}
