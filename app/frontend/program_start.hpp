#pragma once
// The start of a front end: the options the window and kestrova-cli share
// (`--home DIR`, `--device NAME`, `--emulated-board`, `--link usb|ich|none`,
// `--smbus ADAPTER`)
// and what they mean, the program folder chosen and seeded, and the startup
// file read at start and written back at an orderly end.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "definition/startup_file.hpp"
#include "engine/connection.hpp"

namespace kestrova::markup {
class MarkupStore;
class MessageBox;
}  // namespace kestrova::markup

namespace kestrova::frontend {

// The `--link` words, and the hardware each picks.
inline constexpr std::string_view kLinkUsb = "usb";
inline constexpr std::string_view kLinkSmbus = "ich";
inline constexpr std::string_view kLinkNone = "none";

struct StartOptions {
  std::optional<std::string> home;    // the program folder, before $KESTROVA_HOME and XDG
  std::optional<std::string> device;  // this part instead of the startup file's
  std::optional<std::string> link;    // this hardware entry, without the hardware dialog
  bool emulatedBoard = false;         // the library drives the emulated board
  // The SMBus adapter instead of part.def's or the definition's driver name:
  // a number ("1"), a path ("/dev/i2c-1") or a driver name.
  std::optional<std::string> smbus;
};

// True for "usb", "ich" and "none".
bool IsLinkName(std::string_view link);

// Why the window and kestrova-cli both refuse the options' `--link` or
// `--smbus` value, in the words both print after their name; empty when
// neither is wrong.
std::string StartOptionsProblem(const StartOptions& options);

// "usb", "ich" or "none" for a connection's link.
std::string LinkName(std::int16_t link);

// The type of the hardware entry `link` picks: the first entry of that type;
// for "none" the first entry that is neither "usb" nor "ich", else "none"
// itself (every part runs on its definition alone). Empty when the part
// offers no such hardware.
std::optional<std::string> HardwareForLink(const std::vector<engine::HardwareEntry>& hardware,
                                           std::string_view link);

// "<device> offers no <link> hardware (it offers usb, ich)".
std::string NoSuchHardwareText(std::string_view deviceName,
                               const std::vector<engine::HardwareEntry>& hardware,
                               std::string_view link);

// The program folder of the options and the environment, seeded on first
// use from the installed data (or, in the build tree, the repository's).
// Empty with `error` set when none can be had.
std::string PrepareProgramFolder(const StartOptions& options, std::string& error);

// The installed user's guide (HTML), the default of a part's Manual command;
// in the build tree the repository's. Empty when there is none.
std::string InstalledUserGuide();

// `--emulated-board`: the library, loaded later, drives the emulated board.
void SelectBoardDriver(const StartOptions& options);

// The startup file as the window reads it at load: the device it names is
// taken and the file rewritten to name "none" while the program runs (a
// missing file is created; problems are shown).
definition::StartupSettings OpenStartupFile(markup::MarkupStore& store,
                                            const std::string& programFolder,
                                            markup::MessageBox& messages);
// The startup file read without changing it (kestrova-cli leaves the file to
// the window); the defaults when it cannot be read.
definition::StartupSettings PeekStartupFile(const std::string& programFolder);
// At an orderly end of the window: the startup file names the open device again.
bool CloseStartupFile(markup::MarkupStore& store, const std::string& programFolder,
                      std::string_view deviceName, markup::MessageBox& messages);

}  // namespace kestrova::frontend
