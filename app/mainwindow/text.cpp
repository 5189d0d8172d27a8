#include "text.hpp"

#include <QStringDecoder>

namespace kestrova::mainwindow {

QString FromCore(std::string_view text) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString result = utf8(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
  if (utf8.hasError()) {
    result = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  }
  result.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  return result;
}

std::string ToCorePath(const QString& text) {
  return text.toStdString();
}

}  // namespace kestrova::mainwindow
