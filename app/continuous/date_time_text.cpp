#include "continuous/date_time_text.hpp"

#include <array>

namespace kestrova::continuous {

namespace {

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

std::string Format(const std::tm& time, const char* pattern) {
  std::array<char, 64> buffer{};
  const std::size_t length = std::strftime(buffer.data(), buffer.size(), pattern, &time);
  return std::string(buffer.data(), length);
}

}  // namespace

std::string FixedDateTimeText::DateAndTimeOf(const std::tm& time) {
  return Format(time, "%Y-%m-%d %H:%M:%S");
}

std::string FixedDateTimeText::TimeOf(const std::tm& time) {
  return Format(time, "%H:%M:%S");
}

std::string FixedDateTimeText::DateAndTime() {
  return DateAndTimeOf(LocalNow());
}

std::string FixedDateTimeText::Time() {
  return TimeOf(LocalNow());
}

}  // namespace kestrova::continuous
