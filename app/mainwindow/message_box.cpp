#include "message_box.hpp"

#include <QMessageBox>

#include "markup/message_box.hpp"
#include "text.hpp"

namespace kestrova::mainwindow {

namespace {

QMessageBox::StandardButtons ButtonsOf(int style) {
  switch (style) {
    case markup::MB_YESNOCANCEL:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case markup::MB_YESNO:
      return QMessageBox::Yes | QMessageBox::No;
    default:
      return QMessageBox::Ok;
  }
}

int ResultOf(int button) {
  switch (button) {
    case QMessageBox::Yes:
      return markup::IDYES;
    case QMessageBox::No:
      return markup::IDNO;
    case QMessageBox::Cancel:
      return markup::IDCANCEL;
    default:
      return markup::IDOK;
  }
}

}  // namespace

int ShowMessageBox(QWidget* owner, std::string_view prompt, int buttons) {
  QWidget* window = owner != nullptr ? owner->window() : nullptr;
  QMessageBox box(window);
  box.setObjectName("MessageBox");
  box.setWindowTitle(window != nullptr ? window->windowTitle() : QString());
  box.setTextFormat(Qt::PlainText);
  box.setText(FromCore(prompt));
  const QMessageBox::StandardButtons standard = ButtonsOf(buttons);
  box.setStandardButtons(standard);
  // The first button is the default, as on the platform the files come from.
  box.setDefaultButton(standard.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok);
  box.raise();
  box.activateWindow();
  const int pressed = box.exec();
  // Escape and the frame's close box answer Cancel, or No where there is none.
  return ResultOf(pressed);
}

}  // namespace kestrova::mainwindow
