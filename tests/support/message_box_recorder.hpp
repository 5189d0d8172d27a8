#pragma once
// A MessageBox for tests: remembers every prompt and answers from a queue of
// scripted results (OK / Yes when the queue is empty).

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "markup/message_box.hpp"

namespace kestrova::markup {

// The recording, on top of any interface that is a MessageBox.
template <class Base>
class RecordingMessages : public Base {
 public:
  struct Shown {
    std::string prompt;
    int buttons = MB_OK;
  };

  int Show(std::string_view prompt, int buttons) override {
    shown.push_back({std::string(prompt), buttons});
    if (!answers.empty()) {
      const int answer = answers.front();
      answers.pop_front();
      return answer;
    }
    return buttons == MB_OK ? IDOK : IDYES;
  }

  // The prompts shown, "|" between them.
  std::string Prompts() const {
    std::string text;
    for (const Shown& s : shown) {
      text += (&s == shown.data() ? "" : "|") + s.prompt;
    }
    return text;
  }

  std::vector<Shown> shown;
  std::deque<int> answers;
};

using MessageBoxRecorder = RecordingMessages<MessageBox>;

}  // namespace kestrova::markup
