#include "text.hpp"

#include "frontend/text_encoding.hpp"

namespace kestrova::mainwindow {

QString FromCore(std::string_view text) {
  QString result = QString::fromStdString(frontend::ToUtf8(text));
  result.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  return result;
}

std::string ToCore(const QString& text) {
  return text.toLatin1().toStdString();
}

std::string ToCorePath(const QString& text) {
  return text.toStdString();
}

}  // namespace kestrova::mainwindow
