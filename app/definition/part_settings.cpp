#include "definition/part_settings.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "definition/numbers.hpp"
#include "markup/document_io.hpp"
#include "markup/side_document.hpp"

namespace kestrova::definition {

using markup::MarkupStore;
using markup::SideDocument;

namespace {

bool FileIsMissing(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) != 0 && errno == ENOENT;
}

// Read intervals the window offers (Set Read Time), milliseconds.
constexpr std::int64_t kShortestInterval = 10;
constexpr std::int64_t kLongestInterval = 1000;

// A numeric setting from lowest to highest; anything else takes `fallback`
// and is told of in `problems` (file and attribute).
std::int64_t WholeNumber(const MarkupStore& store, const std::string& path, std::string_view name,
                         std::int64_t lowest, std::int64_t highest, std::int64_t fallback,
                         std::vector<std::string>& problems) {
  const std::string_view text = store.GetAttributeView(name);
  const auto number = ParseDecimalInteger(text);
  if (number && *number >= lowest && *number <= highest) {
    return *number;
  }
  problems.push_back(path + ": " + std::string(name) +
                     (text.empty()
                          ? std::string(" is missing")
                          : " \"" + std::string(text) + "\" is not a whole number from " +
                                std::to_string(lowest) + " to " + std::to_string(highest)) +
                     "; " + std::to_string(fallback) + " applies");
  return fallback;
}

// A text setting as written; missing or empty, its default.
std::string TextOr(const MarkupStore& store, std::string_view name, const std::string& fallback) {
  const std::string_view text = store.GetAttributeView(name);
  return text.empty() ? fallback : std::string(text);
}

// A text that cannot stand between double quotes on one line would break the
// file; the setting's default is written instead.
const std::string& Writable(const std::string& text, const std::string& fallback) {
  return text.find_first_of("\"\r\n") == std::string::npos ? text : fallback;
}

std::string Quoted(std::string_view name, const std::string& value) {
  return " " + std::string(name) + "=\"" + value + "\"";
}

// The defaults of the part whose working folder this is (the folder is named
// after the device).
PartSettings FallbackFor(const std::string& workingFolder) {
  const std::size_t slash = workingFolder.find_last_of('/');
  const std::string device =
      slash == std::string::npos ? workingFolder : workingFolder.substr(slash + 1);
  return DefaultPartSettings(workingFolder, device);
}

}  // namespace

std::string PartSettingsPath(const std::string& workingFolder) {
  return workingFolder + "/" + std::string(kPartSettingsFileName);
}

PartSettings DefaultPartSettings(const std::string& workingFolder, std::string_view deviceName,
                                 const std::string& userGuide) {
  PartSettings settings;
  const std::string device(deviceName);
  settings.regFileName = workingFolder + "/" + device + ".dat";
  settings.manualFileName =
      userGuide.empty() ? workingFolder + "/Kestrova Software User's Guide.lnk" : userGuide;
  settings.logFileName = workingFolder + "/" + device + ".txt";
  return settings;
}

std::string PartSettingsStartTag(const PartSettings& settings) {
  std::string tag = "<definition";
  tag += Quoted("driverclass", settings.driverClass);
  tag += Quoted("regfilename", settings.regFileName);
  tag += Quoted("manualfilename", settings.manualFileName);
  tag += Quoted("logfilename", settings.logFileName);
  tag += Quoted("timer1interval", std::to_string(settings.timer1Interval));
  tag += Quoted("writenowvalue", std::to_string(settings.writeNowValue));
  tag += Quoted("readafterwritevalue", std::to_string(settings.readAfterWriteValue));
  tag += Quoted("interfaceaddr", std::to_string(settings.interfaceAddr));
  tag += Quoted("maxlogcount", std::to_string(settings.maxLogCount));
  if (!settings.smbusAdapter.empty()) {
    tag += Quoted("smbusadapter", settings.smbusAdapter);
  }
  tag += ">";
  return tag;
}

PartSettings LoadPartSettings(MarkupStore& store, const std::string& workingFolder,
                              std::string_view deviceName, markup::MessageBox& messages,
                              const std::string& userGuide, std::vector<std::string>* problems) {
  const PartSettings defaults = DefaultPartSettings(workingFolder, deviceName, userGuide);
  PartSettings settings = defaults;
  const std::string path = PartSettingsPath(workingFolder);
  std::vector<std::string> found;
  bool loaded = false;
  {
    SideDocument side(store);
    // A missing file is the first use of a part: no retries, no message.
    if (side.open() && !FileIsMissing(path) && store.LoadMarkupFile(path) &&
        store.FindElement(0, "definition")) {
      loaded = true;
      settings.driverClass = TextOr(store, "driverclass", defaults.driverClass);
      settings.regFileName = TextOr(store, "regfilename", defaults.regFileName);
      settings.manualFileName = TextOr(store, "manualfilename", defaults.manualFileName);
      settings.logFileName = TextOr(store, "logfilename", defaults.logFileName);
      settings.smbusAdapter = TextOr(store, "smbusadapter", "");
      // Outside the window's range continuous read would spin or stall.
      settings.timer1Interval =
          static_cast<std::int32_t>(WholeNumber(store, path, "timer1interval", kShortestInterval,
                                                kLongestInterval, defaults.timer1Interval, found));
      settings.writeNowValue = static_cast<std::int16_t>(
          WholeNumber(store, path, "writenowvalue", 0, 1, defaults.writeNowValue, found));
      settings.readAfterWriteValue = static_cast<std::int16_t>(WholeNumber(
          store, path, "readafterwritevalue", 0, 1, defaults.readAfterWriteValue, found));
      settings.interfaceAddr = static_cast<std::int16_t>(
          WholeNumber(store, path, "interfaceaddr", -1, std::numeric_limits<std::int16_t>::max(),
                      defaults.interfaceAddr, found));
      // An empty log limit is no limit.
      if (!store.GetAttributeView("maxlogcount").empty()) {
        settings.maxLogCount = static_cast<std::int32_t>(
            WholeNumber(store, path, "maxlogcount", -1, std::numeric_limits<std::int32_t>::max(),
                        defaults.maxLogCount, found));
      }
    }
  }
  if (!loaded) {
    settings = defaults;
    SavePartSettings(store, workingFolder, settings, messages);
  }
  if (problems != nullptr) {
    *problems = std::move(found);
  }
  return settings;
}

bool SavePartSettings(MarkupStore& store, const std::string& workingFolder,
                      const PartSettings& settings, markup::MessageBox& messages) {
  const PartSettings fallback = FallbackFor(workingFolder);
  PartSettings written = settings;
  written.driverClass = Writable(settings.driverClass, fallback.driverClass);
  written.regFileName = Writable(settings.regFileName, fallback.regFileName);
  written.manualFileName = Writable(settings.manualFileName, fallback.manualFileName);
  written.logFileName = Writable(settings.logFileName, fallback.logFileName);
  written.smbusAdapter = Writable(settings.smbusAdapter, fallback.smbusAdapter);
  const std::string path = PartSettingsPath(workingFolder);
  SideDocument side(store);
  if (!side.open()) {
    messages.Show("Cannot write " + path + ": " + store.LastError(), markup::MB_OK);
    return false;
  }
  store.AddLine(0, PartSettingsStartTag(written), -1);
  store.AddLine(0, "</definition>", -1);
  return markup::SaveDocument(store, path, messages);
}

}  // namespace kestrova::definition
