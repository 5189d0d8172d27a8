#include "frontend/program_start.hpp"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "definition/numbers.hpp"
#include "definition/program_folder.hpp"
#include "engine/library_binding.hpp"
#include "engine/session.hpp"
#include "markup/markup_store.hpp"

namespace kestrova::frontend {

bool IsLinkName(std::string_view link) {
  return link == kLinkUsb || link == kLinkSmbus || link == kLinkNone;
}

std::string StartOptionsProblem(const StartOptions& options) {
  if (options.link && !IsLinkName(*options.link)) {
    return "--link takes usb, ich or none, not \"" + *options.link + "\"";
  }
  if (options.smbus && options.smbus->empty()) {
    return "--smbus takes an adapter's number, path or driver name";
  }
  return {};
}

std::string LinkName(std::int16_t link) {
  switch (link) {
    case engine::kLinkUsb:
      return std::string(kLinkUsb);
    case engine::kLinkSmbus:
      return std::string(kLinkSmbus);
    default:
      return std::string(kLinkNone);
  }
}

std::optional<std::string> HardwareForLink(const std::vector<engine::HardwareEntry>& hardware,
                                           std::string_view link) {
  for (const engine::HardwareEntry& entry : hardware) {
    const bool matches =
        link == kLinkNone ? engine::LinkFor(entry.type) == engine::kLinkNone : entry.type == link;
    if (matches) {
      return entry.type;
    }
  }
  if (link == kLinkNone) {
    return std::string(kLinkNone);
  }
  return std::nullopt;
}

std::string NoSuchHardwareText(std::string_view deviceName,
                               const std::vector<engine::HardwareEntry>& hardware,
                               std::string_view link) {
  std::string offered;
  for (const engine::HardwareEntry& entry : hardware) {
    offered += (offered.empty() ? "" : ", ") + entry.type;
  }
  return std::string(deviceName) + " offers no " + std::string(link) + " hardware" +
         (offered.empty() ? "" : " (it offers " + offered + ")");
}

std::string PrepareProgramFolder(const StartOptions& options, std::string& error) {
  std::vector<std::string> arguments;
  if (options.home) {
    arguments = {"--home", *options.home};
  }
  const definition::ProgramFolderChoice choice = definition::ResolveProgramFolder(arguments);
  if (choice.path.empty()) {
    error = "no program folder: " + choice.error;
    return {};
  }
  // The installed read-only data beside the program, else the repository's.
  const std::vector<std::string> shipped =
      definition::ShippedDataFolders(engine::ExecutableFolder(), {KESTROVA_SEED_DIR});
  const definition::SeedResult seed =
      definition::SeedProgramFolder(choice.path, shipped.empty() ? "" : shipped.front());
  if (!seed.ok) {
    error = "cannot prepare the program folder " + choice.path + ": " + seed.error;
    return {};
  }
  return choice.path;
}

std::string InstalledUserGuide() {
  const std::string folder = engine::ExecutableFolder();
  for (const std::string& guide :
       {folder.empty() ? std::string() : folder + "/" + KESTROVA_GUIDE_FROM_PROGRAM,
        std::string(KESTROVA_BUILD_GUIDE)}) {
    std::error_code error;
    if (!guide.empty() && std::filesystem::is_regular_file(guide, error)) {
      return std::filesystem::path(guide).lexically_normal().string();
    }
  }
  return {};
}

void SelectBoardDriver(const StartOptions& options) {
  if (options.emulatedBoard) {
    ::setenv("DRAVIK_EMULATOR", "1", 1);
  }
}

definition::StartupSettings OpenStartupFile(markup::MarkupStore& store,
                                            const std::string& programFolder,
                                            markup::MessageBox& messages) {
  return definition::LoadStartupFile(store, programFolder, messages);
}

definition::StartupSettings PeekStartupFile(const std::string& programFolder) {
  markup::MarkupStore startup;
  startup.SetRetryWait([](std::chrono::milliseconds) {});
  const std::string path = definition::StartupFilePath(programFolder);
  if (!startup.LoadMarkupFile(path) || !startup.FindElement(0, "definition")) {
    return {};
  }
  return definition::ReadStartupSettings(startup, path);
}

bool CloseStartupFile(markup::MarkupStore& store, const std::string& programFolder,
                      std::string_view deviceName, markup::MessageBox& messages) {
  return definition::SaveStartupFile(store, programFolder, deviceName, messages);
}

}  // namespace kestrova::frontend
