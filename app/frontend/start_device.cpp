#include "frontend/start_device.hpp"

#include <sys/stat.h>

#include "continuous/plot_log_lines.hpp"
#include "continuous/plot_selection.hpp"
#include "definition/checker.hpp"
#include "definition/numbers.hpp"
#include "definition/program_folder.hpp"
#include "engine/part_loader.hpp"
#include "engine/register_edit.hpp"
#include "engine/register_operations.hpp"
#include "engine/session.hpp"
#include "frontend/front_end.hpp"
#include "frontend/live_settings.hpp"
#include "frontend/panel_view.hpp"
#include "frontend/program_start.hpp"
#include "frontend/register_data_commands.hpp"
#include "markup/document_io.hpp"
#include "markup/markup_store.hpp"

namespace kestrova::frontend {

DeviceStart::DeviceStart(engine::Session& session, FrontEnd& frontEnd, engine::EditState& edit,
                         PanelModel* panel, continuous::PlotSelection* plots)
    : session_(session), frontEnd_(frontEnd), edit_(edit), panel_(panel), plots_(plots) {}

bool DeviceStart::ChooseDeviceFile() {
  std::string path = deviceFile;
  if (!frontEnd_.ShowFileDialog(kOpenDeviceFilter, kOpenDeviceTitle, path,
                                engine::kDialogFileMustExist | engine::kDialogNoChangeDir, false)) {
    return false;
  }
  // The chosen file itself opens, wherever it lies; its name names the
  // device and its working folder.
  deviceName = definition::FileNameOf(path);
  chosenFile = path;
  return true;
}

DeviceStart::Step DeviceStart::ChooseAnotherDevice(StartFailure failure) {
  if (ChooseDeviceFile()) {
    return Step::Again;
  }
  failure_ = failure;
  return Step::Leave;
}

DeviceStart::Step DeviceStart::ChooseHardware(const StartPolicy& policy, std::string& type) {
  const std::vector<engine::HardwareEntry>& hardware = info.hardware;
  if (policy.link) {
    const auto picked = HardwareForLink(hardware, *policy.link);
    if (!picked) {
      frontEnd_.Show(NoSuchHardwareText(deviceName, hardware, *policy.link), markup::MB_OK);
      failure_ = StartFailure::NoSuchHardware;
      return Step::Leave;
    }
    type = *picked;
    return Step::Done;
  }
  type = std::string(kLinkNone);
  if (hardware.empty()) {
    return Step::Done;
  }
  if (!policy.askHardware) {
    // The hardware last used, when the part still offers it.
    for (const engine::HardwareEntry& entry : hardware) {
      if (entry.type == driverClass) {
        type = entry.type;
      }
    }
    return Step::Done;
  }
  std::vector<std::string> captions;
  for (const engine::HardwareEntry& entry : hardware) {
    captions.push_back(windowTitle + " " + entry.label);
  }
  const int choice = frontEnd_.ChooseHardware(windowTitle, captions,
                                              engine::ChooseHardwareEntry(hardware, driverClass));
  if (choice < 0 || choice >= static_cast<int>(hardware.size())) {
    return ChooseAnotherDevice(StartFailure::Cancelled);
  }
  type = hardware[static_cast<std::size_t>(choice)].type;
  return Step::Done;
}

DeviceStart::Step DeviceStart::OpenPart(const StartPolicy& policy) {
  markup::MarkupStore& store = session_.Store();
  if (const std::string problem = definition::DeviceNameProblem(programFolder, deviceName);
      !problem.empty()) {
    frontEnd_.Show(problem, markup::MB_OK);
    failure_ = StartFailure::BadDeviceName;
    return Step::Leave;
  }
  deviceFolder = definition::WorkingFolder(programFolder, deviceName);
  ::mkdir(deviceFolder.c_str(), 0777);  // it may exist
  deviceFile =
      chosenFile.empty() ? definition::DeviceFilePath(programFolder, deviceName) : chosenFile;
  settings = definition::LoadPartSettings(store, deviceFolder, deviceName, frontEnd_, userGuide,
                                          &settingsProblems);
  if (policy.showDefinitionProblems && !settingsProblems.empty()) {
    std::string message = "Some part settings cannot be used; their defaults apply:";
    for (const std::string& problem : settingsProblems) {
      message += "\r\n" + problem;
    }
    frontEnd_.Show(message, markup::MB_OK);
  }
  driverClass = settings.driverClass;
  ApplyPartSettings(settings, session_, edit_, continuousState);
  session_.startupWriteList = engine::StartupList{};
  session_.startupReadList = engine::StartupList{};

  if (policy.showDefinitionProblems) {
    const definition::DefinitionLoad load =
        definition::LoadDefinition(store, deviceFile, frontEnd_);
    if (!load.loaded) {
      failure_ = StartFailure::DefinitionUnreadable;
      return Step::Leave;
    }
    definitionProblems = load.problems;
  } else {
    if (!markup::LoadDocument(store, deviceFile, frontEnd_)) {
      failure_ = StartFailure::DefinitionUnreadable;
      return Step::Leave;
    }
    definitionProblems = definition::CheckDefinition(store, deviceName);
  }
  // Another part: nothing of the last one's bytes or pending changes applies.
  session_.images = engine::RegisterImages{};
  session_.OnPartOpened();
  engine::ConnectionValues& c = session_.connection;
  c.deviceFolder = deviceFolder;
  info = engine::ReadPartConnectionInfo(store);
  if (!info.hasPart) {
    if (policy.requirePart) {
      frontEnd_.Show(deviceName + " has no part element", markup::MB_OK);
      failure_ = StartFailure::NoPart;
      return Step::Leave;
    }
    c.link = engine::kLinkNone;
    c.deviceHandle = engine::kNoDevice;
    return Step::Done;  // an empty panel, no hardware work
  }
  windowTitle = info.partLabel;
  frontEnd_.SetWindowTitle(windowTitle);

  std::string type;
  if (const Step step = ChooseHardware(policy, type); step != Step::Done) {
    return step;
  }
  driverClass = type;
  for (const engine::HardwareEntry& entry : info.hardware) {
    if (entry.type == type) {
      windowTitle = info.partLabel + " " + entry.label;
      break;
    }
  }
  frontEnd_.SetWindowTitle(windowTitle);
  frontEnd_.ShowSplash("Searching for " + windowTitle + "...");
  frontEnd_.ProcessEvents();

  connection = engine::ConnectHardware(
      session_, info, driverClass, policy.address.value_or(settings.interfaceAddr), programFolder,
      policy.smbusAdapter.value_or(settings.smbusAdapter));
  if (!connection.opened) {
    frontEnd_.ProcessEvents();
    return ChooseAnotherDevice(StartFailure::ConnectionFailed);
  }
  if (!engine::PreparePart(session_)) {
    frontEnd_.Show(deviceName + ": the start-up lists exceed 2049 entries", markup::MB_OK);
    session_.Bridge().CloseBoard(c.deviceHandle);
    c.deviceHandle = engine::kNoDevice;
    return ChooseAnotherDevice(StartFailure::StartupListsTooLong);
  }
  return Step::Done;
}

void DeviceStart::CompletePanel(const StartPolicy& policy) {
  if (policy.startupWrites && engine::WritePendingList(session_)) {
    engine::ReadPendingList(session_);
  }
  if (panel_ != nullptr && !panel_->Load(deviceName)) {
    frontEnd_.Show(panel_->Problem(), markup::MB_OK);
  }
  if (plots_ != nullptr) {
    plots_->SetPart(deviceFolder, continuous::PlotLogLines(session_));
    plots_->RestorePlotSettings();
  }
  if (panel_ != nullptr) {
    frontEnd_.ShowPanelTabs();
  }
  frontEnd_.HideSplash();
  if (policy.askForDataFile && engine::IsNoHardwareBus(session_.connection.busType) &&
      frontEnd_.Show(kNoHardwarePrompt, markup::MB_YESNO) == markup::IDYES) {
    OpenRegCommand(*this, true);
  }
}

bool DeviceStart::OpenDeviceCommand(const StartPolicy& policy, bool saveRegOffered) {
  frontEnd_.StopContinuous();
  engine::PendingWritePrompt(session_, edit_);
  SaveSettingsPrompt(*this, saveRegOffered);
  if (!ChooseDeviceFile()) {
    return true;
  }
  engine::CloseCurrentDevice(session_);
  session_.connection.deviceHandle = engine::kNoDevice;
  return StartDevice(policy);
}

void DeviceStart::ChooseChipAddress(int choice) {
  if (choice < 0 || choice >= static_cast<int>(info.addressChoices.size())) {
    return;
  }
  const auto value = definition::ParseHex(info.addressChoices[static_cast<std::size_t>(choice)]);
  if (!value) {
    return;
  }
  session_.connection.deviceAddress = static_cast<std::int16_t>(*value);
  settings.interfaceAddr = session_.connection.deviceAddress;
  engine::ResyncRegisters(session_, edit_);
}

bool DeviceStart::StartDevice(const StartPolicy& policy) {
  failure_ = StartFailure::None;
  deviceFile =
      chosenFile.empty() ? definition::DeviceFilePath(programFolder, deviceName) : chosenFile;
  for (;;) {
    if (deviceName == definition::kNoDevice) {
      if (ChooseDeviceFile()) {
        continue;
      }
      failure_ = StartFailure::Cancelled;
      break;
    }
    const Step step = OpenPart(policy);
    if (step == Step::Done) {
      CompletePanel(policy);
      return true;
    }
    if (step == Step::Leave) {
      break;
    }
  }
  frontEnd_.HideSplash();
  return false;
}

}  // namespace kestrova::frontend
