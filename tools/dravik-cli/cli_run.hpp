// Runs one dravik-cli command against the library's five exports: open the
// board or controller, transfer, report in text or JSON, close.
#pragma once

#include <ostream>

#include "cli_options.hpp"

namespace dravik::cli {

// Exit status: 0 on success, 1 with the reason on failure (on `err` in text
// mode, as {"ok":false,...} on `out` with --json).
int Run(const Options& options, std::ostream& out, std::ostream& err);

// The whole program: parse, then run; usage errors also give 1.
int Main(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace dravik::cli
