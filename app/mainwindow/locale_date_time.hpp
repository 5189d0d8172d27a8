#pragma once
// The log file's date and time texts in the user's locale: the short date
// and the long time of QLocale::system(), in the log's single-byte text.

#include "continuous/date_time_text.hpp"

namespace kestrova::mainwindow {

class LocaleDateTimeText : public continuous::DateTimeText {
 public:
  std::string DateAndTime() override;
  std::string Time() override;
};

}  // namespace kestrova::mainwindow
