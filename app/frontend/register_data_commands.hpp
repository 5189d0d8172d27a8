#pragma once
// The Open Reg and Save Reg commands around the engine's register data
// files: the file dialogs, the offer to save before another file is opened,
// and the offer to write what was opened.

#include <cstdint>
#include <string>

namespace kestrova::frontend {

class DeviceStart;

inline constexpr const char* kRegisterDataFilter = "Register Data files (*.dat)|*.dat";
inline constexpr const char* kOpenRegisterDataTitle = "Open Register Data File";
inline constexpr const char* kSaveRegisterDataTitle = "Save Register Data File";
inline constexpr std::uint32_t kOpenRegisterDataFlags = 0x30500D;
inline constexpr std::uint32_t kSaveRegisterDataFlags = 0x30000E;
inline constexpr const char* kSaveCurrentQuestion = "Save Current Register Settings?";

// The commands work on the open part of `start`: its session, edit state and
// front end, and its part setting `regfilename`, which takes every file
// chosen; the file-name label shows the chosen file's name.

// When Save Reg is on the menu (`saveRegOffered`) and the register settings
// changed since they were loaded or saved, asks "Save Current Register
// Settings?"; Yes runs Save Reg. The answer (7 when not asked).
int SaveSettingsPrompt(DeviceStart& start, bool saveRegOffered);

// Open Reg: when Save Reg is offered (`saveRegOffered`) and the settings
// changed, offers to save them first; asks for the file, applies it as
// pending changes and offers to write them. True when a file was applied.
bool OpenRegCommand(DeviceStart& start, bool saveRegOffered);

// Save Reg: asks for the file and writes the current settings to it.
bool SaveRegCommand(DeviceStart& start);

}  // namespace kestrova::frontend
