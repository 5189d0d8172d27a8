// Runs one dravik-cli command against the library's five exports: open the
// board or adapter, transfer, report in text or JSON, close; or list the
// hardware of the machine.
#pragma once

#include <ostream>

#include "cli_options.hpp"

namespace dravik::cli {

// Exit status: 0 on success, 1 with the reason on failure (on `err` in text
// mode, in the JSON document's "errors" on `out` with --json).
int Run(const Options& options, std::ostream& out, std::ostream& err);

// The whole program: parse, then run; bad usage gives 2.
int Main(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace dravik::cli
