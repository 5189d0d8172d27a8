// kestrova: the program's main window on a part of the user's choice.
#include <QApplication>

#include "close_on_signals.hpp"
#include "command_line.hpp"
#include "form1.hpp"

int main(int argc, char** argv) {
  using namespace kestrova::mainwindow;
  QCoreApplication::setApplicationName("kestrova");
  QCoreApplication::setApplicationVersion(KESTROVA_VERSION);
  WindowOptions options;
  {
    // --help and --version answer without a display.
    const QCoreApplication probe(argc, argv);
    if (ParseWindowOptions(QCoreApplication::arguments(), options, false) ==
        CommandLineResult::Exit) {
      return 0;
    }
  }
  QApplication application(argc, argv);
  if (ParseWindowOptions(QApplication::arguments(), options, true) != CommandLineResult::Run) {
    return 2;
  }
  Form1 window(options);
  CloseOnSignals closeOnSignals(window);
  if (!window.Load()) {
    return 1;
  }
  window.show();
  closeOnSignals.Arm();
  return QApplication::exec();
}
