#pragma once
// Opening a part, from the device's name to the panel standing: the part
// settings read, the definition loaded and checked, the hardware chosen and
// opened with the board's start-up writes, the chip address, the start-up
// lists, then the start-up writes and reads, the panel's pages, the plot
// selection and, without hardware, the offer of a register data file. A
// device file dialog comes first when no device is named, and again after
// "Another Device" or a connection that failed. Everything the user is asked
// goes through the FrontEnd; the window and kestrova-cli run the same steps.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "definition/part_settings.hpp"
#include "definition/startup_file.hpp"
#include "engine/connection.hpp"

namespace kestrova::engine {
class Session;
struct EditState;
}  // namespace kestrova::engine

namespace kestrova::continuous {
class PlotSelection;
struct ContinuousState;
}  // namespace kestrova::continuous

namespace kestrova::frontend {

class FrontEnd;
class PanelModel;

// How a front end answers what the steps would ask.
struct StartPolicy {
  // `--link`: this hardware without the hardware dialog.
  std::optional<std::string> link;
  // Without `link`: true shows the hardware dialog; false takes the entry
  // part.def remembers, else runs without hardware.
  bool askHardware = true;
  // The chip address instead of part.def's.
  std::optional<std::int16_t> address;
  // The SMBus adapter instead of part.def's `smbusadapter` (and the
  // definition's driver name).
  std::optional<std::string> smbusAdapter;
  // Problems of the definition and of part.def are shown in one message
  // each; else only kept.
  bool showDefinitionProblems = true;
  // A file without a `part` element ends the start (else an empty panel).
  bool requirePart = false;
  bool startupWrites = true;   // write and read the start-up lists
  bool askForDataFile = true;  // without hardware, offer a register data file
};

// Why a start ended without a part.
enum class StartFailure {
  None,
  Cancelled,             // a dialog was cancelled
  DefinitionUnreadable,  // the device file could not be read
  NoPart,                // the file has no `part` (requirePart)
  NoSuchHardware,        // `link` names hardware the part does not offer
  ConnectionFailed,      // the open or a board write failed, and no other device was chosen
  StartupListsTooLong,   // and no other device was chosen
  BadDeviceName,         // the name would put its working folder on the program folder's own
};

// The title of the device file dialog and its filter.
inline constexpr const char* kOpenDeviceTitle = "Open Device";
inline constexpr const char* kOpenDeviceFilter = "Device (*)|*";
// The question without hardware.
inline constexpr const char* kNoHardwarePrompt =
    "No Hardware Selected.\r\nLoad Register Data File?";

class DeviceStart {
 public:
  // `panel` and `plots` may be absent (a front end without them).
  DeviceStart(engine::Session& session, FrontEnd& frontEnd, engine::EditState& edit,
              PanelModel* panel, continuous::PlotSelection* plots);

  // The start-up loop. False when it ended without a part (Failure() says why).
  bool StartDevice(const StartPolicy& policy);
  // The device file dialog; on a choice the device is the chosen file.
  bool ChooseDeviceFile();

  StartFailure Failure() const { return failure_; }
  engine::Session& Session() { return session_; }
  FrontEnd& Front() { return frontEnd_; }
  engine::EditState& Edit() { return edit_; }

  // The "&Device" menu entry: continuous activity stops, pending changes and
  // register settings are offered, then the device file dialog; on a choice
  // the open device is closed (part settings saved) and the chosen one
  // started. True when nothing was chosen or the new part stands.
  bool OpenDeviceCommand(const StartPolicy& policy, bool saveRegOffered);
  // A choice in the chip-address drop-down (`IfaceAddrCombo`): the chip
  // address becomes the choice's value, and the part is read again from it.
  void ChooseChipAddress(int choice);

  // The state of the run, as the window keeps it.
  std::string programFolder;
  std::string deviceName{definition::kNoDevice};
  // The definition file; empty for the device folder's file of `deviceName`.
  std::string chosenFile;
  std::string deviceFile;
  std::string deviceFolder;  // the device's working folder
  std::string driverClass{"no"};
  std::string windowTitle;
  std::string userGuide;  // the installed user's guide, part.def's default manual
  definition::PartSettings settings;
  engine::PartConnectionInfo info;
  engine::ConnectionResult connection;
  std::vector<std::string> definitionProblems;
  // Values of part.def that could not be used (their defaults apply).
  std::vector<std::string> settingsProblems;
  // The read loop whose interval, log limit and file part.def sets, when
  // the front end has one.
  continuous::ContinuousState* continuousState = nullptr;

 private:
  enum class Step { Done, Again, Leave };
  Step OpenPart(const StartPolicy& policy);
  Step ChooseHardware(const StartPolicy& policy, std::string& type);
  Step ChooseAnotherDevice(StartFailure failure);
  void CompletePanel(const StartPolicy& policy);

  engine::Session& session_;
  FrontEnd& frontEnd_;
  engine::EditState& edit_;
  PanelModel* panel_;
  continuous::PlotSelection* plots_;
  StartFailure failure_ = StartFailure::None;
};

}  // namespace kestrova::frontend
