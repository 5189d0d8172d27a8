#include "part_session.hpp"

#include <filesystem>

#include "definition/program_folder.hpp"
#include "frontend/text_encoding.hpp"

namespace kestrova::cli {

namespace fs = std::filesystem;

frontend::StartOptions StartOptionsOf(const GlobalOptions& options) {
  frontend::StartOptions start;
  start.home = options.home;
  start.device = options.device;
  start.link = options.link;
  start.emulatedBoard = options.emulatedBoard;
  return start;
}

std::string PrepareProgramFolder(const GlobalOptions& options, std::string& error) {
  return frontend::PrepareProgramFolder(StartOptionsOf(options), error);
}

PartSession::PartSession(const GlobalOptions& options, ConsoleFrontEnd& messages)
    : session(store, library, messages),
      start(session, messages, edit, nullptr, nullptr),
      options_(options),
      messages_(messages) {}

PartSession::~PartSession() {
  if (opened_ && session.connection.deviceHandle != engine::kNoDevice) {
    session.Bridge().CloseBoard(session.connection.deviceHandle);
  }
}

int PartSession::Open() {
  const frontend::StartOptions startOptions = StartOptionsOf(options_);
  std::string error;
  start.programFolder = frontend::PrepareProgramFolder(startOptions, error);
  if (start.programFolder.empty()) {
    messages_.Error(error);
    return kExitFailure;
  }
  // The window rewrites the startup file while it runs; the tool leaves it.
  const definition::StartupSettings startup = frontend::PeekStartupFile(start.programFolder);
  if (options_.definition) {
    start.chosenFile = fs::absolute(*options_.definition).lexically_normal().string();
    start.deviceName = definition::FileNameOf(start.chosenFile);
  } else {
    start.deviceName = options_.device ? *options_.device : startup.deviceName;
    if (start.deviceName.empty() || start.deviceName == definition::kNoDevice) {
      messages_.Error("no device chosen: give --device NAME or --definition FILE");
      return kExitUsage;
    }
    if (!definition::IsUsableDeviceName(start.deviceName)) {
      messages_.Error(definition::DeviceNameProblem(start.programFolder, start.deviceName));
      return kExitUsage;
    }
    const std::string file = definition::DeviceFilePath(start.programFolder, start.deviceName);
    std::error_code exists;
    if (!fs::is_regular_file(file, exists)) {
      messages_.Error("unknown device " + start.deviceName + ": no definition " + file +
                      " (kestrova-cli parts lists them)");
      return kExitUsage;
    }
  }
  if (const std::string problem =
          definition::DeviceNameProblem(start.programFolder, start.deviceName);
      !problem.empty()) {
    messages_.Error(problem);
    return kExitUsage;
  }
  frontend::SelectBoardDriver(startOptions);
  store.SetRetryWait([](std::chrono::milliseconds) {});
  session.connection.testFlags = startup.testFlags;

  frontend::StartPolicy policy;
  policy.link = options_.link;
  policy.askHardware = false;
  policy.address = options_.address;
  policy.showDefinitionProblems = false;
  policy.requirePart = true;
  policy.startupWrites = options_.startupWrites;
  policy.askForDataFile = false;
  const bool started = start.StartDevice(policy);
  opened_ = true;
  if (!startup.problem.empty()) {
    messages_.Warn(frontend::Latin1ToUtf8(startup.problem));
  }
  for (const std::string& problem : start.settingsProblems) {
    messages_.Warn(frontend::Latin1ToUtf8(problem));
  }
  for (const std::string& problem : start.definitionProblems) {
    messages_.Warn(frontend::Latin1ToUtf8(problem));
  }
  if (!started) {
    return start.Failure() == frontend::StartFailure::NoSuchHardware ? kExitUsage : kExitFailure;
  }
  return messages_.HasErrors() ? kExitFailure : kExitOk;
}

}  // namespace kestrova::cli
