#pragma once
// The kestrova-cli program (or another program of the build) run as a user
// would, on a fresh program folder per test: arguments, environment, standard
// output and error captured, exit status; optionally signalled once a file
// has grown or killed after a while, or with a file size limit.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "../../app/markup/temp_folder.hpp"

namespace kestrova::cli::testing {

struct CliRun {
  int status = -1;  // exit status; -1 when the program was ended by a signal
  std::string out;
  std::string err;
};

struct CliOptions {
  std::string program = "kestrova-cli";  // a program of the build's bin folder
  std::vector<std::string> environment;  // "NAME=value" added to the test's own
  // Sends `interruptSignal` once `interruptWhenFileHas` holds `interruptAfterBytes` bytes.
  std::string interruptWhenFileHas;
  std::size_t interruptAfterBytes = 0;
  int interruptSignal = SIGINT;
  std::optional<std::chrono::microseconds> killAfter;  // SIGKILL this long after the start
  // Files larger than this cannot be written, as on a full disk (0: no limit).
  std::size_t fileSizeLimit = 0;
};

// The bench both programs run on: the demo part's temperature sensor at
// 0x48, holding the definition's start-up values, and a two-byte stream.
inline constexpr const char* kBench =
    "<definition>\n"
    " <chip device=\"demo\" bus=\"i2c\" addr=\"48\" follow=\"false\"/>\n"
    " <board class=\"highspeed\" vid=\"0400\" pid=\"1100\"/>\n"
    " <stream hex=\"A1 A2\" repeat=\"false\"/>\n"
    "</definition>\n";

CliRun RunCli(const std::vector<std::string>& arguments, const CliOptions& options = {});

// A row of a table of runs: the arguments, the exit status, and standard
// output and error, whole or ("~" first) holding the rest; "" is no output.
struct CliCase {
  std::vector<std::string> arguments;
  int status;
  std::string out;
  std::string err = "";
};

void ExpectRun(const CliRun& run, const CliCase& expected);

class KestrovaCli : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(Cli({"parts"}).status, 0); }  // seeds the program folder

  // Runs kestrova-cli with --home and the given arguments. The notice that
  // no hardware is in use is taken out of `err`.
  CliRun Cli(std::vector<std::string> arguments, const CliOptions& options = {}) {
    arguments.insert(arguments.begin(), {"--home", home.path()});
    CliRun run = RunCli(arguments, options);
    static const std::regex notice(
        "kestrova-cli: warning: no hardware in use \\(link none\\): the values come from the "
        "part definition, not from a chip\n");
    run.err = std::regex_replace(run.err, notice, "");
    return run;
  }

  // The demo part without hardware: arguments go after the part's options.
  CliRun Demo(std::vector<std::string> arguments, const CliOptions& options = {}) {
    arguments.insert(arguments.begin(), {"--device", "demo", "--link", "none"});
    return Cli(arguments, options);
  }

  // Times of day ("10:00:01") become "TIME".
  static std::string WithoutTimes(const std::string& text) {
    return std::regex_replace(text, std::regex("[0-9]{2}:[0-9]{2}:[0-9]{2}"), "TIME");
  }

  kestrova::testing::TempFolder home;
  kestrova::testing::TempFolder work;
};

}  // namespace kestrova::cli::testing
