// parts and check: the part definitions of the program folder, and the
// checker run over any definition files.
#include <algorithm>
#include <filesystem>

#include "command_context.hpp"
#include "definition/checker.hpp"
#include "definition/numbers.hpp"
#include "definition/program_folder.hpp"
#include "engine/connection.hpp"
#include "frontend/text_encoding.hpp"
#include "markup/markup_store.hpp"
#include "part_session.hpp"

namespace kestrova::cli {

using frontend::DisplayWidth;
using frontend::Latin1ToTerminal;
using frontend::Latin1ToUtf8;
using frontend::PadRight;

namespace fs = std::filesystem;

namespace {

struct PartEntry {
  std::string name;
  bool readable = false;
  engine::PartConnectionInfo info;
};

std::string HardwareText(const engine::PartConnectionInfo& info) {
  std::string text;
  for (const engine::HardwareEntry& entry : info.hardware) {
    text += (text.empty() ? "" : ",") + entry.type;
  }
  return text.empty() ? "-" : Latin1ToTerminal(text);
}

}  // namespace

int RunParts(CommandContext& context) {
  std::string error;
  const std::string root = PrepareProgramFolder(context.line.global, error);
  if (root.empty()) {
    context.messages.Error(error);
    return kExitFailure;
  }
  std::vector<PartEntry> parts;
  std::error_code listing;
  for (const auto& item : fs::directory_iterator(definition::DeviceFolder(root), listing)) {
    std::error_code kind;
    if (!item.is_regular_file(kind)) {
      continue;
    }
    PartEntry part;
    part.name = item.path().filename().string();
    markup::MarkupStore store;
    store.SetRetryWait([](std::chrono::milliseconds) {});
    if (store.LoadMarkupFile(item.path().string())) {
      part.info = engine::ReadPartConnectionInfo(store);
      part.readable = part.info.hasPart;
    }
    parts.push_back(std::move(part));
  }
  if (listing) {
    context.messages.Error("cannot list " + definition::DeviceFolder(root) + ": " +
                           listing.message());
    return kExitFailure;
  }
  std::sort(parts.begin(), parts.end(),
            [](const PartEntry& a, const PartEntry& b) { return a.name < b.name; });

  if (context.Json()) {
    tools::Json& body = context.Body();
    body["programFolder"] = root;
    body["parts"] = tools::Json::array();
    for (const PartEntry& part : parts) {
      tools::Json hardware = tools::Json::array();
      for (const engine::HardwareEntry& entry : part.info.hardware) {
        hardware.push_back(
            {{"type", Latin1ToUtf8(entry.type)}, {"label", Latin1ToUtf8(entry.label)}});
      }
      tools::Json entry = tools::Json::object();
      entry["name"] = Latin1ToUtf8(part.name);
      entry["readable"] = part.readable;
      entry["label"] = Latin1ToUtf8(part.info.partLabel);
      entry["interface"] = part.info.interfaceType;
      entry["address"] =
          part.info.defaultAddress ? tools::Json(*part.info.defaultAddress) : tools::Json(nullptr);
      entry["hardware"] = std::move(hardware);
      body["parts"].push_back(std::move(entry));
    }
    return kExitOk;
  }
  std::size_t nameWidth = 4;
  std::size_t hardwareWidth = 8;
  for (const PartEntry& part : parts) {
    nameWidth = std::max(nameWidth, DisplayWidth(Latin1ToTerminal(part.name)));
    hardwareWidth = std::max(hardwareWidth, HardwareText(part.info).size());
  }
  std::printf("%s\n", (PadRight("NAME", nameWidth + 2) + PadRight("INTERFACE", 15) +
                       PadRight("HARDWARE", hardwareWidth + 2) + "LABEL")
                          .c_str());
  for (const PartEntry& part : parts) {
    std::string line = PadRight(Latin1ToTerminal(part.name), nameWidth + 2);
    if (!part.readable) {
      line += "(not a part definition)";
    } else {
      line += PadRight(
                  part.info.interfaceType.empty() ? "-" : Latin1ToTerminal(part.info.interfaceType),
                  15) +
              PadRight(HardwareText(part.info), hardwareWidth + 2) +
              Latin1ToTerminal(part.info.partLabel);
    }
    std::printf("%s\n", line.c_str());
  }
  return kExitOk;
}

int RunCheck(CommandContext& context) {
  bool anyProblem = false;
  tools::Json files = tools::Json::array();
  for (const std::string& file : context.line.words) {
    std::vector<std::string> problems;
    markup::MarkupStore store;
    store.SetRetryWait([](std::chrono::milliseconds) {});
    if (!store.LoadMarkupFile(file)) {
      problems.push_back(file + ": cannot read the file" +
                         (store.LastError().empty() ? "" : " (" + store.LastError() + ")"));
    } else {
      for (const std::string& problem : definition::CheckDefinition(store, file)) {
        problems.push_back(Latin1ToUtf8(problem));
      }
    }
    anyProblem = anyProblem || !problems.empty();
    if (context.Json()) {
      files.push_back({{"file", file}, {"ok", problems.empty()}, {"problems", problems}});
    } else if (problems.empty()) {
      std::printf("%s: ok\n", file.c_str());
    } else {
      for (const std::string& problem : problems) {
        std::printf("%s\n", frontend::EscapeControls(problem).c_str());
      }
    }
  }
  context.Body()["files"] = std::move(files);
  return anyProblem ? kExitFailure : kExitOk;
}

}  // namespace kestrova::cli
