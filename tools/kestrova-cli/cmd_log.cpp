// log: continuous read into a log file, exactly as the window logs; Ctrl-C
// stops it with the file complete.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <ctime>
#include <filesystem>

#include "command_context.hpp"
#include "continuous/continuous_read.hpp"
#include "engine/register_view.hpp"
#include "markup/log_file.hpp"
#include "part_session.hpp"
#include "register_output.hpp"

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

// The log's own lines on standard output (`--follow`): CR LF becomes the
// terminal's line end.
void PrintLogLines(std::string_view lines) {
  std::string text(lines);
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
    text.erase(at, 1);
    ++at;
  }
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

// The logged registers, found once per log: a row rebuilds only these,
// not the whole part.
std::vector<engine::RegisterRange> LoggedRegisters(PartSession& part) {
  std::vector<engine::RegisterRange> logged;
  for (const engine::RegisterRow& reg : engine::BuildRegisterView(part.session)) {
    if (reg.log) {
      logged.push_back({reg.line, reg.line, reg.groupAddrMask, reg.group});
    }
  }
  return logged;
}

// One JSON line per data row (`--follow --json`): the time with
// milliseconds and each logged register's engineering value.
void PrintRowJson(PartSession& part, const std::vector<engine::RegisterRange>& loggedRegisters) {
  using Clock = std::chrono::system_clock;
  const auto now = Clock::now();
  const std::int64_t epochMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  const std::time_t seconds = Clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  char millis[8];
  std::snprintf(millis, sizeof millis, ".%03d", static_cast<int>(epochMs % 1000));
  std::vector<engine::RegisterRow> view;
  for (const engine::RegisterRange& range : loggedRegisters) {
    for (engine::RegisterRow& reg : engine::BuildRegisterView(part.session, range)) {
      view.push_back(std::move(reg));
    }
  }
  std::vector<const engine::RegisterRow*> logged;
  for (const engine::RegisterRow& reg : view) {
    logged.push_back(&reg);
  }
  tools::Json row = tools::Json::object();
  row["time"] = continuous::FixedDateTimeText::DateAndTimeOf(local) + millis;
  row["epochMs"] = epochMs;
  row["registers"] = tools::Json::array();
  for (tools::Json& reg : RegistersJson(logged)) {
    // A register hidden in the chip's present mode has an empty cell in the
    // log: its bytes may mean something else.
    const bool hidden = reg["hidden"].get<bool>();
    row["registers"].push_back({{"title", reg["title"]},
                                {"value", hidden ? tools::Json(nullptr) : reg["value"]},
                                {"display", hidden ? tools::Json("") : reg["display"]},
                                {"units", reg["units"]}});
  }
  std::printf("%s\n", tools::JsonText(row).c_str());
  std::fflush(stdout);
}

}  // namespace

int RunLog(CommandContext& context) {
  const CommandLine& line = context.line;
  const bool toStandardOutput = line.file == "-";
  if (line.file.empty()) {
    return context.Usage("log takes one log file");
  }
  if (toStandardOutput && (line.follow || context.Json())) {
    return context.Usage(
        "log - writes the log itself to standard output; --follow and --json need a log file");
  }
  std::optional<std::int64_t> interval;
  if (line.interval) {
    interval = ParseDecimalArgument(*line.interval, kShortestIntervalMs, kLongestIntervalMs);
    if (!interval) {
      return context.Usage("--interval takes milliseconds from 10 to 86400000, not \"" +
                           *line.interval + "\"");
    }
  }
  std::optional<std::int64_t> count;
  if (line.count) {
    count = *line.count == "none" ? std::optional<std::int64_t>(continuous::kNoLogLimit)
                                  : ParseDecimalArgument(*line.count, 0, kLargestLogLimit);
    if (!count) {
      return context.Usage("--count takes a row count from 0 to 1000000000 or \"none\", not \"" +
                           *line.count + "\"");
    }
  }
  std::error_code pathError;
  const std::string file =
      toStandardOutput
          ? std::string(markup::kStandardOutput)
          : std::filesystem::absolute(line.file, pathError).lexically_normal().string();

  PartSession part(context.line.global, context.messages);
  if (const int status = part.Open(); status != kExitOk) {
    return status;
  }
  part.Describe(context.Body());
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
  state.readAllRegisters = line.all;
  if (line.follow) {
    const bool json = context.Json();
    const std::vector<engine::RegisterRange> logged =
        json ? LoggedRegisters(part) : std::vector<engine::RegisterRange>();
    frontEnd.logLinesWritten = [&part, json, logged](std::string_view lines) {
      const bool dataRow = lines.substr(0, 2) != "\r\n" && lines.substr(0, 13) != "Log Registers";
      if (!json) {
        PrintLogLines(lines);
      } else if (dataRow) {
        PrintRowJson(part, logged);
      }
    };
  }

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
  frontEnd.logLinesWritten = nullptr;
  const std::int32_t rows = std::max(0, state.linesWritten - 2);
  const char* stopped = interrupted                    ? "interrupted"
                        : context.messages.HasErrors() ? "error"
                                                       : "limit";
  if (context.Json()) {
    context.Body()["file"] = file;
    context.Body()["rows"] = rows;
    context.Body()["stopped"] = stopped;
  } else {
    // After a log on standard output the summary is not part of it.
    std::fprintf(toStandardOutput ? stderr : stdout, "logged %d %s to %s (%s)\n", rows,
                 rows == 1 ? "row" : "rows", file.c_str(), stopped);
  }
  return context.messages.HasErrors() ? kExitFailure : kExitOk;
}

}  // namespace kestrova::cli
