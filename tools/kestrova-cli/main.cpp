// kestrova-cli: the register engine of Kestrova from the command line.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

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
  return RunRaw(context);
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine line;
  if (const auto status = ParseCommandLine(argc, argv, line, std::cout, std::cerr)) {
    return *status;
  }
  ConsoleFrontEnd messages;
  kestrova::tools::Report report("kestrova-cli", line.command);
  CommandContext context{line, messages, report};
  int status = Dispatch(context);
  if (status == kExitOk && messages.HasErrors()) {
    status = kExitFailure;
  }
  if (line.global.json) {
    for (const std::string& text : messages.Errors()) {
      report.Error(text);
    }
    for (const std::string& text : messages.Warnings()) {
      report.Warn(text);
    }
    std::fputs(report.Document(status == kExitOk).c_str(), stdout);
  }
  // Output that never arrived (a full disk, a closed pipe) is a failure too.
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    std::fprintf(stderr, "kestrova-cli: cannot write the output: %s\n", std::strerror(errno));
    return status == kExitOk ? kExitFailure : status;
  }
  return status;
}
