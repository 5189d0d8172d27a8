#pragma once
// The part settings file `part.def` in a device's working folder: the working
// settings of one part, remembered between runs.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "markup/markup_store.hpp"
#include "markup/message_box.hpp"

namespace kestrova::definition {

inline constexpr std::string_view kPartSettingsFileName = "part.def";

struct PartSettings {
  std::string driverClass = "no";      // the chosen link's `type`, "no" when none
  std::string regFileName;             // register data file last opened or saved
  std::string manualFileName;          // the user's guide of the Manual command
  std::string logFileName;             // log file of continuous read
  std::int32_t timer1Interval = 1000;  // read interval, milliseconds
  std::int16_t writeNowValue = 1;      // "Write On Change": 0 unchecked, 1 checked
  std::int16_t readAfterWriteValue = 1;
  std::int16_t interfaceAddr = -1;  // chip bus address; -1 when none chosen
  std::int32_t maxLogCount = -1;    // log line limit; -1 no limit
  // The SMBus adapter for the "ich" link ("1", "/dev/i2c-1" or a driver
  // name) instead of the definition's driver name; empty: the definition's.
  // Written only when set, so files without it stay as they were.
  std::string smbusAdapter;
};

std::string PartSettingsPath(const std::string& workingFolder);

// The settings of a part used for the first time. `userGuide` is the installed
// user's guide; when empty, the guide shortcut in the working folder.
PartSettings DefaultPartSettings(const std::string& workingFolder, std::string_view deviceName,
                                 const std::string& userGuide = {});

// The file's two lines as written: the start tag with every setting, and the end tag.
std::string PartSettingsStartTag(const PartSettings& settings);

// Reads `part.def` of the working folder. When the file is missing or has no
// root, the defaults apply and the file is written at once. A numeric setting
// that is missing, not a number or outside its range (the read interval 10 to
// 1000 ms) takes its default, and `problems` names the file and attribute.
PartSettings LoadPartSettings(markup::MarkupStore& store, const std::string& workingFolder,
                              std::string_view deviceName, markup::MessageBox& messages,
                              const std::string& userGuide = {},
                              std::vector<std::string>* problems = nullptr);

// Writes `part.def` whole (a failure shows "File read/write error for <path>").
bool SavePartSettings(markup::MarkupStore& store, const std::string& workingFolder,
                      const PartSettings& settings, markup::MessageBox& messages);

}  // namespace kestrova::definition
