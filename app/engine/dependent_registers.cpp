#include <string>
#include <vector>

#include "definition/numbers.hpp"
#include "engine/definition_layout.hpp"
#include "engine/element_formats.hpp"
#include "engine/field_bits.hpp"
#include "engine/format_spec.hpp"
#include "engine/register_operations.hpp"
#include "engine/session.hpp"
#include "engine/transfer_engine.hpp"
#include "markup/markup_store.hpp"

namespace kestrova::engine {

namespace {

using definition::HexToLong;

constexpr int kRegisterAddLevel = 3;
constexpr int kUpdateRuleLevel = 4;

int FirstEntryOf(const TransferList& list, std::int32_t address) {
  for (int i = 0; i < list.count; ++i) {
    if (list.address[static_cast<std::size_t>(i)] == address) {
      return i;
    }
  }
  return -1;
}

int LastEntryOf(const TransferList& list, std::int32_t address) {
  for (int i = list.count - 1; i >= 0; --i) {
    if (list.address[static_cast<std::size_t>(i)] == address) {
      return i;
    }
  }
  return -1;
}

// Lines of the `updatereg` rules of the register at `registerLine`: the
// children of its first `add` of type "updatereg".
std::vector<int> UpdateRules(markup::MarkupStore& store, int registerLine) {
  std::vector<int> rules;
  store.SetXmlFileIndex(registerLine);
  while (store.FindElement(kRegisterAddLevel, "add")) {
    if (store.GetAttributeView("type") == "updatereg") {
      while (store.FindElement(kUpdateRuleLevel, "updatereg")) {
        rules.push_back(store.XmlFileIndex());
      }
      break;
    }
  }
  return rules;
}

// The bits of the byte at `address` that the shown fields of the register at
// `registerLine` hold.
std::int64_t TargetMask(Session& session, int registerLine, std::int32_t address) {
  std::int64_t mask = 0;
  const DefinitionLayout* layout = session.Layout();
  for (const RegisterLayout& reg : layout->registers) {
    if (reg.line != registerLine) {
      continue;
    }
    for (int i = 0; i < reg.bitfieldCount; ++i) {
      const BitfieldLayout& field =
          layout->bitfields[static_cast<std::size_t>(reg.firstBitfield + i)];
      if (field.writeAddress == address && !field.hide.Hides(session.images)) {
        mask |= FieldMask(field.byteBits);
      }
    }
  }
  return mask;
}

}  // namespace

std::vector<DependentUpdate> UpdateDependentRegisters(Session& session) {
  std::vector<DependentUpdate> updates;
  markup::MarkupStore& store = session.Store();
  const int cursor = store.XmlFileIndex();
  TransferList sources;
  if (!BuildTransferList(session, Direction::Write, Scope::UpdateReg, sources)) {
    return updates;
  }
  TransferList output;
  for (int i = 0; i < sources.count; ++i) {
    const auto at = static_cast<std::size_t>(i);
    if (!session.images.ModifiedAddress(sources.address[at])) {
      continue;
    }
    store.SetXmlFileIndex(sources.line[at]);
    const std::int32_t target = HexToLong(store.GetAttributeView("updatereg"));
    if (FirstEntryOf(output, target) >= 0) {
      continue;
    }
    const int targetEntry = FirstEntryOf(sources, target);
    if (targetEntry < 0) {
      continue;
    }
    const int targetLine = sources.line[static_cast<std::size_t>(targetEntry)];
    for (const int ruleLine : UpdateRules(store, targetLine)) {
      store.SetXmlFileIndex(ruleLine);
      const std::int32_t sourceAddress = HexToLong(ReadAddress(store));
      const int sourceEntry = LastEntryOf(sources, sourceAddress);
      // A source outside the list counts with the value it shows.
      const std::int64_t sourceByte = sourceEntry >= 0
                                          ? sources.data[static_cast<std::size_t>(sourceEntry)]
                                          : session.images.ValueAt(sourceAddress);
      // The source is one byte: its field is cut by the bits it has in that
      // byte (bit 15:8 of a high byte is all of it, not 0).
      const std::int64_t field = ExtractField(store, sourceByte, true);
      const std::string_view type = store.GetAttributeView("type");
      if (type == "ignore") {
        if (field == HexToLong(store.GetAttributeView("value"))) {
          break;
        }
      } else if (type == "display") {
        if (output.Full()) {
          break;
        }
        store.SetXmlFileIndex(targetLine);
        const FormatSpec spec = GetRegisterFormat(store, session.images);
        const std::int64_t raw = DisplayValueToRaw(spec, static_cast<double>(field));
        // The raw value takes the target's bits of the byte; the bits of
        // registers sharing the byte stay as they are.
        const std::int64_t mask = TargetMask(session, targetLine, target);
        const std::int64_t shared = sources.data[static_cast<std::size_t>(targetEntry)];
        const std::int64_t byte = (shared & ~mask) | (raw & mask);
        output.Append(static_cast<std::int16_t>(target), static_cast<std::uint8_t>(byte & 0xFF),
                      static_cast<std::int16_t>(targetLine));
        session.images.MarkModified(target, targetLine, true);
        // The register the value comes from: the one holding the rule's field.
        updates.push_back({sourceEntry >= 0 ? sources.line[static_cast<std::size_t>(sourceEntry)]
                                            : sources.line[at],
                           targetLine});
      }
    }
  }
  if (output.count > 0) {
    bool ok = true;
    ApplyTransferResult(session, Direction::Write, output, false, ok);
  }
  store.SetXmlFileIndex(cursor);
  return updates;
}

}  // namespace kestrova::engine
