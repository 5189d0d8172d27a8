#include "part_session.hpp"

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "adapter_diagnosis.hpp"
#include "definition/program_folder.hpp"
#include "emulated_board_state.hpp"
#include "engine/register_operations.hpp"
#include "frontend/text_encoding.hpp"

namespace kestrova::cli {

namespace fs = std::filesystem;

using tools::EmulatorSelected;

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
  messages_.explainBoardError = nullptr;
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
  // A part first opened here gets the window's default Manual.
  start.userGuide = frontend::InstalledUserGuide();
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
  SelectHardware(startOptions);
  store.SetRetryWait([](std::chrono::milliseconds) {});
  // A board message alone hides the cause (an address above 7F, a missing
  // adapter): the library's text follows it whatever test bit 4 says.
  session.connection.testFlags =
      static_cast<std::uint8_t>(startup.testFlags | engine::kTestLibraryErrorText);
  messages_.explainBoardError = [this](std::string_view message) { return Explain(message); };

  frontend::StartPolicy policy;
  policy.link = options_.link;
  policy.askHardware = false;
  policy.address = options_.address;
  policy.smbusAdapter = options_.smbus;
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
  if (!HardwareInUse()) {
    messages_.Warn(kNoHardwareNotice);
  }
  return messages_.HasErrors() ? kExitFailure : kExitOk;
}

void PartSession::SelectHardware(const frontend::StartOptions& startOptions) {
  frontend::SelectBoardDriver(startOptions);
  // The library reads these when it opens.
  if (EmulatorSelected()) {
    tools::KeepEmulatedBoardState(options_.bareBoard);
  }
  if (!options_.board.empty()) {
    ::setenv("DRAVIK_USB_BOARD", options_.board.c_str(), 1);
  }
  if (options_.force) {
    ::setenv("DRAVIK_SMBUS_FORCE", "1", 1);
    messages_.Warn(tools::kForceWarning);
  }
}

bool PartSession::HardwareInUse() const {
  return session.connection.deviceHandle != engine::kNoDevice;
}

bool PartSession::EmulatedController() const {
  return EmulatorSelected() && session.connection.driverName == engine::kDefaultSmbusDriver;
}

std::string PartSession::Explain(std::string_view message) {
  if (explained_ || session.connection.link != engine::kLinkSmbus || EmulatedController() ||
      message.substr(0, std::strlen(engine::kSmbusBoardError)) != engine::kSmbusBoardError) {
    return {};
  }
  explained_ = true;
  const std::string path = tools::SmbusDevicePath(session.connection.driverName);
  // Before the open succeeded the adapter itself is the question.
  return HardwareInUse() ? tools::DiagnoseAddress(path, session.connection.deviceAddress)
                         : tools::DiagnoseAdapter(path);
}

tools::Json PartSession::HardwareJson() const {
  const engine::ConnectionValues& c = session.connection;
  tools::Json hardware = tools::HardwareJson(LinkName(c.link), HardwareInUse());
  if (c.link == engine::kLinkNone) {
    return hardware;
  }
  hardware["emulated"] = EmulatorSelected() && (c.link == engine::kLinkUsb || EmulatedController());
  hardware["driver"] = session.connection.driverName;
  if (c.link == engine::kLinkSmbus && !EmulatedController()) {
    hardware["adapter"] = tools::SmbusDevicePath(session.connection.driverName);
  } else if (!options_.board.empty()) {
    hardware["port"] = options_.board;
  }
  return hardware;
}

void PartSession::Describe(tools::Json& body) const {
  const engine::ConnectionValues& c = session.connection;
  body["device"] = frontend::Latin1ToUtf8(deviceName);
  body["part"] = frontend::Latin1ToUtf8(info.partLabel);
  body["hardware"] = HardwareJson();
  body["busType"] = c.busType;
  body["address"] = c.deviceAddress == -1 ? tools::Json(nullptr) : tools::Json(c.deviceAddress);
}

}  // namespace kestrova::cli
