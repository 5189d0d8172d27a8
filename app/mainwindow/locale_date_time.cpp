#include "locale_date_time.hpp"

#include <QDateTime>
#include <QLocale>

namespace kestrova::mainwindow {

namespace {

// The log is single-byte text: what Latin-1 lacks becomes "?".
std::string ToLogText(const QString& text) {
  return text.toLatin1().toStdString();
}

}  // namespace

std::string LocaleDateTimeText::DateAndTime() {
  const QLocale locale = QLocale::system();
  const QDateTime now = QDateTime::currentDateTime();
  return ToLogText(locale.toString(now.date(), QLocale::ShortFormat) + ' ' +
                   locale.toString(now.time(), QLocale::LongFormat));
}

std::string LocaleDateTimeText::Time() {
  return ToLogText(QLocale::system().toString(QTime::currentTime(), QLocale::LongFormat));
}

}  // namespace kestrova::mainwindow
