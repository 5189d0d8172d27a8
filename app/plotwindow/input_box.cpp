#include "input_box.hpp"

#include <QInputDialog>

namespace kestrova::plotwindow {

namespace {

QString FromCore(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()))
      .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace

continuous::InputBox MakeInputBox(QWidget* owner) {
  return [owner](std::string_view prompt, std::string_view title, std::string_view defaultText) {
    bool ok = false;
    const QString answer = QInputDialog::getText(owner, FromCore(title), FromCore(prompt),
                                                 QLineEdit::Normal, FromCore(defaultText), &ok);
    return ok ? answer.toLatin1().toStdString() : std::string();
  };
}

}  // namespace kestrova::plotwindow
