#include "cli_fixture.hpp"

#include <gmock/gmock.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace kestrova::cli::testing {

CliRun RunCli(const std::vector<std::string>& arguments, const CliOptions& options) {
  std::string program = std::string(KESTROVA_BIN_DIR) + "/" + options.program;
  std::vector<char*> argv = {program.data()};
  for (const std::string& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  // Standard output and error go to files of their own.
  const kestrova::testing::TempFolder outputs;

  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(::open((outputs / "out").c_str(), O_WRONLY | O_CREAT, 0600), 1);
    ::dup2(::open((outputs / "err").c_str(), O_WRONLY | O_CREAT, 0600), 2);
    if (options.fileSizeLimit > 0) {
      ::signal(SIGXFSZ, SIG_IGN);  // a write beyond the limit fails with EFBIG
      const rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    // Each run starts with a bare emulated board unless the test keeps its state.
    ::setenv("DRAVIK_EMULATOR_STATE", "", 1);
    for (const std::string& entry : options.environment) {
      ::putenv(const_cast<char*>(entry.c_str()));
    }
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }

  if (options.killAfter) {
    std::this_thread::sleep_for(*options.killAfter);
    ::kill(child, SIGKILL);
  }
  bool interrupted = options.interruptWhenFileHas.empty();
  int status = 0;
  // Killed after a minute or so, should it hang.
  for (int polls = 0; ::waitpid(child, &status, WNOHANG) == 0; ++polls) {
    if (!interrupted && kestrova::testing::ReadBytes(options.interruptWhenFileHas).size() >=
                            options.interruptAfterBytes) {
      interrupted = ::kill(child, options.interruptSignal) == 0;
    }
    if (polls == 12000) {
      ::kill(child, SIGKILL);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
          kestrova::testing::ReadBytes(outputs / "out"),
          kestrova::testing::ReadBytes(outputs / "err")};
}

void ExpectRun(const CliRun& run, const CliCase& expected) {
  EXPECT_EQ(run.status, expected.status);
  for (auto [text, want] :
       {std::pair{&run.out, &expected.out}, std::pair{&run.err, &expected.err}}) {
    if (want->starts_with("~")) {
      EXPECT_THAT(*text, ::testing::HasSubstr(want->substr(1)));
    } else {
      EXPECT_EQ(*text, *want);
    }
  }
}

}  // namespace kestrova::cli::testing
