#include "cli_fixture.hpp"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
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
  FILE* out = std::tmpfile();
  FILE* err = std::tmpfile();

  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(::fileno(out), 1);
    ::dup2(::fileno(err), 2);
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

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  bool interrupted = options.interruptWhenFileHas.empty();
  int status = 0;
  while (::waitpid(child, &status, WNOHANG) == 0) {
    std::error_code ignored;
    if (!interrupted &&
        std::filesystem::file_size(options.interruptWhenFileHas, ignored) >=
            options.interruptAfterBytes &&
        !ignored) {
      interrupted = ::kill(child, SIGINT) == 0;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(child, SIGKILL);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  CliRun run;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  for (auto [file, text] : {std::pair{out, &run.out}, std::pair{err, &run.err}}) {
    std::rewind(file);
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
      text->append(buffer, n);
    }
    std::fclose(file);
  }
  return run;
}

void ExpectRun(const CliRun& run, const CliCase& expected) {
  EXPECT_EQ(run.status, expected.status);
  for (auto [text, want] :
       {std::pair{&run.out, &expected.out}, std::pair{&run.err, &expected.err}}) {
    if (want->starts_with("~")) {
      EXPECT_NE(text->find(want->substr(1)), std::string::npos) << *text;
    } else {
      EXPECT_EQ(*text, *want);
    }
  }
}

}  // namespace kestrova::cli::testing
