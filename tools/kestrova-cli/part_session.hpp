#pragma once
// One run of the engine on one part, opened by the same start-up steps as
// the window's, answered without dialogs: --link picks the hardware (else
// part.def's, else none), the definition's problems become warnings, and
// the startup file is left as it is. Closing the session closes the board.

#include <cstdint>
#include <string>

#include "cli_options.hpp"
#include "console_front_end.hpp"
#include "engine/library_binding.hpp"
#include "engine/register_edit.hpp"
#include "engine/session.hpp"
#include "frontend/program_start.hpp"
#include "frontend/start_device.hpp"
#include "markup/markup_store.hpp"
#include "tool_report.hpp"

namespace kestrova::cli {

// Said once per command when no hardware is open: nothing printed is measured.
inline constexpr const char* kNoHardwareNotice =
    "no hardware in use (link none): the values come from the part definition, not from a chip";

// The options every front end shares, from the command line.
frontend::StartOptions StartOptionsOf(const GlobalOptions& options);

// The program folder (frontend::PrepareProgramFolder) of the options.
std::string PrepareProgramFolder(const GlobalOptions& options, std::string& error);

class PartSession {
 public:
  PartSession(const GlobalOptions& options, ConsoleFrontEnd& messages);
  ~PartSession();
  PartSession(const PartSession&) = delete;
  PartSession& operator=(const PartSession&) = delete;

  // Opens the part. On failure the exit status to use (kExitUsage for a bad
  // choice, kExitFailure for a file or board failure); kExitOk on success.
  int Open();

  // What the command ran on, in the JSON document: "device", "part",
  // "hardware" (link, whether any is in use, the adapter or board),
  // "busType" and "address".
  void Describe(tools::Json& body) const;
  bool HardwareInUse() const;

  markup::MarkupStore store;
  engine::LibraryBinding library;
  engine::Session session;
  engine::EditState edit;
  frontend::DeviceStart start;
  // What the start found, for the commands.
  const definition::PartSettings& settings = start.settings;
  const engine::PartConnectionInfo& info = start.info;
  const std::string& deviceName = start.deviceName;

 private:
  // --board, --force, --bare-board and the emulated board, for the library.
  void SelectHardware(const frontend::StartOptions& startOptions);
  bool EmulatedController() const;
  tools::Json HardwareJson() const;
  // Why an SMBus board message came (the adapter, a kernel driver holding
  // the address); said once, empty when nothing is found.
  std::string Explain(std::string_view message);

  const GlobalOptions& options_;
  ConsoleFrontEnd& messages_;
  bool opened_ = false;
  bool explained_ = false;
};

using frontend::LinkName;

}  // namespace kestrova::cli
