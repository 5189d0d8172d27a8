#include "frontend/register_data_commands.hpp"

#include "definition/program_folder.hpp"
#include "engine/register_data.hpp"
#include "engine/register_edit.hpp"
#include "engine/session.hpp"
#include "frontend/front_end.hpp"
#include "frontend/start_device.hpp"
#include "markup/markup_store.hpp"

namespace kestrova::frontend {

namespace {

// The file dialog of both commands; on a choice the file is the part's
// register data file from now on, even when it then fails.
bool ChooseRegisterDataFile(DeviceStart& start, const char* title, std::uint32_t flags, bool save) {
  std::string path = start.settings.regFileName;
  if (!start.Front().ShowFileDialog(kRegisterDataFilter, title, path, flags, save)) {
    return false;
  }
  start.settings.regFileName = path;
  start.Front().ShowFileName(definition::FileNameOf(path));
  return true;
}

}  // namespace

bool OpenRegCommand(DeviceStart& start, bool saveRegOffered) {
  SaveSettingsPrompt(start, saveRegOffered);
  if (!ChooseRegisterDataFile(start, kOpenRegisterDataTitle, kOpenRegisterDataFlags, false)) {
    return false;
  }
  engine::Session& session = start.Session();
  if (!engine::OpenRegisterData(session, start.Edit(), start.settings.regFileName)) {
    return false;
  }
  engine::PendingWritePrompt(session, start.Edit());
  return true;
}

int SaveSettingsPrompt(DeviceStart& start, bool saveRegOffered) {
  if (!saveRegOffered || !start.Session().Store().IsModified()) {
    return markup::IDNO;
  }
  const int answer = start.Front().Show(kSaveCurrentQuestion, markup::MB_YESNO);
  if (answer == markup::IDYES) {
    SaveRegCommand(start);
  }
  return answer;
}

bool SaveRegCommand(DeviceStart& start) {
  return ChooseRegisterDataFile(start, kSaveRegisterDataTitle, kSaveRegisterDataFlags, true) &&
         engine::SaveRegisterData(start.Session(), start.settings.regFileName);
}

}  // namespace kestrova::frontend
