#pragma once
// Decimal numbers in definition attributes and display texts. The decimal
// point is always ".", whatever the user's locale says.

#include <string>
#include <string_view>

namespace kestrova::engine {

// The leading numeric part of the text: optional blanks, a sign, digits and a
// "." fraction; whatever follows is ignored. Text without such a part reads 0.
double LeadingNumber(std::string_view text);

// True when the whole text (blanks around it allowed) is one decimal number:
// a sign, digits and an optional "." fraction, at least one digit.
bool IsDecimalText(std::string_view text);

// `value` printed with a number pattern: "0" a digit that is always shown,
// "#" a digit shown only when needed, "." the decimal point, "," thousands
// grouping; characters before and after the digits are copied. Halves are
// rounded away from zero. An empty pattern prints the number in its general
// form (up to 15 significant digits). The named forms "General Number",
// "Fixed", "Standard" and "Percent" are understood too.
std::string FormatNumber(double value, std::string_view pattern);

}  // namespace kestrova::engine
