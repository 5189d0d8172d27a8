#pragma once
// Walking the registers and bit fields of the loaded definition: positioning
// on `part`, then register by register and bit field by bit field, skipping
// what is hidden and what only exists behind the USB board. Callers save and
// restore the cursor around a walk (PushIndex/PopIndex).

#include <cstdint>
#include <functional>
#include <string_view>

#include "markup/markup_store.hpp"

namespace kestrova::definition {

// The current value of the field named by a condition element (`hide`, and
// the children of `attr` and `display` entries): the store's cursor is on the
// condition element, whose `addr`, `bit` and `regbit` name the field. The
// register engine supplies it from its byte images.
class ConditionValues {
 public:
  virtual ~ConditionValues() = default;
  virtual std::int32_t FieldValue(const markup::MarkupStore& store) const = 0;
};

// Condition values taken from one byte per register address: the byte at the
// condition's read address, reduced to the bits of its `bit` range (both ends
// taken modulo 8), as fields are cut from the bytes of a transfer.
class ByteImageConditionValues : public ConditionValues {
 public:
  using ByteAt = std::function<std::uint8_t(std::int32_t address)>;
  explicit ByteImageConditionValues(ByteAt byteAt) : byteAt_(std::move(byteAt)) {}
  std::int32_t FieldValue(const markup::MarkupStore& store) const override;

 private:
  ByteAt byteAt_;
};

// True when the condition element at the cursor holds: the named field's
// current value equals the element's `value` (hexadecimal).
bool ConditionHolds(const markup::MarkupStore& store, const ConditionValues& values);

struct WalkOptions {
  // Apply `hide` conditions (needs `values`). The panel hides; transfers do not.
  bool applyHiding = false;
  const ConditionValues* values = nullptr;
  // The part is reached through the USB board; otherwise registers whose `usb`
  // is "true" are skipped.
  bool usbLink = true;
  // Group bookkeeping, run for each register reached whose `grouptabname` is
  // not empty (the register panel builds its group tabs from it while loading).
  std::function<void(std::string_view groupName)> onGroup;
};

// The group address mask every address is shown with until a group sets one.
inline constexpr std::int32_t kDefaultGroupAddrMask = 0xFF;

class DefinitionWalk {
 public:
  DefinitionWalk(markup::MarkupStore& store, WalkOptions options);

  // Cursor on the root `definition`, then on its first `part`. False (and the
  // walk finds no registers) when either is missing.
  bool PositionOnPart();
  // With the cursor on `part` or on a register: the next register that is
  // neither hidden nor USB-only on another link. False at the end of the part.
  bool FindNextRegister();
  // With the cursor on a register or one of its bit fields: the next bit field
  // of the register that is not hidden. False at the end of the register.
  bool FindNextBitfield();

  // The `groupaddrmask` of the group of the register reached last.
  std::int32_t GroupAddrMask() const { return groupAddrMask_; }

  // True when the element at the cursor (a register at `childLevel` - 1, or a
  // bit field) is hidden by its first `hide` child at `childLevel`. The cursor
  // is left where it was.
  static bool IsHidden(markup::MarkupStore& store, int childLevel, const ConditionValues& values);

 private:
  markup::MarkupStore& store_;
  WalkOptions options_;
  std::int32_t groupAddrMask_ = kDefaultGroupAddrMask;
};

}  // namespace kestrova::definition
