#include "engine/register_edit.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

#include "definition/numbers.hpp"
#include "definition/walk.hpp"
#include "engine/field_bits.hpp"
#include "engine/number_pattern.hpp"
#include "engine/register_operations.hpp"
#include "engine/register_view.hpp"
#include "engine/session.hpp"
#include "markup/markup_store.hpp"
#include "markup/message_box.hpp"

namespace kestrova::engine {

namespace {

using definition::HexToLong;

constexpr int kFieldHideLevel = 4;
// Raw values of negative numbers come back as 16-bit two's complement.
constexpr std::int64_t kWordSpan = std::int64_t{1} << kWordBits;
constexpr std::int64_t kLargestPositiveWord = kWordSpan / 2 - 1;

EditOutcome Refuse(EditError error, std::string message) {
  EditOutcome outcome;
  outcome.error = error;
  outcome.message = std::move(message);
  return outcome;
}

// "0b101", "0x1F" or a decimal whole number; nothing else.
std::optional<std::int64_t> ParseWholeNumber(std::string_view text) {
  auto digits = [](std::string_view body, int base) -> std::optional<std::int64_t> {
    if (body.empty() || body.size() > 16) {
      return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), value, base);
    if (ec != std::errc() || end != body.data() + body.size() || value < 0) {
      return std::nullopt;
    }
    return value;
  };
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'b' || text[1] == 'B')) {
    return digits(text.substr(2), 2);
  }
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    return digits(text.substr(2), 16);
  }
  if (!text.empty() && text[0] == '-') {
    const auto magnitude = digits(text.substr(1), 10);
    return magnitude ? std::optional<std::int64_t>(-*magnitude) : std::nullopt;
  }
  return digits(text, 10);
}

std::string LowerCase(std::string_view text) {
  return definition::LowerCase(text);
}

const ComboItem* FindChoice(const std::vector<ComboItem>& choices, std::string_view text) {
  for (const ComboItem& item : choices) {
    if (item.label == text) {
      return &item;
    }
  }
  const ComboItem* found = nullptr;
  for (const ComboItem& item : choices) {
    if (LowerCase(item.label) == LowerCase(text)) {
      if (found != nullptr) {
        return nullptr;  // two choices differ only in case: say which one
      }
      found = &item;
    }
  }
  if (found != nullptr) {
    return found;
  }
  if (const auto number = ParseWholeNumber(text)) {
    for (const ComboItem& item : choices) {
      if (item.value == *number) {
        return &item;
      }
    }
  }
  return nullptr;
}

std::string ChoiceList(const std::vector<ComboItem>& choices) {
  std::string text;
  for (const ComboItem& item : choices) {
    text += text.empty() ? "\"" : ", \"";
    text += item.label + "\"";
  }
  return text;
}

FieldBits ByteBitsOf(const FieldRow& row) {
  return FieldBits{row.bitHigh, row.bitLow, false};
}
FieldBits RegisterBitsOf(const FieldRow& row) {
  return FieldBits{row.registerBitHigh, row.registerBitLow, row.noRegisterBits};
}

int Width(const FieldBits& bits) {
  return bits.hi >= bits.lo ? bits.hi - bits.lo + 1 : 0;
}

// The bytes of the register after one field (or the whole register value)
// took a new value.
std::vector<RegisterByte> BytesWithField(const RegisterRow& reg, const FieldRow& edited,
                                         std::int64_t value) {
  std::vector<RegisterByte> bytes;
  for (std::size_t i = 0; i < reg.addresses.size(); ++i) {
    RegisterByte byte;
    byte.readAddress = reg.addresses[i];
    byte.value = reg.bytes[i];
    const auto field = std::find_if(reg.fields.begin(), reg.fields.end(), [&](const FieldRow& f) {
      return f.readAddress == byte.readAddress;
    });
    byte.writeAddress = field->writeAddress;
    bytes.push_back(byte);
  }
  auto place = [&](const FieldRow& field, std::int64_t fieldValue) {
    for (RegisterByte& byte : bytes) {
      if (byte.readAddress == field.readAddress) {
        const FieldBits bits = ByteBitsOf(field);
        const std::int64_t cleared = byte.value & ~FieldMask(bits);
        byte.value = static_cast<std::uint8_t>(cleared | (PlaceField(fieldValue, bits) & 0xFF));
      }
    }
  };
  if (edited.editsRegister) {
    for (const FieldRow& field : reg.fields) {
      if (!field.noRegisterBits) {
        place(field, ExtractField(value, RegisterBitsOf(field)));
      }
    }
  } else {
    place(edited, value);
  }
  return bytes;
}

// Finds the register and row of a bit field line that can be edited: the
// refusal when there is none or it is read-only.
EditOutcome FindEditableRow(const std::vector<RegisterRow>& view, int fieldLine,
                            const RegisterRow*& reg, const FieldRow*& row) {
  for (const RegisterRow& r : view) {
    for (const FieldRow& f : r.fields) {
      if (f.fieldLine == fieldLine) {
        reg = &r;
        row = &f;
        return f.readOnly ? Refuse(EditError::ReadOnly, f.label + " is read-only") : EditOutcome{};
      }
    }
  }
  return Refuse(EditError::NoSuchField, "no bit field at line " + std::to_string(fieldLine));
}

// A raw value for the row: a field keeps its own bits, negative values (16-bit
// words above 32767 count as negative) in two's complement of its width.
EditOutcome FitFieldRaw(const FieldRow& row, std::string_view text, std::int64_t& raw) {
  if (row.editsRegister) {
    return {};
  }
  const std::int64_t signedRaw = raw > kLargestPositiveWord ? raw - kWordSpan : raw;
  const int width = Width(ByteBitsOf(row));
  const std::int64_t span = std::int64_t{1} << width;
  if (signedRaw >= span || signedRaw < -span / 2) {
    return Refuse(EditError::TooWide, row.label + ": " + std::string(text) + " gives raw value " +
                                          std::to_string(signedRaw) + ", which does not fit " +
                                          std::to_string(width) + " bits");
  }
  raw = signedRaw & (span - 1);
  return {};
}

// The width at which a row's negative raw values wrap: a field's are 16-bit
// words (FitFieldRaw cuts them to the field), a register value wider than
// that wraps at its own width.
int WordBitsOf(const RegisterRow& reg, const FieldRow& row) {
  int bits = kWordBits;
  if (row.editsRegister) {
    for (const FieldRow& field : reg.fields) {
      if (!field.noRegisterBits) {
        bits = std::max(bits, field.registerBitHigh + 1);
      }
    }
  }
  return bits;
}

EditOutcome NumberForTextBox(const RegisterRow& reg, const FieldRow& row, std::string_view text,
                             const EditOptions& options, std::int64_t& raw) {
  const FormatSpec& spec = row.format;
  const std::optional<double> number = ParseFieldNumber(text, spec.format == "hex");
  // Digits beyond the largest double still make a number: one outside any range.
  if (!number || std::isnan(*number)) {
    return Refuse(EditError::NotNumeric,
                  row.label + ": \"" + std::string(text) + "\" is not a number");
  }
  EditOutcome outcome;
  const double low = EntryLow(spec);
  const double high = spec.limit;
  if (*number < low || *number > high) {
    if (!options.limitToRange) {
      return Refuse(EditError::OutOfRange, row.label + ": " + std::string(text) +
                                               " is outside the display range " + PlainNumber(low) +
                                               " to " + PlainNumber(high));
    }
    outcome.limited = true;
  }
  const double value = std::clamp(*number, std::min(low, high), std::max(low, high));
  raw = DisplayValueToRaw(spec, value, WordBitsOf(reg, row));
  if (const EditOutcome fitted = FitFieldRaw(row, text, raw); fitted.error != EditError::None) {
    return fitted;
  }
  return outcome;
}

}  // namespace

std::optional<double> ParseFieldNumber(std::string_view text, bool hexFormat) {
  if (hexFormat) {
    std::string_view body = text;
    if (body.size() > 1 && (body.back() == 'h' || body.back() == 'H')) {
      body.remove_suffix(1);
      if (const auto value = definition::ParseHex(body)) {
        return static_cast<double>(*value);
      }
      return std::nullopt;
    }
    if (body.size() > 2 && body[0] == '0' && (body[1] == 'x' || body[1] == 'X')) {
      if (const auto value = definition::ParseHex(body.substr(2))) {
        return static_cast<double>(*value);
      }
      return std::nullopt;
    }
  }
  return definition::ParseDecimal(text);
}

EditOutcome StageFieldText(Session& session, EditState& edit, int fieldLine, std::string_view text,
                           const EditOptions& options) {
  const std::vector<RegisterRow> view = BuildRegisterView(session);
  const RegisterRow* reg = nullptr;
  const FieldRow* row = nullptr;
  if (EditOutcome found = FindEditableRow(view, fieldLine, reg, row);
      found.error != EditError::None) {
    return found;
  }
  EditOutcome outcome;
  std::int64_t raw = 0;
  switch (row->control) {
    case FieldControl::Combo: {
      const ComboItem* item = FindChoice(row->choices, text);
      if (item == nullptr) {
        return Refuse(EditError::NoSuchChoice, row->label + ": \"" + std::string(text) +
                                                   "\" is not one of " + ChoiceList(row->choices));
      }
      raw = item->value;
      break;
    }
    case FieldControl::TextBox:
    case FieldControl::ScrollBar:
      outcome = NumberForTextBox(*reg, *row, text, options, raw);
      if (outcome.error != EditError::None) {
        return outcome;
      }
      break;
    case FieldControl::Bits: {
      const auto number = ParseWholeNumber(text);
      if (!number) {
        return Refuse(EditError::NotNumeric,
                      row->label + ": \"" + std::string(text) + "\" is not a number");
      }
      raw = *number;
      break;
    }
  }
  if (!row->editsRegister) {
    const int width = Width(ByteBitsOf(*row));
    if (raw < 0 || raw >= (std::int64_t{1} << width)) {
      return Refuse(EditError::TooWide, row->label + ": " + std::string(text) +
                                            " does not fit the field's " + std::to_string(width) +
                                            (width == 1 ? " bit" : " bits"));
    }
  }
  StageRegisterBytes(session, edit, reg->line, BytesWithField(*reg, *row, raw));
  outcome.raw = raw;
  return outcome;
}

EditOutcome StageFieldValue(Session& session, EditState& edit, int fieldLine, std::int64_t raw) {
  const std::vector<RegisterRow> view = BuildRegisterView(session);
  const RegisterRow* reg = nullptr;
  const FieldRow* row = nullptr;
  if (EditOutcome found = FindEditableRow(view, fieldLine, reg, row);
      found.error != EditError::None) {
    return found;
  }
  if (raw < 0) {
    raw += std::int64_t{1} << WordBitsOf(*reg, *row);
  }
  EditOutcome outcome = FitFieldRaw(*row, std::to_string(raw), raw);
  if (outcome.error != EditError::None) {
    return outcome;
  }
  StageRegisterBytes(session, edit, reg->line, BytesWithField(*reg, *row, raw));
  outcome.raw = raw;
  return outcome;
}

EditOutcome StageRegisterByte(Session& session, EditState& edit, std::int32_t address,
                              std::string_view hexText) {
  const auto value = definition::ParseHex(hexText);
  if (!value || hexText.size() > 2) {
    return Refuse(EditError::NotHex,
                  "register " + definition::Hex2(static_cast<std::uint32_t>(address)) + ": \"" +
                      std::string(hexText) + "\" is not a byte in hexadecimal (00 to FF)");
  }
  const std::vector<RegisterRow> view = BuildRegisterView(session);
  for (const RegisterRow& reg : view) {
    for (const FieldRow& row : reg.fields) {
      if (row.readAddress != address) {
        continue;
      }
      // A byte no shown, writable field reaches would never be sent.
      const auto sent = [address](const FieldRow& f) {
        return f.readAddress == address && !f.hidden && f.writable;
      };
      if (std::none_of(reg.fields.begin(), reg.fields.end(), sent)) {
        const bool hidden = std::all_of(
            reg.fields.begin(), reg.fields.end(),
            [address](const FieldRow& f) { return f.readAddress != address || f.hidden; });
        return Refuse(EditError::NotWritable,
                      "register " + definition::Hex2(static_cast<std::uint32_t>(address)) +
                          (hidden ? " is hidden by a condition" : " is read-only"));
      }
      std::vector<RegisterByte> bytes;
      for (std::size_t i = 0; i < reg.addresses.size(); ++i) {
        if (reg.addresses[i] == address) {
          bytes.push_back({address, row.writeAddress, static_cast<std::uint8_t>(*value)});
        }
      }
      StageRegisterBytes(session, edit, reg.line, bytes);
      EditOutcome outcome;
      outcome.raw = *value;
      return outcome;
    }
  }
  return Refuse(EditError::NoSuchField, "the part has no register at address " +
                                            definition::Hex2(static_cast<std::uint32_t>(address)));
}

void StageRegisterBytes(Session& session, EditState& edit, int registerLine,
                        const std::vector<RegisterByte>& bytes) {
  markup::MarkupStore& store = session.Store();
  const int saved = store.XmlFileIndex();
  const RegisterImages& images = session.images;
  const definition::ByteImageConditionValues conditions(
      [&images](std::int32_t address) { return images.ValueAt(address); });

  // Every bit field at a changed address takes its bits of the new byte.
  std::vector<std::int64_t> masks(bytes.size(), 0);
  store.SetXmlFileIndex(registerLine);
  while (store.FindElement(3, "bitfield")) {
    const std::int32_t read = HexToLong(definition::ReadAddressPair(store).read);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const RegisterByte& byte = bytes[i];
      if (byte.readAddress == read) {
        masks[i] |= FieldMask(FieldBitsAt(store, true));
        const std::int64_t field = ExtractField(byte.value, FieldBitsAt(store, true));
        const bool markModified = store.GetAttributeView("attr") != "R";
        store.SetAttribute("value", definition::HexText(static_cast<std::uint32_t>(field)),
                           markModified);
      }
    }
  }
  // The whole register waits to be written.
  store.SetXmlFileIndex(registerLine);
  const bool writeOnce = store.GetAttributeView("writeonce") == "true";
  while (store.FindElement(3, "bitfield")) {
    if (definition::DefinitionWalk::IsHidden(store, kFieldHideLevel, conditions)) {
      continue;
    }
    session.images.MarkModified(HexToLong(definition::ReadAddressPair(store).write), registerLine,
                                true);
  }
  store.SetXmlFileIndex(saved);

  edit.pendingChange = true;
  session.writeOnChange.writeOnChangeArmed = edit.writeNow;
  session.writeOnChange.notWriteOnce = !writeOnce;
  edit.writeRegsEnabled = true;
  session.Front().SetWriteRegsEnabled(true);
  // A later stage of the same byte replaces the earlier one. The byte shown
  // keeps the bits of other registers that share it.
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    RegisterByte byte = bytes[i];
    byte.value = static_cast<std::uint8_t>((images.ValueAt(byte.readAddress) & ~masks[i]) |
                                           (byte.value & masks[i]));
    const auto same = std::find_if(
        edit.staged.begin(), edit.staged.end(),
        [&byte](const RegisterByte& staged) { return staged.readAddress == byte.readAddress; });
    if (same != edit.staged.end()) {
      *same = byte;
    } else {
      edit.staged.push_back(byte);
    }
  }
}

std::vector<DependentUpdate> CommitEdit(Session& session, EditState& edit, bool force) {
  for (const RegisterByte& byte : edit.staged) {
    for (const std::int32_t address : {byte.readAddress, byte.writeAddress}) {
      if (RegisterImages::InRange(address)) {
        session.images.valueImage[static_cast<std::size_t>(address)] = byte.value;
      }
    }
  }
  edit.staged.clear();
  std::vector<DependentUpdate> dependents = UpdateDependentRegisters(session);
  const WriteOnChangeFlags flags = session.writeOnChange;
  if ((force || flags.notWriteOnce) && flags.writeOnChangeArmed && edit.pendingChange) {
    if (WriteModified(session, true)) {
      edit.pendingChange = false;
    }
    edit.writeRegsEnabled = false;
  }
  session.Front().RefreshPanel();
  return dependents;
}

EditOutcome SetFieldText(Session& session, EditState& edit, int fieldLine, std::string_view text,
                         const EditOptions& options) {
  EditOutcome outcome = StageFieldText(session, edit, fieldLine, text, options);
  if (outcome.error == EditError::None) {
    outcome.dependents = CommitEdit(session, edit, options.force);
  }
  return outcome;
}

EditOutcome SetRegisterByte(Session& session, EditState& edit, std::int32_t address,
                            std::string_view hexText, const EditOptions& options) {
  EditOutcome outcome = StageRegisterByte(session, edit, address, hexText);
  if (outcome.error == EditError::None) {
    outcome.dependents = CommitEdit(session, edit, options.force);
  }
  return outcome;
}

void SettlePendingChanges(Session& session, EditState& edit, bool write) {
  WriteModified(session, write);
  edit.staged.clear();
  edit.writeRegsEnabled = false;
  session.Front().RefreshPanel();
}

int PendingWritePrompt(Session& session, EditState& edit) {
  if (!edit.writeRegsEnabled) {
    return markup::IDNO;
  }
  const int answer = edit.writeNow
                         ? markup::IDYES
                         : session.Messages().Show(kWriteModifiedQuestion, markup::MB_YESNOCANCEL);
  SettlePendingChanges(session, edit, answer == markup::IDYES);
  return answer;
}

bool ResyncRegisters(Session& session, EditState& edit) {
  if (PendingWritePrompt(session, edit) == markup::IDCANCEL) {
    return false;
  }
  session.images.ClearModified();
  edit.writeRegsEnabled = false;
  session.Front().SetWriteRegsEnabled(false);
  const bool ok = ReadUnmodified(session);
  session.Front().RefreshPanel();
  return ok;
}

}  // namespace kestrova::engine
