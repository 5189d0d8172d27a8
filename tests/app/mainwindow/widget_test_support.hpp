#pragma once
// One QApplication for the test program, the options of a window on the
// emulated board, and a way to act on the modal dialog a call is about to run.

#include <QApplication>
#include <QTimer>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "mainwindow/command_line.hpp"

// Failures print texts as text.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << text.toStdString();
}

namespace kestrova::mainwindow::testing {

inline void EnsureApplication() {
  static int argc = 1;
  static char name[] = "mainwindow_test";
  static char* argv[] = {name, nullptr};
  if (QApplication::instance() == nullptr) {
    new QApplication(argc, argv);
  }
}

// A window on the emulated board over USB, its program folder in `home`.
// Without a device, the startup file names the part.
inline WindowOptions OnEmulatedBoard(const QString& home,
                                     std::optional<std::string> device = std::nullopt) {
  WindowOptions options;
  options.home = home.toStdString();
  options.device = std::move(device);
  options.link = "usb";
  options.emulatedBoard = true;
  return options;
}

// Runs `act` on the modal dialog once the next event loop has shown it.
inline void OnNextModal(std::function<void(QWidget*)> act) {
  QTimer::singleShot(0, [act = std::move(act)] { act(QApplication::activeModalWidget()); });
}

}  // namespace kestrova::mainwindow::testing
