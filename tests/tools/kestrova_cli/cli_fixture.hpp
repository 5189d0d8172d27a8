#pragma once
// A fresh program folder per test, and the program run on it.

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "../../app/markup/temp_folder.hpp"
#include "run_cli.hpp"

namespace kestrova::cli::testing {

class CliTest : public ::testing::Test {
 protected:
  // Runs kestrova-cli with --home and the given arguments. The notice that
  // no hardware is in use is counted in `notices` and taken out of `err`.
  CliRun Cli(std::vector<std::string> arguments, CliOptions options = {}) {
    arguments.insert(arguments.begin(), {"--home", home.path()});
    options.environment.insert(options.environment.end(), extraEnvironment.begin(),
                               extraEnvironment.end());
    CliRun run = RunCli(arguments, options);
    const std::string notice =
        "kestrova-cli: warning: no hardware in use (link none): the values come from the part "
        "definition, not from a chip\n";
    for (std::size_t at = run.err.find(notice); at != std::string::npos;
         at = run.err.find(notice)) {
      run.err.erase(at, notice.size());
      ++run.notices;
    }
    return run;
  }

  // Times of day ("10:00:01") become "TIME", dates ("2024-05-03") "DATE".
  static std::string WithoutTimes(const std::string& text) {
    const std::regex time("[0-9]{2}:[0-9]{2}:[0-9]{2}");
    const std::regex date("[0-9]{4}-[0-9]{2}-[0-9]{2}");
    return std::regex_replace(std::regex_replace(text, date, "DATE"), time, "TIME");
  }

  kestrova::testing::TempFolder home;
  kestrova::testing::TempFolder work;
  std::vector<std::string> extraEnvironment;
};

}  // namespace kestrova::cli::testing
