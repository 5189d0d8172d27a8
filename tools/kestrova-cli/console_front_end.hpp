#pragma once
// The program's front end on a terminal: every message becomes a line on
// standard error, and questions are answered by the command's policy instead
// of a user ("Write Modified Registers?" is answered Yes only when the
// command was asked to write). There are no dialogs, panel, buttons or plot
// windows; the read loop's step timer is a due time the log command waits for.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "continuous/clock.hpp"
#include "frontend/front_end.hpp"

namespace kestrova::continuous {
class ContinuousRead;
}

namespace kestrova::cli {

class ConsoleFrontEnd : public frontend::FrontEnd {
 public:
  explicit ConsoleFrontEnd(std::FILE* out = stderr) : out_(out) {}

  // Messages with only an OK button report failures: they count as errors.
  int Show(std::string_view prompt, int buttons) override;

  // No dialogs: a file dialog is cancelled.
  bool ShowFileDialog(std::string_view, std::string_view, std::string&, std::uint32_t,
                      bool) override {
    return false;
  }
  // Only asked without --link when part.def's choice is gone: as OK would.
  int ChooseHardware(std::string_view, const std::vector<std::string>&, int selected) override {
    return selected;
  }
  void ShowSplash(std::string_view) override {}
  void HideSplash() override {}
  void SetWindowTitle(std::string_view) override {}
  void ProcessEvents() override {}
  void ShowPanelTabs() override {}
  void ShowFileName(std::string_view) override {}
  // Nothing is opened from a terminal.
  bool OpenDocument(std::string_view) override { return false; }
  void RefreshPanel() override {}
  void SetReadRegsEnabled(bool) override {}
  void SetWriteRegsEnabled(bool) override {}
  void SavePartSettings() override {}
  void ContinuousControlsChanged() override {}
  void PlotWindowsOpened() override {}
  void PlotWindowClosing(int) override {}
  void PlotWindowsUpdated() override {}
  // Lines that reached the log go on to `logLinesWritten` (log --follow).
  void LogLinesWritten(std::string_view lines) override {
    if (logLinesWritten) {
      logLinesWritten(lines);
    }
  }
  std::function<void(std::string_view lines)> logLinesWritten;

  // The attached read loop of a log command stops.
  void StopContinuous() override;
  void AttachContinuousRead(continuous::ContinuousRead* reader) { reader_ = reader; }

  // The step timer of the log command's loop, kept as the time the next step
  // is due on `clock`.
  void ArmStepTimer(int delayMs) override;
  bool StepArmed() const { return armed_; }
  // Waits for the step that is due, at most `checkMs`; false when the wait
  // ended before the step was due.
  bool WaitForStep(int checkMs);
  continuous::SteadyClock clock;

  // A warning line that is not an error.
  void Warn(std::string_view utf8);
  // An error line raised by the tool itself.
  void Error(std::string_view utf8);

  // The answer given to questions (Yes or No; Cancel is never given).
  bool answerYes = false;
  // Says why a question was answered No.
  std::string declineHint;
  // A further error line after a board message (why it came); empty: none.
  std::function<std::string(std::string_view message)> explainBoardError;

  const std::vector<std::string>& Errors() const { return errors_; }
  const std::vector<std::string>& Warnings() const { return warnings_; }
  bool HasErrors() const { return !errors_.empty(); }

  // A message as one terminal line block: UTF-8, line breaks as "\n".
  static std::string ForTerminal(std::string_view latin1);

 private:
  std::FILE* out_;
  continuous::ContinuousRead* reader_ = nullptr;
  std::int64_t due_ = 0;
  bool armed_ = false;
  std::vector<std::string> errors_;
  std::vector<std::string> warnings_;
};

}  // namespace kestrova::cli
