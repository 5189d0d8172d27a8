#pragma once
// How a register's or bit field's raw value maps onto the engineering value
// the user reads, and the conversions between raw numbers and display texts.

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrova::engine {

struct FormatSpec {
  std::string format;  // "hex", "dec" or a number pattern
  double inMin = 0;    // raw range; inMin <= inMax after normalising
  double inMax = 255;
  double dispMin = 0;  // engineering values at inMin and inMax
  double dispMax = 255;
  double limit = 255;     // the largest value that may be entered
  bool inverted = false;  // `input` was written high:low; the mapping is reciprocal
};

// True for the formats that show the raw value itself ("hex", "dec").
bool IsRawFormat(std::string_view format);

// The spec of the raw formats: 0..255 shown as 0..255.
FormatSpec RawFormatSpec(std::string_view format);

// The smallest value that may be entered: the lower end of the display range,
// which a falling range (display 100:0) writes second.
double EntryLow(const FormatSpec& spec);

// Marks the format inverted when inMin > inMax and puts the range in order.
void NormaliseRange(FormatSpec& spec);

// The raw number brought into [inMin, inMax]; a byte read as unsigned turns
// negative for signed ranges (input -128:127 turns 200 into -56).
double ClampRaw(const FormatSpec& spec, double raw);

// The engineering value of a raw number (before printing).
double RawToDisplayValue(const FormatSpec& spec, double raw);

// The display text of a raw number: "hex" as at least two digits and "h", "dec" as a
// whole number, anything else through the format text as number pattern.
std::string RawToDisplayText(const FormatSpec& spec, double raw);

// Registers of up to 16 bits take negative raw numbers as 16-bit words.
inline constexpr int kWordBits = 16;

// The raw number of a display text, rounded to a whole number (halves up);
// negative raw numbers come back as 16-bit two's complement (0..65535).
std::int64_t DisplayTextToRaw(const FormatSpec& spec, std::string_view text);

// The same for a number the program already holds: it never goes through a
// text on the way. A register value wider than a word takes its negative
// numbers in two's complement of its own width (`wordBits`), else its upper
// bytes would be written as 0.
std::int64_t DisplayValueToRaw(const FormatSpec& spec, double value, int wordBits = kWordBits);

}  // namespace kestrova::engine
