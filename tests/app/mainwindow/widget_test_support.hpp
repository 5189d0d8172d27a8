#pragma once
// One QApplication for the test program, and a way to act on the modal
// dialog a call is about to run.

#include <QApplication>
#include <QTimer>
#include <functional>
#include <ostream>

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

// Runs `act` on the modal dialog once the next event loop has shown it.
inline void OnNextModal(std::function<void(QWidget*)> act) {
  QTimer::singleShot(0, [act = std::move(act)] { act(QApplication::activeModalWidget()); });
}

}  // namespace kestrova::mainwindow::testing
