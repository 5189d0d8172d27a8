#pragma once
// One QApplication and one emulated bench for the test program, the options
// of a window on the emulated board, and a way to act on the modal dialog a
// call is about to run.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
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

// Chips whose temperature stands still away from the definitions' start-up
// values, so every read gives the same bytes: the demo at 48 is only read;
// the demo at 49 is the one a test may write. The emulator builds its bench
// once per process, so every test of the program shares this one, in any
// order.
inline constexpr char kStillScenario[] =
    "<definition>\r\n"
    " <temperature name=\"still\" mean=\"31.5\" amplitude=\"0\" period=\"60\" noise=\"0\"/>\r\n"
    " <chip device=\"demo\" bus=\"i2c\" addr=\"48\" source=\"still\"/>\r\n"
    " <chip device=\"demo\" bus=\"i2c\" addr=\"49\" source=\"still\"/>\r\n"
    " <board class=\"highspeed\" vid=\"0400\" pid=\"1100\"/>\r\n"
    "</definition>\r\n";

inline void EnsureApplication() {
  static int argc = 1;
  static char name[] = "mainwindow_test";
  static char* argv[] = {name, nullptr};
  if (QApplication::instance() == nullptr) {
    new QApplication(argc, argv);
  }
  static QTemporaryDir folder;
  static const bool scenarioSet = [] {
    QFile file(folder.filePath("still.scn"));
    const bool written = file.open(QIODevice::WriteOnly) && file.write(kStillScenario) > 0;
    file.close();
    // The emulated board starts bare.
    return written && qputenv("DRAVIK_EMULATOR_SCENARIO", file.fileName().toLocal8Bit()) &&
           qputenv("DRAVIK_EMULATOR_STATE", "");
  }();
  ASSERT_TRUE(scenarioSet);
}

// A window on the emulated board over USB, its program folder in `home`.
// Without a device, the startup file names the part.
inline WindowOptions OnEmulatedBoard(const std::string& home,
                                     std::optional<std::string> device = std::nullopt) {
  WindowOptions options;
  options.home = home;
  options.device = std::move(device);
  options.link = "usb";
  options.emulatedBoard = true;
  return options;
}

// Runs `act` on the modal `Dialog` the next call shows, once it stands (the
// call may run the event loop before: a part's start shows its splash).
template <typename Dialog>
void OnNextModal(std::function<void(Dialog*)> act, int delayMs = 0, int triesLeft = 500) {
  QTimer::singleShot(delayMs, [act = std::move(act), triesLeft] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr && triesLeft > 0) {
      OnNextModal<Dialog>(act, 10, triesLeft - 1);
      return;
    }
    auto* dialog = qobject_cast<Dialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    act(dialog);
  });
}

// The next file dialog chooses `path`.
inline void ChooseInNextFileDialog(const std::string& path) {
  OnNextModal<QFileDialog>([path](QFileDialog* dialog) {
    dialog->selectFile(QString::fromStdString(path));
    static_cast<QDialog*>(dialog)->accept();
  });
}

}  // namespace kestrova::mainwindow::testing
