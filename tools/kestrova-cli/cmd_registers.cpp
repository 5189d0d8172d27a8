// read, write, save and load: the part read and written through the engine
// as the window does it.
#include <algorithm>
#include <map>
#include <set>

#include "command_context.hpp"
#include "definition/numbers.hpp"
#include "engine/register_data.hpp"
#include "engine/register_operations.hpp"
#include "engine/register_view.hpp"
#include "frontend/text_encoding.hpp"
#include "part_session.hpp"
#include "register_output.hpp"

namespace kestrova::cli {

using frontend::Latin1ToUtf8;
using frontend::Utf8ToLatin1;

namespace {

void Show(CommandContext& context, const std::vector<const engine::RegisterRow*>& registers) {
  if (context.Json()) {
    context.Body()["registers"] = RegistersJson(registers);
  } else {
    PrintRegisters(stdout, registers);
  }
}

std::vector<const engine::RegisterRow*> Shown(const std::vector<engine::RegisterRow>& view) {
  std::vector<const engine::RegisterRow*> shown;
  for (const engine::RegisterRow& reg : view) {
    if (!reg.hidden) {
      shown.push_back(&reg);
    }
  }
  return shown;
}

// The title of the register at `line` (its line number when it has none).
std::string TitleAt(const std::vector<engine::RegisterRow>& view, int line) {
  for (const engine::RegisterRow& reg : view) {
    if (reg.line == line) {
      return reg.title.empty() ? "the register at line " + std::to_string(line) : reg.title;
    }
  }
  return "the register at line " + std::to_string(line);
}

// The text the row of the bit field at `fieldLine` shows now.
std::string ShownText(engine::Session& session, int fieldLine) {
  for (const engine::RegisterRow& reg : engine::BuildRegisterView(session)) {
    for (const engine::FieldRow& field : reg.fields) {
      if (field.fieldLine == fieldLine) {
        return field.displayText;
      }
    }
  }
  return {};
}

// Opens the part and reads it: the state every command starts from.
int OpenAndRead(CommandContext& context, PartSession& part) {
  if (const int status = part.Open(); status != kExitOk) {
    return status;
  }
  part.Describe(context.Body());
  return engine::ReadUnmodified(part.session) ? kExitOk : kExitFailure;
}

}  // namespace

int RunRead(CommandContext& context) {
  PartSession part(context.line.global, context.messages);
  if (const int status = OpenAndRead(context, part); status != kExitOk) {
    return status;
  }
  const std::vector<engine::RegisterRow> view = engine::BuildRegisterView(part.session);
  std::vector<const engine::RegisterRow*> selected;
  std::string error;
  if (!SelectRegisters(view, context.line.words, selected, error)) {
    return context.Usage(error);
  }
  Show(context, selected);
  return kExitOk;
}

int RunWrite(CommandContext& context) {
  const std::vector<std::string>& assignments = context.line.words;
  for (const std::string& assignment : assignments) {
    if (assignment.find('=') == std::string::npos || assignment.front() == '=') {
      return context.Usage("\"" + assignment + "\" is not FIELD=VALUE");
    }
  }
  PartSession part(context.line.global, context.messages);
  if (const int status = OpenAndRead(context, part); status != kExitOk) {
    return status;
  }
  engine::Session& session = part.session;
  session.readAfterWrite = context.line.readAfterWrite;
  part.edit.writeNow = false;  // written below, once, in the definition's order

  std::map<int, std::string> explicitValues;  // register line -> its assignment
  // Bit field line -> its assignment and the text it showed once set.
  std::map<int, std::pair<std::string, std::string>> shownAfter;
  engine::EditOptions options;
  options.limitToRange = context.line.limit;
  std::string error;
  for (const std::string& assignment : assignments) {
    const std::size_t equals = assignment.find('=');
    const std::string key = Utf8ToLatin1(assignment.substr(0, equals));
    const std::string value = Utf8ToLatin1(assignment.substr(equals + 1));
    const std::vector<engine::RegisterRow> view = engine::BuildRegisterView(session);
    engine::EditOutcome outcome;
    std::string label;
    if (key.size() > 2 && key[0] == '0' && (key[1] == 'x' || key[1] == 'X')) {
      const auto address = ParseHexArgument(key, 4);
      if (!address) {
        return context.Usage("\"" + assignment.substr(0, equals) + "\" is not a register address");
      }
      for (const engine::RegisterRow& reg : view) {
        for (const engine::FieldRow& field : reg.fields) {
          if (static_cast<std::uint32_t>(field.readAddress) == *address) {
            explicitValues.emplace(reg.line, assignment);
          }
        }
      }
      outcome = engine::SetRegisterByte(session, part.edit, static_cast<std::int32_t>(*address),
                                        value, options);
    } else {
      const engine::FieldRow* field = FindField(view, key, error);
      if (field == nullptr) {
        return context.Usage(error);
      }
      label = field->label;
      explicitValues.emplace(field->registerLine, assignment);
      outcome = engine::SetFieldText(session, part.edit, field->fieldLine, value, options);
      if (outcome.error == engine::EditError::None) {
        shownAfter[field->fieldLine] = {assignment, ShownText(session, field->fieldLine)};
      }
    }
    if (outcome.error != engine::EditError::None) {
      return context.Usage(Latin1ToUtf8(outcome.message));
    }
    // A register given a value that a dependent update then recomputes
    // would silently not get it.
    for (const engine::DependentUpdate& update : outcome.dependents) {
      const auto overwritten = explicitValues.find(update.targetLine);
      if (overwritten != explicitValues.end()) {
        const auto source = explicitValues.find(update.sourceLine);
        return context.Usage(
            "\"" + overwritten->second +
            "\" would be overwritten: " + Latin1ToUtf8(TitleAt(view, update.targetLine)) +
            " follows " + Latin1ToUtf8(TitleAt(view, update.sourceLine)) +
            (source != explicitValues.end() ? " (\"" + source->second + "\")" : std::string()));
      }
    }
    if (outcome.limited) {
      context.messages.Warn(
          Latin1ToUtf8(label + ": " + value + " was limited to the display range"));
    }
  }
  // A value set by display units that a later assignment rescales (a divisor
  // register, a display range's condition) or overlaps would not be written
  // as given.
  for (const auto& [fieldLine, set] : shownAfter) {
    const std::string now = ShownText(session, fieldLine);
    if (now != set.second) {
      return context.Usage("\"" + set.first + "\" would become " + Latin1ToUtf8(now) +
                           " through the assignments after it: give those first");
    }
  }
  // Every register the write reaches, the dependents among them.
  std::set<int> changed;
  for (const engine::RegisterRow& reg : engine::BuildRegisterView(session)) {
    if (session.images.ModifiedLine(reg.line)) {
      changed.insert(reg.line);
    }
  }
  if (!engine::WriteModified(session, true)) {
    return kExitFailure;
  }
  const std::vector<engine::RegisterRow> view = engine::BuildRegisterView(session);
  std::vector<const engine::RegisterRow*> written;
  for (const engine::RegisterRow& reg : view) {
    if (changed.count(reg.line) != 0) {
      written.push_back(&reg);
    }
  }
  Show(context, written);
  return kExitOk;
}

int RunSave(CommandContext& context) {
  const std::string& file = context.line.file;
  if (file.empty()) {
    return context.Usage("save takes one register data file");
  }
  PartSession part(context.line.global, context.messages);
  if (const int status = OpenAndRead(context, part); status != kExitOk) {
    return status;
  }
  if (!engine::SaveRegisterData(part.session, file)) {
    return kExitFailure;
  }
  if (context.Json()) {
    context.Body()["file"] = file;
  } else {
    std::printf("saved %s\n", file.c_str());
  }
  return kExitOk;
}

int RunLoad(CommandContext& context) {
  const std::string& file = context.line.file;
  if (file.empty()) {
    return context.Usage("load takes one register data file");
  }
  PartSession part(context.line.global, context.messages);
  if (const int status = OpenAndRead(context, part); status != kExitOk) {
    return status;
  }
  engine::Session& session = part.session;
  session.readAfterWrite = context.line.readAfterWrite;
  part.edit.writeNow = false;
  if (!engine::OpenRegisterData(session, part.edit, file)) {
    if (!context.messages.HasErrors()) {
      context.messages.Error(file + " holds no register entries");
    }
    return kExitFailure;
  }
  const bool write = context.line.write;
  // What the file sets, before the answer decides whether it stays.
  std::vector<engine::RegisterRow> view = engine::BuildRegisterView(session);
  context.messages.answerYes = write;
  context.messages.declineHint = "not written; --write writes them";
  engine::PendingWritePrompt(session, part.edit);
  if (context.messages.HasErrors()) {
    return kExitFailure;
  }
  if (write) {
    view = engine::BuildRegisterView(session);
  }
  if (context.Json()) {
    context.Body()["file"] = file;
    context.Body()["written"] = write;
  }
  Show(context, Shown(view));
  return kExitOk;
}

}  // namespace kestrova::cli
