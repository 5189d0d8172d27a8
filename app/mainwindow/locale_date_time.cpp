#include "locale_date_time.hpp"

#include <QDateTime>
#include <QLocale>

#include "text.hpp"

namespace kestrova::mainwindow {

std::string LocaleDateTimeText::DateAndTime() {
  const QLocale locale = QLocale::system();
  const QDateTime now = QDateTime::currentDateTime();
  return ToCore(locale.toString(now.date(), QLocale::ShortFormat) + ' ' +
                locale.toString(now.time(), QLocale::LongFormat));
}

std::string LocaleDateTimeText::Time() {
  return ToCore(QLocale::system().toString(QTime::currentTime(), QLocale::LongFormat));
}

}  // namespace kestrova::mainwindow
