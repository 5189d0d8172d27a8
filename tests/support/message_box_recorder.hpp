#pragma once
// A MessageBox for tests: remembers every prompt and answers from a queue of
// scripted results (OK / Yes when the queue is empty).

#include <deque>
#include <string>
#include <string_view>
#include <utility>
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
    return Take(answers, buttons == MB_OK ? IDOK : IDYES);
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

 protected:
  // The first of the scripted answers, taken; `otherwise` when none is left.
  template <class T>
  static T Take(std::deque<T>& scripted, T otherwise) {
    if (!scripted.empty()) {
      otherwise = std::move(scripted.front());
      scripted.pop_front();
    }
    return otherwise;
  }
};

using MessageBoxRecorder = RecordingMessages<MessageBox>;

}  // namespace kestrova::markup
