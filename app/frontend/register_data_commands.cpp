#include "frontend/register_data_commands.hpp"

#include "engine/register_data.hpp"
#include "engine/register_edit.hpp"
#include "engine/session.hpp"
#include "markup/markup_store.hpp"

namespace kestrova::frontend {

bool OpenRegCommand(engine::Session& session, engine::EditState& edit, std::string& regFileName,
                    bool saveRegOffered) {
  SaveSettingsPrompt(session, regFileName, saveRegOffered);
  std::string path = regFileName;
  if (!session.Front().ShowFileDialog(kRegisterDataFilter, kOpenRegisterDataTitle, path,
                                      kOpenRegisterDataFlags, false)) {
    return false;
  }
  regFileName = path;
  if (!engine::OpenRegisterData(session, edit, path)) {
    return false;
  }
  engine::PendingWritePrompt(session, edit);
  return true;
}

int SaveSettingsPrompt(engine::Session& session, std::string& regFileName, bool saveRegOffered) {
  if (!saveRegOffered || !session.Store().IsModified()) {
    return markup::IDNO;
  }
  const int answer = session.Front().Show(kSaveCurrentQuestion, markup::MB_YESNO);
  if (answer == markup::IDYES) {
    SaveRegCommand(session, regFileName);
  }
  return answer;
}

bool SaveRegCommand(engine::Session& session, std::string& regFileName) {
  std::string path = regFileName;
  if (!session.Front().ShowFileDialog(kRegisterDataFilter, kSaveRegisterDataTitle, path,
                                      kSaveRegisterDataFlags, true)) {
    return false;
  }
  regFileName = path;
  return engine::SaveRegisterData(session, path);
}

}  // namespace kestrova::frontend
