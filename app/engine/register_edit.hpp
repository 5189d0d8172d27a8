#pragma once
// Editing registers and bit fields without widgets, in the panel's two steps.
// Staging: a field set from the text a user types (a number in the field's
// display units, or a choice's label), from a raw value (a scroll bar's), or
// a register byte from hexadecimal digits; the change reaches the bit fields'
// values in the definition and is marked pending, nothing is stored or
// written. Committing (Enter, leaving the box, a click): the staged bytes are
// stored, dependent registers recomputed, and written at once when "Write On
// Change" asks. Also the prompt about pending changes and the re-read.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/register_operations.hpp"

namespace kestrova::engine {

class Session;

// A new byte of a register: its read address, the write address of its bit
// fields, and the value.
struct RegisterByte {
  std::int32_t readAddress = 0;
  std::int32_t writeAddress = 0;
  std::uint8_t value = 0;
};

// Edit state of the front end (the window's check box and button states).
struct EditState {
  bool writeNow = false;          // "Write On Change" is ticked
  bool writeRegsEnabled = false;  // "Write Regs" is enabled: a change is pending
  bool pendingChange = false;     // a register value changed since the last write on change
  // The bytes staged since the last commit, which CommitEdit stores.
  std::vector<RegisterByte> staged;
};

enum class EditError {
  None,
  NoSuchField,   // no bit field or register byte answers to the name
  ReadOnly,      // the field is read-only
  NotNumeric,    // the text is not a number the field takes
  OutOfRange,    // the number lies outside the field's display range
  NoSuchChoice,  // no choice of the drop-down has this label
  TooWide,       // the value does not fit the field's bits
  NotHex,        // a register byte that is not 1 or 2 hexadecimal digits
  NotWritable,   // the register byte is hidden or no field of it can be written
};

struct EditOutcome {
  EditError error = EditError::None;
  std::string message;   // why it was refused (empty on success)
  bool limited = false;  // the number was brought into the display range
  std::int64_t raw = 0;  // the raw value set
  // Registers the change recomputed through `updatereg`, with their source.
  std::vector<DependentUpdate> dependents;
};

struct EditOptions {
  // Out-of-range numbers are limited to the display range, as the panel's
  // text box does, instead of being refused.
  bool limitToRange = false;
  // SetFieldText and SetRegisterByte commit as Enter does (a `writeonce`
  // register is written on change too).
  bool force = false;
};

// A number typed for a text box: a decimal number ("12.5", "-3"); for a
// field shown in hexadecimal (`hexFormat`) also "1Fh" or "0x1F".
std::optional<double> ParseFieldNumber(std::string_view text, bool hexFormat);

// Stages the bit field at `fieldLine` from display text: a number for a text
// box or scroll bar (a register's first row takes the whole register value),
// a choice's label (or its value) for a drop-down, a number ("0b", "0x" or
// decimal) for a field shown only as bits.
EditOutcome StageFieldText(Session& session, EditState& edit, int fieldLine, std::string_view text,
                           const EditOptions& options = {});

// Stages the bit field at `fieldLine` from a raw value (a scroll bar's value
// plus its offset): the field's own raw number, or the register value on a
// register's first row. Negative values count as 16-bit words, a register
// value wider than that in two's complement of its width.
EditOutcome StageFieldValue(Session& session, EditState& edit, int fieldLine, std::int64_t raw);

// Stages the register byte at read address `address` from hexadecimal text.
EditOutcome StageRegisterByte(Session& session, EditState& edit, std::int32_t address,
                              std::string_view hexText);

// Stages new bytes of the register at `registerLine`: the values of its bit
// fields at those addresses follow, and the register is marked pending.
void StageRegisterBytes(Session& session, EditState& edit, int registerLine,
                        const std::vector<RegisterByte>& bytes);

// Commits what is staged: the bytes are stored, dependent registers
// recomputed, the pending changes written when "Write On Change" was ticked at
// the change (a `writeonce` register only when `force`, that is Enter), and
// the panel is redrawn. Returns the dependent registers recomputed.
std::vector<DependentUpdate> CommitEdit(Session& session, EditState& edit, bool force);

// A whole edit at once, as typed and confirmed with Enter when
// `options.force`, else as the box was left: the stage, then CommitEdit.
EditOutcome SetFieldText(Session& session, EditState& edit, int fieldLine, std::string_view text,
                         const EditOptions& options = {});
EditOutcome SetRegisterByte(Session& session, EditState& edit, std::int32_t address,
                            std::string_view hexText, const EditOptions& options = {});

// "Write Regs": the pending changes written (`write`) or thrown away, with
// what is staged; "Write Regs" disabled and the panel redrawn.
void SettlePendingChanges(Session& session, EditState& edit, bool write);

// Offers to write pending changes: 7 (no) when none are pending, 6 (yes)
// without asking when "Write On Change" is ticked, else the answer to "Write
// Modified Registers?" (6, 7 or 2 for cancel). Yes writes, No and Cancel
// discard the changes.
int PendingWritePrompt(Session& session, EditState& edit);

// Offers to write pending changes, then reads every register again (nothing
// when the answer was Cancel). True when the read ran and succeeded.
bool ResyncRegisters(Session& session, EditState& edit);

// The question asked about pending changes.
inline constexpr const char* kWriteModifiedQuestion = "Write Modified Registers?";

}  // namespace kestrova::engine
