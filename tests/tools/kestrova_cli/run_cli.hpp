#pragma once
// Runs the kestrova-cli program as a user would: arguments, environment,
// standard output and error captured, exit status; optionally a signal sent
// once the program has printed a given text or a file has appeared.

#include <string>
#include <vector>

namespace kestrova::cli::testing {

struct CliRun {
  int status = -1;  // exit status; -1 when the program did not exit normally
  std::string out;
  std::string err;
  int notices = 0;  // "no hardware in use" lines taken out of `err` (CliTest)
};

struct CliOptions {
  std::vector<std::string> environment;  // "NAME=value" added to the test's own
  // Sends SIGINT once `interruptWhenFileHas` holds `interruptAfterBytes` bytes.
  std::string interruptWhenFileHas;
  std::size_t interruptAfterBytes = 0;
  int timeoutSeconds = 60;
  // Files larger than this cannot be written, as on a full disk (0: no limit).
  std::size_t fileSizeLimit = 0;
};

CliRun RunCli(const std::vector<std::string>& arguments, const CliOptions& options = {});

}  // namespace kestrova::cli::testing
