#pragma once
// Numbers printed with a format's number pattern. The decimal point is
// always ".", whatever the user's locale says.

#include <string>
#include <string_view>

namespace kestrova::engine {

// `value` printed with a number pattern: "0" a digit that is always shown,
// "#" a digit shown only when needed, "." the decimal point, "," thousands
// grouping; characters before and after the digits are copied. Halves are
// rounded away from zero. An empty pattern prints the number in its general
// form (up to 15 significant digits, never with an exponent). The named forms "General Number",
// "Fixed", "Standard" and "Percent" are understood too.
std::string FormatNumber(double value, std::string_view pattern);

// The shortest decimal text without an exponent that reads back as `value`
// ("inf" and "nan" for what is no number), for messages.
std::string PlainNumber(double value);

}  // namespace kestrova::engine
