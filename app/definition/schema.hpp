#pragma once
// Typed readers for the attributes of a register definition, with the
// defaults of the file format. Each reads the element at the store's cursor
// and never moves the cursor.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "markup/markup_store.hpp"

namespace kestrova::definition {

// --- Value forms -------------------------------------------------------------

// An attribute split around its first ":" after upper-casing; without a colon
// both halves are the whole text.
// The highest register address a definition may name (the byte images of
// the engine hold 32768 addresses).
inline constexpr std::int32_t kMaxRegisterAddress = 0x7FFF;

// The `order` of a transfer-order rule: a whole number from 1 to 255.
std::optional<int> ParseTransferOrder(std::string_view text);

struct TextPair {
  std::string first;
  std::string second;
};
TextPair SplitPair(const markup::MarkupStore& store, std::string_view name);

// `addr`: a read address and a write address (hexadecimal texts), or one
// address for both. Board registers start at 0x400.
struct AddressPair {
  std::string read;
  std::string write;
};
AddressPair ReadAddressPair(const markup::MarkupStore& store);

// A bit range ("7:4", or "3" for one bit), each end by its leading number.
struct BitRange {
  int high = 0;
  int low = 0;
};
BitRange ReadBitRange(const markup::MarkupStore& store, std::string_view name);

// `regbit`: absent or empty, "none" (no bits in the register), or a range.
struct RegBit {
  enum class Kind { kAbsent, kNone, kRange };
  Kind kind = Kind::kAbsent;
  BitRange range;
};
RegBit ReadRegBit(const markup::MarkupStore& store);

// `input` / `display`: two decimal numbers as written (first half, second half).
struct RealRange {
  bool present = false;
  double first = 0;
  double second = 0;
};
RealRange ReadRealRange(const markup::MarkupStore& store, std::string_view name);

// A flag: exactly "true" is yes.
bool ReadFlag(const markup::MarkupStore& store, std::string_view name);
// A hexadecimal attribute; empty when absent, empty or not hexadecimal.
std::optional<std::int32_t> ReadHex(const markup::MarkupStore& store, std::string_view name);
// A decimal attribute by its leading number; empty when absent or empty.
std::optional<double> ReadDecimal(const markup::MarkupStore& store, std::string_view name);

// Access of a bit field: "R" read-only, "W" write-only, anything else both.
enum class Access { kReadWrite, kRead, kWrite };
Access ParseAccess(std::string_view text);
// The access as the panel shows it: "R", "W" or "R/W".
std::string_view AccessText(Access access);

// --- Elements ------------------------------------------------------------------

struct PartInfo {
  std::string label;
};
PartInfo ReadPart(const markup::MarkupStore& store);

// `driver`/`add`: one hardware link.
struct DriverEntry {
  std::string type;  // lower case: "usb", "ich", ...
  std::string label;
  std::string driver;  // defaults "dravik" (usb) and "dravik_i2c" (ich)
  std::optional<std::int32_t> vid;
  std::optional<std::int32_t> pid;
  std::optional<int> port;  // `Part`, only when numeric
};
DriverEntry ReadDriverEntry(const markup::MarkupStore& store);

// `driver`/`add`/`port`: a board register written when the USB link opens.
struct PortSetting {
  std::optional<std::int32_t> addr;
  std::optional<std::int32_t> value;
};
PortSetting ReadPortSetting(const markup::MarkupStore& store);

struct InterfaceInfo {
  std::string type;  // "i2c", "microwire", "singlewire", "nochip", "microwirefour", "spiqx5"
};
InterfaceInfo ReadInterface(const markup::MarkupStore& store);

// `interface`/`addr`: the chip's default bus address and the selector caption.
struct ChipAddress {
  std::optional<std::int32_t> value;
  std::string label;
};
ChipAddress ReadChipAddress(const markup::MarkupStore& store);

enum class RegisterTextbox { kNo, kTrue, kDisable };

struct RegisterInfo {
  std::string groupTabName;
  std::int32_t groupAddrMask = 0xFF;  // only with a non-empty group name; FF unless hex
  bool usb = false;
  bool writeOnStartup = false;
  bool readAfterWriteOnStartup = false;
  bool log = false;
  std::string title;
  std::string updateReg;
  bool writeOnce = false;
  bool verify = false;
  RegisterTextbox textbox = RegisterTextbox::kNo;
  bool scrollbar = false;
};
RegisterInfo ReadRegister(const markup::MarkupStore& store);

struct BitfieldInfo {
  std::string label;
  AddressPair addr;
  BitRange bit;
  RegBit regBit;
  Access access = Access::kReadWrite;
  std::optional<std::int32_t> value;
  std::optional<std::int32_t> checkValue;  // empty when absent or empty
  bool visible = true;                     // only "false" hides
  bool textbox = false;
  bool scrollbar = false;
  std::string units;
  std::string format;
  RealRange input;
  RealRange display;
  std::optional<std::int32_t> displayDivReg;
  std::optional<double> displayRegMin;
  std::optional<double> displayMax;
  std::string displayAddr;
};
BitfieldInfo ReadBitfield(const markup::MarkupStore& store);

// A condition (`hide`, `attr` child, `display` child): a field and a value.
struct ConditionInfo {
  AddressPair addr;
  BitRange bit;
  RegBit regBit;
  std::optional<std::int32_t> value;
  bool negate = false;  // `not` "true" (read on `hide` only)
};
ConditionInfo ReadCondition(const markup::MarkupStore& store);

// `add` `type`="combo" under a bit field.
struct ComboList {
  bool timerLock = false;
};
ComboList ReadComboList(const markup::MarkupStore& store);

// `combo`: one choice; without `value` the choice's value is its position.
struct ComboChoice {
  std::string label;
  std::optional<std::int32_t> value;
};
ComboChoice ReadComboChoice(const markup::MarkupStore& store);

// `add` `type`="attr": the access that applies when all its conditions hold.
struct AttrRule {
  Access access = Access::kReadWrite;
};
AttrRule ReadAttrRule(const markup::MarkupStore& store);

// `add` `type`="display": ranges that apply when all its conditions hold.
struct DisplayAlternative {
  RealRange input;
  RealRange display;
};
DisplayAlternative ReadDisplayAlternative(const markup::MarkupStore& store);

// `updatereg` under `add` `type`="updatereg".
struct UpdateRegRule {
  std::optional<std::int32_t> addr;
  std::string type;  // "ignore" or "display"
  std::optional<std::int32_t> value;
};
UpdateRegRule ReadUpdateRegRule(const markup::MarkupStore& store);

// `add` with `type` "writefirst", "writelast", "readfirst" or "readlast".
struct OrderRule {
  std::string type;
  std::string valueText;              // empty: any value
  std::optional<std::int32_t> value;  // the value when valueText is hexadecimal
  bool always = false;
  std::string order;
};
OrderRule ReadOrderRule(const markup::MarkupStore& store);

}  // namespace kestrova::definition
