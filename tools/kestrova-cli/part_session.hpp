#pragma once
// One run of the engine on one part, as the window's start-up makes it: the
// program folder chosen and seeded, the part settings read, the definition
// loaded and checked, the hardware opened, the start-up lists collected.
// Closing the session closes the board.

#include <cstdint>
#include <string>

#include "cli_options.hpp"
#include "console_messages.hpp"
#include "definition/part_settings.hpp"
#include "engine/connection.hpp"
#include "engine/library_binding.hpp"
#include "engine/register_edit.hpp"
#include "engine/session.hpp"
#include "markup/markup_store.hpp"

namespace kestrova::cli {

// The program folder from the options and the environment, seeded on first
// use from the installed data (or, in the build tree, the repository's data).
// Empty with `error` set when none can be had.
std::string PrepareProgramFolder(const GlobalOptions& options, std::string& error);

class PartSession {
 public:
  PartSession(const GlobalOptions& options, ConsoleMessages& messages);
  ~PartSession();
  PartSession(const PartSession&) = delete;
  PartSession& operator=(const PartSession&) = delete;

  // Opens the part. On failure the exit status to use (kExitUsage for a bad
  // choice, kExitFailure for a file or board failure); kExitOk on success.
  int Open();

  markup::MarkupStore store;
  engine::LibraryBinding library;
  engine::Session session;
  engine::EditState edit;
  engine::PartConnectionInfo info;
  definition::PartSettings settings;
  std::string programFolder;
  std::string deviceName;
  std::string deviceFile;
  std::string workingFolder;
  std::string hardwareType;  // the chosen hardware entry's type
  std::string windowTitle;

 private:
  int ChooseHardware(std::string& type);

  const GlobalOptions& options_;
  ConsoleMessages& messages_;
  bool opened_ = false;
};

// "usb", "ich" or "none" for the session's link.
std::string LinkName(std::int16_t link);

}  // namespace kestrova::cli
