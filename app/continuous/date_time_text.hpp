#pragma once
// The date and time texts of the log file. The window prints them in the
// user's locale (short date and long time); without a locale, as in the
// command-line tool, a fixed form is used: "2024-05-03 14:02:11" and
// "14:02:11".

#include <ctime>
#include <string>

namespace kestrova::continuous {

class DateTimeText {
 public:
  virtual ~DateTimeText() = default;
  // The current date and time (header block).
  virtual std::string DateAndTime() = 0;
  // The current time (each row).
  virtual std::string Time() = 0;
};

// Local time as "YYYY-MM-DD HH:MM:SS" and "HH:MM:SS".
class FixedDateTimeText : public DateTimeText {
 public:
  std::string DateAndTime() override;
  std::string Time() override;

  // The two forms of a given local time.
  static std::string DateAndTimeOf(const std::tm& time);
  static std::string TimeOf(const std::tm& time);
};

}  // namespace kestrova::continuous
