#pragma once
// The program's one message box: the prompt with the buttons of a style
// (0 OK, 3 Yes/No/Cancel, 4 Yes/No), titled with the main window's caption,
// brought to the front; the result is the button pressed (1 OK, 2 Cancel,
// 6 Yes, 7 No).

#include <string_view>

class QWidget;

namespace kestrova::mainwindow {

int ShowMessageBox(QWidget* owner, std::string_view prompt, int buttons);

}  // namespace kestrova::mainwindow
