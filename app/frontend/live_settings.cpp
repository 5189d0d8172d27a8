#include "frontend/live_settings.hpp"

#include "continuous/continuous_read.hpp"
#include "engine/register_edit.hpp"
#include "engine/register_operations.hpp"
#include "engine/session.hpp"
#include "frontend/program_start.hpp"
#include "frontend/register_data_commands.hpp"
#include "frontend/start_device.hpp"
#include "markup/markup_store.hpp"

namespace kestrova::frontend {

void ApplyPartSettings(const definition::PartSettings& settings, engine::Session& session,
                       engine::EditState& edit, continuous::ContinuousState* continuous) {
  edit.writeNow = settings.writeNowValue != 0;
  session.readAfterWrite = settings.readAfterWriteValue != 0;
  if (continuous != nullptr) {
    continuous->readInterval = settings.timer1Interval;
    continuous->logLimit = settings.maxLogCount;
    continuous->logFileName = settings.logFileName;
  }
}

definition::PartSettings CollectPartSettings(const DeviceStart& start,
                                             const engine::Session& session,
                                             const engine::EditState& edit,
                                             const continuous::ContinuousState* continuous) {
  definition::PartSettings settings = start.settings;
  settings.driverClass = start.driverClass;
  settings.writeNowValue = edit.writeNow ? 1 : 0;
  settings.readAfterWriteValue = session.readAfterWrite ? 1 : 0;
  if (continuous != nullptr) {
    settings.timer1Interval = continuous->readInterval;
    settings.maxLogCount = continuous->logLimit;
    settings.logFileName = continuous->logFileName;
  }
  return settings;
}

bool SavePartSettings(DeviceStart& start, engine::EditState& edit,
                      const continuous::ContinuousState* continuous) {
  if (start.deviceFolder.empty()) {
    return false;
  }
  engine::Session& session = start.Session();
  start.settings = CollectPartSettings(start, session, edit, continuous);
  return definition::SavePartSettings(session.Store(), start.deviceFolder, start.settings,
                                      session.Messages());
}

void ShutDown(DeviceStart& start, engine::EditState& edit, bool saveRegOffered) {
  engine::Session& session = start.Session();
  engine::PendingWritePrompt(session, edit);
  SaveSettingsPrompt(start, saveRegOffered);
  engine::CloseCurrentDevice(session);
  session.connection.deviceHandle = engine::kNoDevice;
  CloseStartupFile(session.Store(), start.programFolder, start.deviceName, session.Messages());
}

}  // namespace kestrova::frontend
