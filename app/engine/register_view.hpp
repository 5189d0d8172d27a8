#pragma once
// The facts the register panel shows, built from the session and the loaded
// definition alone: per register its bytes, assembled value and display
// text; per bit field its row (address caption, access, label, raw value,
// display text, units, control kind, lock state). The window lays these out
// as rows of controls; the command-line tool prints them.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/format_spec.hpp"

namespace kestrova::engine {

class Session;

// How a row edits its field.
enum class FieldControl {
  Bits,       // only the bit cells
  TextBox,    // a number in a text box, followed by its units
  Combo,      // a drop-down of named choices
  ScrollBar,  // a scroll bar over the raw range
};

struct ComboItem {
  std::string label;
  std::int64_t value = 0;  // `value` (hexadecimal), else the item's position
};

struct FieldRow {
  int registerLine = 0;  // xmlfileindex of the register
  int fieldLine = 0;     // xmlfileindex of the bit field
  std::string label;
  // Both addresses when read and write address differ ("01/\r\n81").
  std::string addressCaption;
  // The read address alone ("01"), as page captions compare it.
  std::string readAddressCaption;
  // The panel shows the caption only when the read address differs from the
  // previous shown row's.
  bool showsAddress = false;
  std::int32_t readAddress = 0;
  std::int32_t writeAddress = 0;
  std::string accessText;  // as the row shows it: "R", "W", "R/W" or empty
  bool readable = true;
  bool writable = true;
  bool readOnly = false;   // the row shows "R": its boxes are grey
  bool visible = true;     // `visible` is not "false"
  bool hidden = false;     // its `hide` condition holds
  bool timerLock = false;  // its drop-down locks while reading continuously
  // The register's first row edits the whole register value (the register's
  // own `textbox` or `scrollbar` is "true").
  bool editsRegister = false;
  FieldControl control = FieldControl::Bits;
  // The row shows a text box (with its units) and a scroll bar; both may.
  bool textBox = false;
  bool scrollBar = false;
  std::vector<ComboItem> choices;
  std::uint8_t byte = 0;  // the register byte at the field's read address
  int bitHigh = 0;        // the field's bits within that byte
  int bitLow = 0;
  int registerBitHigh = 0;  // and within the register value
  int registerBitLow = 0;
  bool noRegisterBits = false;  // `regbit` "none"
  std::int64_t raw = 0;         // the field value, or the register value when editsRegister
  std::string displayText;
  std::string units;  // with a text box or scroll bar only
  FormatSpec format;  // of the element the row edits
};

struct RegisterRow {
  int line = 0;  // xmlfileindex
  std::string title;
  std::string group;           // `grouptabname` of its group
  std::string addressCaption;  // of its first bit field, both addresses
  std::int32_t groupAddrMask = 0xFF;
  bool hidden = false;  // its `hide` condition holds
  bool log = false;
  bool writeOnce = false;
  bool textboxDisabled = false;         // `textbox` "disable": shown read-only
  std::vector<std::int32_t> addresses;  // distinct read addresses, in field order
  std::vector<std::uint8_t> bytes;      // the byte at each of them
  std::int64_t value = 0;               // assembled from the fields (register mode)
  std::string displayText;              // the value in the register's format
  std::string units;
  FormatSpec format;             // the register's own
  std::vector<FieldRow> fields;  // every bit field, hidden and invisible ones included
};

// The registers of the part in definition order, with what the panel would
// show for each (USB-only registers only on the USB link). Values come from
// the bit fields' `value` attributes, conditions from the shown bytes.
std::vector<RegisterRow> BuildRegisterView(Session& session);

// A run of registers: those whose xmlfileindex lies in [firstLine, lastLine],
// and the group address mask in effect at the first of them.
struct RegisterRange {
  int firstLine = 0;
  int lastLine = 0;
  std::int32_t groupAddrMask = 0xFF;
  std::string group;  // the group's name at the first of them
};

// The same for the registers of one run only, without walking the rest of
// the part (a page of the panel). Address captions start afresh at its first row.
std::vector<RegisterRow> BuildRegisterView(Session& session, const RegisterRange& range);

// The display text of a register or field value in a format. A scaled format
// without usable ranges shows the value in hexadecimal ("1Fh").
std::string FormatDisplayText(const FormatSpec& spec, std::int64_t raw);
// The engineering value behind that text: the scaled value, or the raw
// number where the format shows the raw number (or cannot scale).
double FormatDisplayValue(const FormatSpec& spec, std::int64_t raw);

// The text of a value shown only as bit cells: "0b" and its bits, as many as
// the field is wide.
std::string BitsText(std::int64_t value, int width);

// The item a choice list shows for a field value: the last item of that
// value, else the last item whose value is not above it; -1 when none is.
int ComboIndex(const std::vector<ComboItem>& choices, std::int64_t value);
// That item's label; empty when there is none.
std::string ComboText(const std::vector<ComboItem>& choices, std::int64_t value);

// The value of a register assembled from its bit fields' values (register
// mode), as the log and the panel show it.
std::int64_t RegisterValueFromFields(Session& session, int registerLine);

}  // namespace kestrova::engine
