#pragma once
// What the transfer engine needs from the loaded part definition, read once
// per part: registers and bit fields with their addresses, bits, access and
// transfer-order rules and conditions. Current bit-field values are not kept
// here: they live in the definition's `value` attributes and are read fresh.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/field_bits.hpp"
#include "engine/register_images.hpp"

namespace kestrova::markup {
class MarkupStore;
}

namespace kestrova::engine {

// A field of the register at `address` compared with a value, as the
// conditions of `hide`, `attr` and `display` elements name it.
struct FieldCondition {
  std::int32_t address = 0;
  FieldBits bits;  // byte mode
  std::int64_t value = 0;

  bool Holds(const RegisterImages& images) const;
};

// The first `hide` child of a register or bit field.
struct HideCondition {
  bool present = false;
  FieldCondition field;
  bool negate = false;  // `not` "true": hidden when the field differs

  bool Hides(const RegisterImages& images) const;
};

// An `add` of `type` "attr": its access text and conditions.
struct AccessRule {
  std::string attr;
  std::vector<FieldCondition> conditions;
};

enum class OrderType { ReadFirst, ReadLast, WriteFirst, WriteLast };

// An `add` of `type` "readfirst", "readlast", "writefirst" or "writelast".
struct OrderRule {
  OrderType type = OrderType::ReadFirst;
  int order = 0;
  bool always = false;
  bool anyValue = true;  // `value` empty
  std::int64_t value = 0;
};

struct BitfieldLayout {
  int line = 0;  // xmlfileindex of the bit field
  std::int32_t readAddress = 0;
  std::int32_t writeAddress = 0;
  FieldBits byteBits;
  std::string attr;
  std::optional<std::int64_t> checkValue;
  HideCondition hide;
  std::vector<AccessRule> accessRules;
  std::vector<OrderRule> orderRules;
};

struct RegisterLayout {
  int line = 0;  // xmlfileindex of the register
  bool log = false;
  bool verify = false;
  bool usbOnly = false;
  std::string updateReg;  // the `updatereg` attribute (target address, hex)
  HideCondition hide;
  int firstBitfield = 0;  // index range into DefinitionLayout::bitfields
  int bitfieldCount = 0;
};

struct DefinitionLayout {
  bool hasPart = false;
  std::vector<RegisterLayout> registers;
  std::vector<BitfieldLayout> bitfields;
  int lineCount = 0;  // of the store when it was read
};

struct LayoutResult {
  DefinitionLayout layout;
  // Empty on success; otherwise what is wrong and where.
  std::string problem;
};

// Reads the layout of the definition in the store (cursor restored).
LayoutResult ReadDefinitionLayout(markup::MarkupStore& store);

// "line N of the part definition" for a store line: the file's own line number
// when the store knows it.
std::string DefinitionLineText(const markup::MarkupStore& store, int line);

}  // namespace kestrova::engine
