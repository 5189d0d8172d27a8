#include "console_front_end.hpp"

#include <algorithm>

#include "continuous/continuous_read.hpp"
#include "frontend/text_encoding.hpp"

namespace kestrova::cli {

using frontend::ToUtf8;

namespace {
constexpr const char* kPrefix = "kestrova-cli: ";
}  // namespace

std::string ConsoleFrontEnd::ForTerminal(std::string_view latin1) {
  std::string text;
  for (std::size_t i = 0; i < latin1.size(); ++i) {
    if (latin1[i] == '\r' && i + 1 < latin1.size() && latin1[i + 1] == '\n') {
      continue;
    }
    text += latin1[i];
  }
  // Continuation lines are indented under the first.
  std::string out;
  for (const char c : ToUtf8(text)) {
    out += c;
    if (c == '\n') {
      out += "  ";
    }
  }
  return out;
}

int ConsoleFrontEnd::Show(std::string_view prompt, int buttons) {
  const std::string text = ForTerminal(prompt);
  const std::string shown = frontend::EscapeControls(text, true);
  if (buttons == markup::MB_OK) {
    errors_.push_back(text);
    std::fprintf(out_, "%s%s\n", kPrefix, shown.c_str());
    std::fflush(out_);
    if (explainBoardError) {
      if (const std::string cause = explainBoardError(text); !cause.empty()) {
        Error(cause);
      }
    }
    return markup::IDOK;
  }
  const int answer = answerYes ? markup::IDYES : markup::IDNO;
  std::fprintf(out_, "%s%s %s%s\n", kPrefix, shown.c_str(), answerYes ? "Yes" : "No",
               answerYes || declineHint.empty() ? "" : (" (" + declineHint + ")").c_str());
  std::fflush(out_);
  return answer;
}

void ConsoleFrontEnd::ArmStepTimer(int delayMs) {
  due_ = clock.NowMilliseconds() + delayMs;
  armed_ = true;
}

bool ConsoleFrontEnd::WaitForStep(int checkMs) {
  const std::int64_t left = due_ - clock.NowMilliseconds();
  if (left > 0) {
    clock.SleepMilliseconds(static_cast<int>(std::min<std::int64_t>(left, checkMs)));
    return false;
  }
  armed_ = false;
  return true;
}

void ConsoleFrontEnd::StopContinuous() {
  if (reader_ != nullptr) {
    reader_->StopContinuous();
  }
}

void ConsoleFrontEnd::Warn(std::string_view utf8) {
  warnings_.emplace_back(utf8);
  std::fprintf(out_, "%swarning: %s\n", kPrefix, frontend::EscapeControls(utf8).c_str());
  std::fflush(out_);
}

void ConsoleFrontEnd::Error(std::string_view utf8) {
  errors_.emplace_back(utf8);
  std::fprintf(out_, "%s%s\n", kPrefix, frontend::EscapeControls(utf8).c_str());
  std::fflush(out_);
}

}  // namespace kestrova::cli
