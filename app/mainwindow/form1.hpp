#pragma once
// `Form1`: the main window. It owns the run of the program (the session, the
// open part, the connection) through the core and maps what the core decides
// onto its controls: the register panel, its tab strips and the buttons.

#include <QMainWindow>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "command_line.hpp"
#include "form1_controls.hpp"

namespace kestrova::mainwindow {

class IfaceBox;
class Splash;

class Form1 : public QMainWindow {
  Q_OBJECT

 public:
  explicit Form1(WindowOptions options, QWidget* parent = nullptr);
  ~Form1() override;

  // The message box of the program, titled with this window's caption:
  // style 0 OK, 3 Yes/No/Cancel, 4 Yes/No; results 1, 2, 6, 7.
  int MessageBox(std::string_view prompt, int buttons);

  Form1Controls& Controls() { return controls_; }

 protected:
  void PlaceWindow();

 private:
  WindowOptions options_;
  Form1Controls controls_;
  IfaceBox* ifaceBox_ = nullptr;
  Splash* splash_ = nullptr;
  int fullHeight_ = 0;
};

}  // namespace kestrova::mainwindow
