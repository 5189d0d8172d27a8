#pragma once
// The input box of Set Read Time and Set Log Limit (QInputDialog), as the
// core's continuous::InputBox asks for it.

#include "continuous/settings_answers.hpp"

class QWidget;

namespace kestrova::plotwindow {

continuous::InputBox MakeInputBox(QWidget* owner);

}  // namespace kestrova::plotwindow
