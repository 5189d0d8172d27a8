#include "part_session.hpp"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "definition/checker.hpp"
#include "definition/numbers.hpp"
#include "definition/program_folder.hpp"
#include "definition/startup_file.hpp"
#include "engine/part_loader.hpp"
#include "engine/register_operations.hpp"
#include "markup/document_io.hpp"
#include "text_encoding.hpp"

namespace kestrova::cli {

namespace fs = std::filesystem;

namespace {

// The installed read-only data beside the program, else (build tree) the
// repository's data folder.
std::string SeedFolder() {
  const std::string executable = engine::ExecutableFolder();
  if (!executable.empty()) {
    const fs::path installed = fs::path(executable) / ".." / "share" / "kestrova";
    std::error_code error;
    if (fs::is_directory(installed / "device", error)) {
      return installed.lexically_normal().string();
    }
  }
  return KESTROVA_SEED_DIR;
}

// The test mask of the startup file, read without changing the file (the
// window rewrites it while it runs; the tool leaves it to the window).
std::uint8_t ReadTestFlags(const std::string& programFolder, std::string* startupDevice) {
  markup::MarkupStore startup;
  startup.SetRetryWait([](std::chrono::milliseconds) {});
  if (!startup.LoadMarkupFile(definition::StartupFilePath(programFolder)) ||
      !startup.FindElement(0, "definition")) {
    return 0;
  }
  if (startupDevice != nullptr) {
    *startupDevice = startup.GetAttribute("device");
  }
  const auto test = definition::ParseHex(startup.GetAttributeView("test"));
  return test && *test >= 0 && *test <= 0xFF ? static_cast<std::uint8_t>(*test) : 0;
}

}  // namespace

std::string LinkName(std::int16_t link) {
  switch (link) {
    case engine::kLinkUsb:
      return "usb";
    case engine::kLinkSmbus:
      return "ich";
    default:
      return "none";
  }
}

std::string PrepareProgramFolder(const GlobalOptions& options, std::string& error) {
  std::vector<std::string> arguments;
  if (options.home) {
    arguments = {"--home", *options.home};
  }
  const definition::ProgramFolderChoice choice = definition::ResolveProgramFolder(arguments);
  if (choice.path.empty()) {
    error = "no program folder: " + choice.error;
    return {};
  }
  const definition::SeedResult seed = definition::SeedProgramFolder(choice.path, SeedFolder());
  if (!seed.ok) {
    error = "cannot prepare the program folder " + choice.path + ": " + seed.error;
    return {};
  }
  return choice.path;
}

PartSession::PartSession(const GlobalOptions& options, ConsoleMessages& messages)
    : session(store, library, messages), options_(options), messages_(messages) {}

PartSession::~PartSession() {
  if (opened_ && session.connection.deviceHandle != engine::kNoDevice) {
    session.Bridge().CloseBoard(session.connection.deviceHandle);
  }
}

int PartSession::ChooseHardware(std::string& type) {
  const auto& hardware = info.hardware;
  if (options_.link) {
    const std::string& wanted = *options_.link;
    for (const engine::HardwareEntry& entry : hardware) {
      const bool matches = wanted == "none" ? engine::LinkFor(entry.type) == engine::kLinkNone
                                            : entry.type == wanted;
      if (matches) {
        type = entry.type;
        return kExitOk;
      }
    }
    if (wanted == "none") {
      type = "none";  // every part can run on its definition alone
      return kExitOk;
    }
    std::string offered;
    for (const engine::HardwareEntry& entry : hardware) {
      offered += (offered.empty() ? "" : ", ") + entry.type;
    }
    messages_.Error(deviceName + " offers no " + wanted + " hardware" +
                    (offered.empty() ? "" : " (it offers " + offered + ")"));
    return kExitUsage;
  }
  // The part settings' choice; a part never connected runs without hardware.
  for (const engine::HardwareEntry& entry : hardware) {
    if (entry.type == settings.driverClass) {
      type = entry.type;
      return kExitOk;
    }
  }
  type = "none";
  return kExitOk;
}

int PartSession::Open() {
  std::string error;
  programFolder = PrepareProgramFolder(options_, error);
  if (programFolder.empty()) {
    messages_.Error(error);
    return kExitFailure;
  }
  std::string startupDevice;
  const std::uint8_t testFlags = ReadTestFlags(programFolder, &startupDevice);
  if (options_.definition) {
    deviceFile = fs::absolute(*options_.definition).lexically_normal().string();
    deviceName = definition::FileNameOf(deviceFile);
  } else {
    deviceName = options_.device ? *options_.device : startupDevice;
    if (deviceName.empty() || deviceName == definition::kNoDevice) {
      messages_.Error("no device chosen: give --device NAME or --definition FILE");
      return kExitUsage;
    }
    if (!definition::IsUsableDeviceName(deviceName)) {
      messages_.Error("\"" + deviceName + "\" is not a device name");
      return kExitUsage;
    }
    deviceFile = definition::DeviceFilePath(programFolder, deviceName);
    std::error_code exists;
    if (!fs::is_regular_file(deviceFile, exists)) {
      messages_.Error("unknown device " + deviceName + ": no definition " + deviceFile +
                      " (kestrova-cli parts lists them)");
      return kExitUsage;
    }
  }
  if (!definition::IsUsableDeviceName(deviceName)) {
    messages_.Error("\"" + deviceName + "\" cannot name a device");
    return kExitUsage;
  }
  if (options_.emulatedBoard) {
    ::setenv("DRAVIK_EMULATOR", "1", 1);
  }

  workingFolder = definition::WorkingFolder(programFolder, deviceName);
  ::mkdir(workingFolder.c_str(), 0777);  // it may exist
  store.SetRetryWait([](std::chrono::milliseconds) {});
  settings = definition::LoadPartSettings(store, workingFolder, deviceName, messages_);
  if (messages_.HasErrors()) {
    return kExitFailure;
  }
  if (!markup::LoadDocument(store, deviceFile, messages_)) {
    return kExitFailure;
  }
  for (const std::string& problem : definition::CheckDefinition(store, deviceName)) {
    messages_.Warn(Latin1ToUtf8(problem));
  }
  info = engine::ReadPartConnectionInfo(store);
  if (!info.hasPart) {
    messages_.Error(deviceName + " has no part element");
    return kExitFailure;
  }
  if (const int status = ChooseHardware(hardwareType); status != kExitOk) {
    return status;
  }

  engine::ConnectionValues& c = session.connection;
  c.testFlags = testFlags;
  c.deviceFolder = workingFolder;
  session.OnPartOpened();
  const std::int16_t address = options_.address ? *options_.address : settings.interfaceAddr;
  const engine::ConnectionResult connection =
      engine::ConnectHardware(session, info, hardwareType, address, programFolder);
  opened_ = true;
  windowTitle = connection.windowTitle;
  if (!connection.opened) {
    return kExitFailure;
  }
  if (!engine::PreparePart(session)) {
    messages_.Error(deviceName + ": the start-up lists exceed 2049 entries");
    return kExitFailure;
  }
  if (options_.startupWrites &&
      (!engine::WritePendingList(session) || !engine::ReadPendingList(session))) {
    return kExitFailure;
  }
  return messages_.HasErrors() ? kExitFailure : kExitOk;
}

}  // namespace kestrova::cli
