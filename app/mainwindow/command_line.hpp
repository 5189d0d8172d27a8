#pragma once
// The options of `kestrova`. Without them the startup file and the dialogs
// decide which part opens and through which hardware.

#include <QStringList>

#include "frontend/program_start.hpp"

namespace kestrova::mainwindow {

using WindowOptions = frontend::StartOptions;

enum class CommandLineResult { Run, Exit, Error };

// Parses the arguments; --help and --version print and give Exit, a bad
// argument prints the reason and gives Error. A first pass before the
// toolkit has taken its own options (-platform, -style) gives Run despite
// arguments it does not know (`strict` false).
CommandLineResult ParseWindowOptions(const QStringList& arguments, WindowOptions& options,
                                     bool strict);

}  // namespace kestrova::mainwindow
