#include <algorithm>
#include <array>
#include <vector>

#include "definition/numbers.hpp"
#include "engine/field_bits.hpp"
#include "engine/session.hpp"
#include "engine/transfer_engine.hpp"
#include "markup/markup_store.hpp"

namespace kestrova::engine {

namespace {

// A verified pair is read this many times in one list.
constexpr int kVerifyReadings = 4;

void RemoveEntries(TransferList& list, int from, int howMany) {
  const int count = list.count;
  for (int i = from; i + howMany < count; ++i) {
    const auto to = static_cast<std::size_t>(i);
    const auto source = static_cast<std::size_t>(i + howMany);
    list.address[to] = list.address[source];
    list.data[to] = list.data[source];
    list.line[to] = list.line[source];
  }
  list.count = static_cast<std::int16_t>(count - howMany);
}

bool SamePairAddresses(const TransferList& list, int a, int b) {
  return list.address[static_cast<std::size_t>(a)] == list.address[static_cast<std::size_t>(b)] &&
         list.address[static_cast<std::size_t>(a + 1)] ==
             list.address[static_cast<std::size_t>(b + 1)];
}

bool SamePairData(const TransferList& list, int a, int b) {
  return list.data[static_cast<std::size_t>(a)] == list.data[static_cast<std::size_t>(b)] &&
         list.data[static_cast<std::size_t>(a + 1)] == list.data[static_cast<std::size_t>(b + 1)];
}

// Repeated readings of a verified pair: the first two consecutive readings
// that agree stand for the run; when none agree, all stay (the last wins later).
void FoldRepeatedReads(TransferList& list) {
  int i = 0;
  int runStart = -1;
  while (i <= list.count - 4) {
    if (!SamePairAddresses(list, i, i + 2)) {
      runStart = -1;
      ++i;
      continue;
    }
    if (runStart < 0) {
      runStart = i;
    }
    if (!SamePairData(list, i, i + 2)) {
      i += 2;
      continue;
    }
    // Only readings of this run go, however the list around it looks.
    int readings = 1;
    while (readings < kVerifyReadings && runStart + 2 * readings + 1 < list.count &&
           SamePairAddresses(list, runStart, runStart + 2 * readings)) {
      ++readings;
    }
    list.data[static_cast<std::size_t>(runStart)] = list.data[static_cast<std::size_t>(i)];
    list.data[static_cast<std::size_t>(runStart + 1)] = list.data[static_cast<std::size_t>(i + 1)];
    RemoveEntries(list, runStart + 2, 2 * (readings - 1));
    i = runStart + 2;
    runStart = -1;
  }
}

// Every address keeps its last entry; the order of what stays is kept.
void KeepLastOfEachAddress(TransferList& list, AddressIndex& seen) {
  seen.Clear();
  std::array<bool, kTransferListSize> keep{};
  for (int i = list.count - 1; i >= 0; --i) {
    const std::int16_t address = list.address[static_cast<std::size_t>(i)];
    if (seen.Find(address) == AddressIndex::kNone) {
      seen.Set(address, i);
      keep[static_cast<std::size_t>(i)] = true;
    }
  }
  int kept = 0;
  for (int i = 0; i < list.count; ++i) {
    if (keep[static_cast<std::size_t>(i)]) {
      const auto to = static_cast<std::size_t>(kept);
      const auto from = static_cast<std::size_t>(i);
      list.address[to] = list.address[from];
      list.data[to] = list.data[from];
      list.line[to] = list.line[from];
      ++kept;
    }
  }
  list.count = static_cast<std::int16_t>(kept);
}

bool FieldShown(const Session& session, const RegisterLayout& reg) {
  return !reg.hide.Hides(session.images) && !(reg.usbOnly && session.connection.link != kLinkUsb);
}

// Every bit field the window shows now: its register and itself not hidden
// by the images as they are at this moment.
template <typename Visit>
void ForEachShownField(const Session& session, const DefinitionLayout& layout, Visit visit) {
  for (const RegisterLayout& reg : layout.registers) {
    if (!FieldShown(session, reg)) {
      continue;
    }
    for (int f = 0; f < reg.bitfieldCount; ++f) {
      const BitfieldLayout& field =
          layout.bitfields[static_cast<std::size_t>(reg.firstBitfield + f)];
      if (!field.hide.Hides(session.images)) {
        visit(field);
      }
    }
  }
}

}  // namespace

std::vector<const BitfieldLayout*> ShownBitfields(const Session& session,
                                                  const DefinitionLayout& layout) {
  std::vector<const BitfieldLayout*> shown;
  ForEachShownField(session, layout, [&](const BitfieldLayout& field) { shown.push_back(&field); });
  return shown;
}

bool ApplyTransferResult(Session& session, Direction direction, TransferList& list,
                         bool updateDevice, bool& ok) {
  ok = true;
  const DefinitionLayout* layout = session.Layout();
  if (layout == nullptr) {
    session.ShowMessage(session.LayoutProblem());
    return false;
  }
  list.count = std::clamp<std::int16_t>(list.count, 0, kTransferListSize);
  if (direction == Direction::Read) {
    FoldRepeatedReads(list);
  }
  AddressIndex& index = session.ScratchIndex();
  KeepLastOfEachAddress(list, index);
  for (int i = 0; i < list.count; ++i) {
    index.Set(list.address[static_cast<std::size_t>(i)], i);
  }

  // A read brings the fields it was planned for: a field that the bytes
  // read reveal is not in them when no chip answered (the bytes are then the
  // planned ones), so it waits for the next read. Written bytes are whole.
  const std::vector<const BitfieldLayout*> planned = ShownBitfields(session, *layout);
  RegisterImages& images = session.images;
  // The bytes into the images, at both addresses of every bit field.
  auto storeByte = [&](const BitfieldLayout& field) {
    const int atRead = index.Find(static_cast<std::int16_t>(field.readAddress));
    const int atWrite = index.Find(static_cast<std::int16_t>(field.writeAddress));
    int at = atRead;
    if (at == AddressIndex::kNone || (atWrite != AddressIndex::kNone && atWrite < at)) {
      at = atWrite;
    }
    if (at == AddressIndex::kNone) {
      return;
    }
    const std::uint8_t byte = list.data[static_cast<std::size_t>(at)];
    for (const std::int32_t address : {field.readAddress, field.writeAddress}) {
      images.valueImage[static_cast<std::size_t>(address)] = byte;
      if (updateDevice) {
        images.deviceImage[static_cast<std::size_t>(address)] = byte;
      }
    }
  };
  if (direction == Direction::Read) {
    for (const BitfieldLayout* field : planned) {
      storeByte(*field);
    }
  } else {
    ForEachShownField(session, *layout, storeByte);
  }

  // The bit-field values into the definition, without marking it changed.
  markup::MarkupStore& store = session.Store();
  const int cursor = store.XmlFileIndex();
  const bool checkValues = (session.connection.testFlags & kTestSkipCheckValue) == 0;
  const std::vector<const BitfieldLayout*> fields =
      direction == Direction::Read ? planned : ShownBitfields(session, *layout);
  for (const BitfieldLayout* shown : fields) {
    const BitfieldLayout& field = *shown;
    const std::int32_t address =
        direction == Direction::Read ? field.readAddress : field.writeAddress;
    const int at = index.Find(static_cast<std::int16_t>(address));
    if (at == AddressIndex::kNone) {
      continue;
    }
    const std::int64_t value =
        ExtractField(list.data[static_cast<std::size_t>(at)], field.byteBits);
    store.SetXmlFileIndex(field.line);
    store.SetAttribute("value", definition::HexText(static_cast<std::uint32_t>(value)), false);
    if (checkValues && field.checkValue && *field.checkValue != value) {
      ok = false;
    }
  }
  store.SetXmlFileIndex(cursor);
  return true;
}

}  // namespace kestrova::engine
