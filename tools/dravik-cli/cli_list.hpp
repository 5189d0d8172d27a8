// dravik-cli list (scan): the I2C adapters and USB boards of the machine,
// and with --emulated the emulated board and SMBus controller.
#pragma once

#include <ostream>

#include "cli_options.hpp"
#include "tool_report.hpp"

namespace dravik::cli {

// Lists into the report's body (JSON) or on `out` (text). Always succeeds:
// what cannot be looked at is said next to the entry, or as a warning of
// the report when no USB board can be looked for.
void ListHardware(const Options& options, kestrova::tools::Report& report, std::ostream& out);

}  // namespace dravik::cli
