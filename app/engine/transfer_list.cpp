#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "definition/numbers.hpp"
#include "engine/access.hpp"
#include "engine/field_bits.hpp"
#include "engine/session.hpp"
#include "engine/transfer_engine.hpp"
#include "markup/markup_store.hpp"

namespace kestrova::engine {

namespace {

// Order numbers run 1..255; slot 0 stays unused.
constexpr int kOrderSlots = 256;
constexpr std::int64_t kByteMax = 255;
// A verified pair is read four times: three more copies of two entries.
constexpr int kRepeatCopies = 3;

struct OrderSlot {
  std::int16_t address = -1;
  std::uint8_t data = 0;
  std::int16_t line = 0;
};

// Every shown bit field at one byte address, wherever its register stands:
// each transfer of the byte carries all of them, so no register's bits are
// cleared by another's transfer.
struct SharedByte {
  std::int32_t address = 0;
  std::int64_t data = 0;        // the placed values of the fields
  std::int64_t adjustment = 0;  // what writefirst-always rules change in the first write
  bool changed = false;         // a register with a field there has a pending change
  int fieldLine = 0;            // the last of the fields, for messages
};

// The byte entry being assembled from consecutive bit fields of one address.
struct OpenEntry {
  std::int32_t address = -1;
  bool include = false;
  int firstOrder = 0;
  int lastOrder = 0;
  bool exchange = false;
  bool repeat = false;
  bool readable = false;
  bool writable = false;
  int line = 0;
  int fieldLine = 0;  // the last bit field that touched it, for messages
};

class ListBuilder {
 public:
  ListBuilder(Session& session, Direction direction, Scope scope, TransferList& list)
      : session_(session),
        store_(session.Store()),
        images_(session.images),
        direction_(direction),
        scope_(scope),
        list_(list) {}

  // False with problem_ set when a limit is broken.
  bool Build(const DefinitionLayout& layout) {
    list_.count = 0;
    list_.address[0] = -1;
    CollectSharedBytes(layout);
    for (const RegisterLayout& reg : layout.registers) {
      if (!TakesPart(reg)) {
        continue;
      }
      registerFirst_ = true;
      for (int i = 0; i < reg.bitfieldCount; ++i) {
        const auto at = static_cast<std::size_t>(reg.firstBitfield + i);
        const BitfieldLayout& field = layout.bitfields[at];
        if (field.hide.Hides(images_)) {
          continue;
        }
        if (!AddField(reg, field, values_[at])) {
          return false;
        }
      }
    }
    if (!Close()) {
      return false;
    }
    if (direction_ == Direction::Write && scope_ != Scope::UpdateReg) {
      KeepOneWriteOfEachByte();
    }
    return Assemble() && (RemoveDuplicates(), true);
  }

  const std::string& Problem() const { return problem_; }

  std::map<std::int32_t, std::uint8_t> Bytes(const DefinitionLayout& layout) {
    CollectSharedBytes(layout);
    std::map<std::int32_t, std::uint8_t> bytes;
    for (const SharedByte& byte : shared_) {
      bytes[byte.address] = static_cast<std::uint8_t>(byte.data & kByteMax);
    }
    return bytes;
  }

 private:
  bool Fail(int line, const std::string& what) {
    problem_ =
        "Registers cannot be transferred: " + what + " (" + DefinitionLineText(store_, line) + ")";
    return false;
  }

  bool Shown(const RegisterLayout& reg) const {
    return !reg.hide.Hides(images_) && !(reg.usbOnly && session_.connection.link != kLinkUsb);
  }

  bool TakesPart(const RegisterLayout& reg) const {
    if (!Shown(reg)) {
      return false;
    }
    if (scope_ == Scope::Log && !reg.log) {
      return false;
    }
    return scope_ != Scope::UpdateReg || !reg.updateReg.empty();
  }

  std::int32_t AddressOf(const BitfieldLayout& field) const {
    return direction_ == Direction::Read ? field.readAddress : field.writeAddress;
  }

  // The values of the shown bit fields, and what each puts into its byte.
  void CollectSharedBytes(const DefinitionLayout& layout) {
    values_.assign(layout.bitfields.size(), 0);
    slotOf_.assign(kImageSize, -1);
    shared_.clear();
    for (const RegisterLayout& reg : layout.registers) {
      if (!Shown(reg)) {
        continue;
      }
      for (int i = 0; i < reg.bitfieldCount; ++i) {
        const auto at = static_cast<std::size_t>(reg.firstBitfield + i);
        const BitfieldLayout& field = layout.bitfields[at];
        if (field.hide.Hides(images_)) {
          continue;
        }
        store_.SetXmlFileIndex(field.line);
        values_[at] = definition::HexToLong(store_.GetAttributeView("value"));
        const std::int32_t address = AddressOf(field);
        std::int32_t& slot = slotOf_[static_cast<std::size_t>(address)];
        if (slot < 0) {
          slot = static_cast<std::int32_t>(shared_.size());
          shared_.push_back(SharedByte{address});
        }
        SharedByte& byte = shared_[static_cast<std::size_t>(slot)];
        const std::int64_t placed = PlaceField(values_[at], field.byteBits);
        byte.data += placed;
        byte.changed = byte.changed || images_.ModifiedLine(reg.line);
        byte.fieldLine = field.line;
        for (const OrderRule& rule : field.orderRules) {
          if (rule.type == OrderType::WriteFirst && rule.always) {
            byte.adjustment += PlaceField(rule.value, field.byteBits) - placed;
          }
        }
      }
    }
  }

  const SharedByte& SharedAt(std::int32_t address) const {
    return shared_[static_cast<std::size_t>(slotOf_[static_cast<std::size_t>(address)])];
  }

  bool AddField(const RegisterLayout& reg, const BitfieldLayout& field, std::int64_t value) {
    const bool read = direction_ == Direction::Read;
    const std::int32_t address = AddressOf(field);
    const Access access = EvaluateAccess(field.attr, field.writeAddress, field.accessRules, images_,
                                         session_.connection.link);
    if (address != entry_.address) {
      if (!Close()) {
        return false;
      }
      entry_ = OpenEntry{};
      entry_.address = address;
      if (registerFirst_) {
        registerFirst_ = false;
        registerFirstAddress_ = address;
      } else {
        entry_.exchange = address < registerFirstAddress_;
        entry_.repeat = reg.verify;
      }
      entry_.readable = access.readable;
      entry_.writable = access.writable;
    } else if (!access.readable) {
      entry_.readable = false;
      entry_.writable = true;
    } else if (access.writable) {
      entry_.writable = true;
    }
    entry_.fieldLine = field.line;

    if (read) {
      entry_.include = entry_.readable;
      if (scope_ == Scope::Unchanged && images_.ModifiedAddress(address) && entry_.writable) {
        entry_.include = false;
      } else {
        for (const OrderRule& rule : field.orderRules) {
          if (rule.type == OrderType::ReadFirst) {
            entry_.firstOrder = rule.order;
          } else if (rule.type == OrderType::ReadLast) {
            entry_.lastOrder = rule.order;
          }
        }
      }
    } else {
      // The byte goes out when any register with a field in it changed,
      // and then carries every field (SharedByte).
      const bool changed =
          scope_ == Scope::All || scope_ == Scope::UpdateReg || SharedAt(address).changed;
      entry_.include = entry_.writable && changed;
      if (changed) {
        for (const OrderRule& rule : field.orderRules) {
          const bool match = rule.anyValue || rule.value == value;
          if (rule.type == OrderType::WriteFirst && (rule.always || match)) {
            entry_.firstOrder = rule.order;
          } else if (rule.type == OrderType::WriteLast && match) {
            entry_.lastOrder = rule.order;
          }
        }
      }
    }
    entry_.line = reg.line;
    return Store();
  }

  // The entry as it stands goes to index count.
  bool Store() {
    if (list_.count >= kTransferListSize) {
      return Fail(entry_.fieldLine, "more than 2049 entries in one transfer");
    }
    const SharedByte& byte = SharedAt(entry_.address);
    const std::int64_t data = byte.data;
    // Only a byte that goes out must fit (an excluded one is overwritten).
    if (entry_.include && (data < 0 || data > kByteMax)) {
      return Fail(byte.fieldLine, "the bit-field values of address " +
                                      definition::Hex2(static_cast<std::uint32_t>(entry_.address)) +
                                      " add up to " + std::to_string(data) +
                                      ", more than one byte holds");
    }
    const auto at = static_cast<std::size_t>(list_.count);
    list_.address[at] = static_cast<std::int16_t>(entry_.address);
    list_.data[at] = static_cast<std::uint8_t>(data);
    list_.line[at] = static_cast<std::int16_t>(entry_.line);
    return true;
  }

  bool Close() {
    if (!entry_.include) {
      return true;  // its slot is overwritten by the next entry
    }
    for (const auto& [order, slots] :
         {std::pair{entry_.firstOrder, &firstList_}, std::pair{entry_.lastOrder, &lastList_}}) {
      const OrderSlot& taken = (*slots)[static_cast<std::size_t>(order)];
      // A second entry in one place would silently drop the first transfer.
      if (order > 0 && taken.address != -1) {
        return Fail(entry_.fieldLine,
                    "addresses " + definition::Hex2(static_cast<std::uint32_t>(taken.address)) +
                        " and " + definition::Hex2(static_cast<std::uint32_t>(entry_.address)) +
                        " both take transfer order " + std::to_string(order));
      }
    }
    const SharedByte& byte = SharedAt(entry_.address);
    if (entry_.firstOrder > 0) {
      const std::int64_t data = byte.data + byte.adjustment;
      if (data < 0 || data > kByteMax) {
        return Fail(entry_.fieldLine,
                    "the first write to address " +
                        definition::Hex2(static_cast<std::uint32_t>(entry_.address)) +
                        " would carry " + std::to_string(data) + ", more than one byte holds");
      }
      firstList_[static_cast<std::size_t>(entry_.firstOrder)] = {
          static_cast<std::int16_t>(entry_.address), static_cast<std::uint8_t>(data),
          static_cast<std::int16_t>(entry_.line)};
    }
    if (entry_.lastOrder > 0) {
      lastList_[static_cast<std::size_t>(entry_.lastOrder)] = {
          static_cast<std::int16_t>(entry_.address), static_cast<std::uint8_t>(byte.data),
          static_cast<std::int16_t>(entry_.line)};
    }
    entry_.include = false;  // closed once
    if (entry_.firstOrder > 0 || entry_.lastOrder > 0) {
      return true;
    }
    const int count = list_.count;
    if (entry_.exchange && count > 0) {
      Swap(count, count - 1);
    }
    if (direction_ == Direction::Read && entry_.repeat && count > 0) {
      if (count + 1 + 2 * kRepeatCopies > kTransferListSize) {
        return Fail(entry_.fieldLine, "more than 2049 entries in one transfer");
      }
      for (int copy = 0; copy < kRepeatCopies; ++copy) {
        Copy(count - 1, count + 1 + 2 * copy);
        Copy(count, count + 2 + 2 * copy);
      }
      list_.count = static_cast<std::int16_t>(count + 2 * kRepeatCopies);
    }
    ++list_.count;
    return true;
  }

  // A byte written in a place of its own (writefirst, writelast) is not
  // written again in the main list, and there each chip byte is written once,
  // where its last register stands: every write of it has the same contents.
  void KeepOneWriteOfEachByte() {
    std::set<std::int32_t> written;
    for (const auto* slots : {&firstList_, &lastList_}) {
      for (const OrderSlot& slot : *slots) {
        if (slot.address != -1) {
          written.insert(slot.address);
        }
      }
    }
    std::array<bool, kTransferListSize> removed{};
    for (int i = list_.count - 1; i >= 0; --i) {
      const std::int16_t address = list_.address[static_cast<std::size_t>(i)];
      removed[static_cast<std::size_t>(i)] =
          address <= kLastChipRegister && !written.insert(address).second;
    }
    Compact(removed);
  }

  // First list (ascending order), main list, last list (descending order).
  bool Assemble() {
    int firstUsed = 0;
    int lastUsed = 0;
    for (int order = 1; order < kOrderSlots; ++order) {
      firstUsed += firstList_[static_cast<std::size_t>(order)].address != -1 ? 1 : 0;
      lastUsed += lastList_[static_cast<std::size_t>(order)].address != -1 ? 1 : 0;
    }
    const int mainCount = list_.count;
    if (firstUsed + mainCount + lastUsed > kTransferListSize) {
      return Fail(entry_.fieldLine, "more than 2049 entries in one transfer");
    }
    if (firstUsed > 0) {
      for (int i = mainCount - 1; i >= 0; --i) {
        Copy(i, i + firstUsed);
      }
      int at = 0;
      for (int order = 1; order < kOrderSlots; ++order) {
        const OrderSlot& slot = firstList_[static_cast<std::size_t>(order)];
        if (slot.address != -1) {
          Put(at++, slot);
        }
      }
    }
    int at = firstUsed + mainCount;
    for (int order = kOrderSlots - 1; order >= 1; --order) {
      const OrderSlot& slot = lastList_[static_cast<std::size_t>(order)];
      if (slot.address != -1) {
        Put(at++, slot);
      }
    }
    list_.count = static_cast<std::int16_t>(at);
    return true;
  }

  // A chip entry removes the nearest chip entry before it with the same
  // address, so a run of equal chip addresses keeps its last entry.
  void RemoveDuplicates() {
    std::array<bool, kTransferListSize> removed{};
    int previousChip = -1;
    for (int i = 0; i < list_.count; ++i) {
      const std::int16_t address = list_.address[static_cast<std::size_t>(i)];
      if (address > kLastChipRegister) {
        continue;
      }
      if (previousChip >= 0 && list_.address[static_cast<std::size_t>(previousChip)] == address) {
        removed[static_cast<std::size_t>(previousChip)] = true;
      }
      previousChip = i;
    }
    Compact(removed);
  }

  void Compact(const std::array<bool, kTransferListSize>& removed) {
    int kept = 0;
    for (int i = 0; i < list_.count; ++i) {
      if (!removed[static_cast<std::size_t>(i)]) {
        if (kept != i) {
          Copy(i, kept);
        }
        ++kept;
      }
    }
    list_.count = static_cast<std::int16_t>(kept);
  }

  void Copy(int from, int to) {
    const auto f = static_cast<std::size_t>(from);
    const auto t = static_cast<std::size_t>(to);
    list_.address[t] = list_.address[f];
    list_.data[t] = list_.data[f];
    list_.line[t] = list_.line[f];
  }
  void Swap(int a, int b) {
    const auto x = static_cast<std::size_t>(a);
    const auto y = static_cast<std::size_t>(b);
    std::swap(list_.address[x], list_.address[y]);
    std::swap(list_.data[x], list_.data[y]);
    std::swap(list_.line[x], list_.line[y]);
  }
  void Put(int at, const OrderSlot& slot) {
    const auto i = static_cast<std::size_t>(at);
    list_.address[i] = slot.address;
    list_.data[i] = slot.data;
    list_.line[i] = slot.line;
  }

  Session& session_;
  markup::MarkupStore& store_;
  const RegisterImages& images_;
  Direction direction_;
  Scope scope_;
  TransferList& list_;
  OpenEntry entry_;
  bool registerFirst_ = true;
  std::int32_t registerFirstAddress_ = -1;
  std::array<OrderSlot, kOrderSlots> firstList_{};
  std::array<OrderSlot, kOrderSlots> lastList_{};
  std::vector<std::int64_t> values_;  // by index into the layout's bit fields
  std::vector<SharedByte> shared_;    // one per byte address of the shown fields
  std::vector<std::int32_t> slotOf_;  // by byte address: its index in shared_, or -1
  std::string problem_;
};

}  // namespace

std::map<std::int32_t, std::uint8_t> ShownBytes(Session& session, Direction direction) {
  const DefinitionLayout* layout = session.Layout();
  if (layout == nullptr) {
    return {};
  }
  markup::MarkupStore& store = session.Store();
  const int cursor = store.XmlFileIndex();
  TransferList unused;
  ListBuilder builder(session, direction, Scope::All, unused);
  std::map<std::int32_t, std::uint8_t> bytes = builder.Bytes(*layout);
  store.SetXmlFileIndex(cursor);
  return bytes;
}

bool BuildTransferList(Session& session, Direction direction, Scope scope, TransferList& list) {
  // Planned afresh every time, the log list too: the conditions that hide
  // registers and the values a read without a chip returns change while
  // logging runs.
  list.count = 0;
  const DefinitionLayout* layout = session.Layout();
  if (layout == nullptr) {
    session.ShowMessage(session.LayoutProblem());
    return false;
  }
  if (!layout->hasPart) {
    return true;
  }
  markup::MarkupStore& store = session.Store();
  const int cursor = store.XmlFileIndex();
  ListBuilder builder(session, direction, scope, list);
  const bool ok = builder.Build(*layout);
  store.SetXmlFileIndex(cursor);
  if (!ok) {
    list.count = 0;
    session.ShowMessage(builder.Problem());
    return false;
  }
  return true;
}

}  // namespace kestrova::engine
