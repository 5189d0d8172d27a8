#pragma once
// The program's one open/save dialog. Filters come as
// "description|pattern|description|pattern..." with patterns joined by ";",
// and flags with the common dialog's values: "file must exist" makes an open
// dialog refuse new names, "ask before overwriting" makes a save dialog ask.
// An open dialog without "file must exist" accepts a new name (the log file).

#include <QStringList>
#include <cstdint>
#include <string>
#include <string_view>

class QWidget;

namespace kestrova::mainwindow {

// "Log files (*.txt;*.log)|*.txt;*.log|All files (*.*)|*.*" ->
// {"Log files (*.txt *.log)", "All files (*.*)"}.
QStringList QtNameFilters(std::string_view filter);

// On a choice writes the chosen path to `fileName` and returns true; on
// cancel returns false and leaves `fileName` as it was.
bool ShowFileDialog(QWidget* owner, std::string_view filter, std::string_view title,
                    std::string& fileName, std::uint32_t flags, bool save);

}  // namespace kestrova::mainwindow
