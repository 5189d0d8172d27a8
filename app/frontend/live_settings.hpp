#pragma once
// The part settings while a part is open: part.def's values live in the
// run's state (the two check boxes, the read interval, the log limit and
// file, the hardware, chip address and file names the start keeps) and go
// back to part.def when the device is closed, before another is opened and
// at the end. At an orderly end the startup file names the open device again.

#include "definition/part_settings.hpp"

namespace kestrova::engine {
class Session;
struct EditState;
}  // namespace kestrova::engine

namespace kestrova::continuous {
struct ContinuousState;
}

namespace kestrova::frontend {

class DeviceStart;

// part.def's settings into the run: "Write On Change", "Read After Write",
// and, with a read loop (`continuous` not null), its interval, log limit and file.
void ApplyPartSettings(const definition::PartSettings& settings, engine::Session& session,
                       engine::EditState& edit, continuous::ContinuousState* continuous);

// The run's settings as part.def keeps them.
definition::PartSettings CollectPartSettings(const DeviceStart& start,
                                             const engine::Session& session,
                                             const engine::EditState& edit,
                                             const continuous::ContinuousState* continuous);

// Writes part.def of the open device from the run (what the front end's
// SavePartSettings does). False when no device is open or the file failed
// (shown).
bool SavePartSettings(DeviceStart& start, engine::EditState& edit,
                      const continuous::ContinuousState* continuous);

// The end of the window (Exit, its close box): pending changes offered, the
// register settings offered for saving (`saveRegOffered`: Save Reg is on the
// menu), continuous activity stopped, part settings saved, the board closed,
// and the startup file naming the open device again.
void ShutDown(DeviceStart& start, engine::EditState& edit, bool saveRegOffered);

}  // namespace kestrova::frontend
