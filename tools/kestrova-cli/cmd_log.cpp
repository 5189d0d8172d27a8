// log: continuous read into a log file, exactly as the window logs; Ctrl-C
// stops it with the file complete.
#include <algorithm>
#include <csignal>
#include <filesystem>

#include "command_context.hpp"
#include "continuous/continuous_read.hpp"
#include "part_session.hpp"

namespace kestrova::cli {

namespace {

// Set by SIGINT or SIGTERM; the loop stops logging at its next check.
volatile std::sig_atomic_t stopRequested = 0;

extern "C" void RequestStop(int /*signal*/) {
  stopRequested = 1;
}

// The interval the window allows is 10 ms to 1 s; a bench logging overnight
// wants longer ones, up to a day.
constexpr std::int64_t kShortestIntervalMs = 10;
constexpr std::int64_t kLongestIntervalMs = 24LL * 60 * 60 * 1000;
constexpr std::int64_t kLargestLogLimit = 1000000000;

// A Ctrl-C is seen within this time even while waiting for a long interval.
constexpr int kSignalCheckMs = 50;

class StopSignals {
 public:
  StopSignals() {
    stopRequested = 0;
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &oldInt_);
    sigaction(SIGTERM, &action, &oldTerm_);
  }
  ~StopSignals() {
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
};

}  // namespace

int RunLog(CommandContext& context) {
  CommandArguments arguments({"--all"}, {"--interval", "--count"});
  std::string error;
  if (!arguments.Parse(context.line.arguments, error)) {
    return context.Usage(error);
  }
  if (arguments.Positional().size() != 1 || arguments.Positional().front().empty()) {
    return context.Usage("log takes one log file");
  }
  std::optional<std::int64_t> interval;
  if (const auto text = arguments.Value("--interval")) {
    interval = ParseDecimalArgument(*text, kShortestIntervalMs, kLongestIntervalMs);
    if (!interval) {
      return context.Usage("--interval takes milliseconds from 10 to 86400000, not \"" + *text +
                           "\"");
    }
  }
  std::optional<std::int64_t> count;
  if (const auto text = arguments.Value("--count")) {
    count = *text == "none" ? std::optional<std::int64_t>(continuous::kNoLogLimit)
                            : ParseDecimalArgument(*text, 0, kLargestLogLimit);
    if (!count) {
      return context.Usage("--count takes a row count from 0 to 1000000000 or \"none\", not \"" +
                           *text + "\"");
    }
  }
  std::error_code pathError;
  const std::string file =
      std::filesystem::absolute(arguments.Positional().front(), pathError).lexically_normal();

  PartSession part(context.line.global, context.messages);
  if (const int status = part.Open(); status != kExitOk) {
    return status;
  }
  continuous::FixedDateTimeText dateTime;
  ConsoleFrontEnd& frontEnd = context.messages;
  continuous::ContinuousRead reader(part.session, part.edit, dateTime, frontEnd.clock, frontEnd);
  context.messages.AttachContinuousRead(&reader);
  reader.writeStartupListOnFirstStep = context.line.global.startupWrites;
  reader.stopLoggingOnWriteFailure = true;
  continuous::ContinuousState& state = reader.state;
  state.readInterval = static_cast<std::int32_t>(
      interval.value_or(std::max<std::int64_t>(part.settings.timer1Interval, kShortestIntervalMs)));
  state.logLimit = static_cast<std::int32_t>(count.value_or(part.settings.maxLogCount));
  state.readAllRegisters = arguments.Flag("--all");

  StopSignals signals;
  bool interrupted = false;
  if (!reader.StartLogging(file)) {
    context.messages.AttachContinuousRead(nullptr);
    return kExitFailure;
  }
  while (state.AnyActive() && frontEnd.StepArmed()) {
    if (stopRequested != 0) {
      interrupted = true;
      reader.StopLogging();
    } else if (frontEnd.WaitForStep(kSignalCheckMs)) {
      reader.OnStepTimer();
    }
  }

  context.messages.AttachContinuousRead(nullptr);
  const std::int32_t rows = std::max(0, state.linesWritten - 2);
  const char* stopped = interrupted                    ? "interrupted"
                        : context.messages.HasErrors() ? "error"
                                                       : "limit";
  if (context.Json()) {
    context.json.Member("file", file);
    context.json.Member("rows", static_cast<std::int64_t>(rows));
    context.json.Member("stopped", stopped);
  } else {
    std::printf("logged %d %s to %s (%s)\n", rows, rows == 1 ? "row" : "rows", file.c_str(),
                stopped);
  }
  return context.messages.HasErrors() ? kExitFailure : kExitOk;
}

}  // namespace kestrova::cli
