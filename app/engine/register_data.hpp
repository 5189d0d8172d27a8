#pragma once
// The cores of Open Reg and Save Reg: a register data file applied to the
// loaded definition as pending changes, and the current register settings
// written to one. The window adds its file dialog and prompts around them.

#include <string>

namespace kestrova::engine {

class Session;
struct EditState;

// Reads the data file and applies its bytes to the bit fields of the
// definition (the write address of each field; addresses the part does not
// have are ignored). Every register then counts as changed, so Write Regs
// writes them all. False when the file gave no entries (a file that cannot be
// read has been reported). The caller offers the write (PendingWritePrompt).
bool OpenRegisterData(Session& session, EditState& edit, const std::string& path);

// Writes the write address and current byte of every register, in the
// engine's write order, to the data file. Nothing is transferred.
bool SaveRegisterData(Session& session, const std::string& path);

}  // namespace kestrova::engine
