#include "definition/startup_file.hpp"

#include <sys/stat.h>

#include <cerrno>

#include "definition/numbers.hpp"
#include "markup/document_io.hpp"
#include "markup/side_document.hpp"

namespace kestrova::definition {

using markup::MarkupStore;
using markup::MessageBox;
using markup::SideDocument;

namespace {

bool FileIsMissing(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) != 0 && errno == ENOENT;
}

// Writes a fresh startup file; the store holds an empty side document.
bool CreateStartupFile(MarkupStore& store, const std::string& path, std::string_view device,
                       MessageBox& messages) {
  // A name that cannot stand in a quoted value cannot be recorded.
  if (device.empty() || device.find_first_of("\"\r\n") != std::string_view::npos) {
    device = kNoDevice;
  }
  store.AddLine(0, "<definition device=\"" + std::string(device) + "\" test=\"0\">", -1);
  store.AddLine(0, "</definition>", -1);
  return markup::SaveDocument(store, path, messages);
}

}  // namespace

std::string StartupFilePath(const std::string& programFolder) {
  return programFolder + "/" + std::string(kStartupFileName);
}

StartupSettings LoadStartupFile(MarkupStore& store, const std::string& programFolder,
                                MessageBox& messages) {
  StartupSettings settings;
  const std::string path = StartupFilePath(programFolder);
  SideDocument side(store);
  if (!side.open()) {
    messages.Show("Cannot read " + path + ": " + store.LastError(), markup::MB_OK);
    return settings;
  }
  if (FileIsMissing(path)) {
    CreateStartupFile(store, path, kNoDevice, messages);
    return settings;
  }
  if (!markup::LoadDocument(store, path, messages) || !store.FindElement(0, "definition")) {
    return settings;
  }
  settings = ReadStartupSettings(store, path);
  if (settings.deviceName != kNoDevice) {
    store.SetAttribute("device", kNoDevice, false);
    markup::SaveDocument(store, path, messages);
  }
  if (!settings.problem.empty()) {
    messages.Show(settings.problem, markup::MB_OK);
  }
  return settings;
}

StartupSettings ReadStartupSettings(const MarkupStore& store, const std::string& path) {
  StartupSettings settings;
  const std::string device = store.GetAttribute("device");
  // An empty name cannot name a definition file; it means no device, like "none".
  if (!device.empty()) {
    settings.deviceName = device;
  }
  const std::string test = store.GetAttribute("test");
  const auto flags = ParseHex(test);
  if (flags && *flags >= 0 && *flags <= 0xFF) {
    settings.testFlags = static_cast<std::uint8_t>(*flags);
  } else {
    settings.problem = "The startup file " + path + " has no valid test mask (test=\"" + test +
                       "\", hexadecimal 0 to FF); all test features are off.";
  }
  return settings;
}

bool SaveStartupFile(MarkupStore& store, const std::string& programFolder,
                     std::string_view deviceName, MessageBox& messages) {
  const std::string path = StartupFilePath(programFolder);
  SideDocument side(store);
  if (!side.open()) {
    messages.Show("Cannot write " + path + ": " + store.LastError(), markup::MB_OK);
    return false;
  }
  if (FileIsMissing(path)) {
    return CreateStartupFile(store, path, deviceName, messages);
  }
  if (!markup::LoadDocument(store, path, messages) || !store.FindElement(0, "definition")) {
    return false;
  }
  store.SetAttribute("device", deviceName, false);
  return markup::SaveDocument(store, path, messages);
}

}  // namespace kestrova::definition
