#include "engine/part_loader.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include "definition/numbers.hpp"
#include "definition/schema.hpp"
#include "definition/walk.hpp"
#include "engine/field_bits.hpp"
#include "engine/session.hpp"
#include "engine/transfer_list.hpp"
#include "markup/markup_store.hpp"

namespace kestrova::engine {

namespace {

using definition::HexToLong;

std::int16_t Clamp16(std::int32_t value) {
  return static_cast<std::int16_t>(value);
}

}  // namespace

bool CollectStartupLists(Session& session) {
  markup::MarkupStore& store = session.Store();
  const int saved = store.XmlFileIndex();
  StartupList& writes = session.startupWriteList;
  StartupList& reads = session.startupReadList;
  writes = StartupList{};
  reads = StartupList{};
  bool fits = true;
  const ConnectionValues& c = session.connection;

  // Opens a new entry when the address differs from the list's last one.
  // A chip byte is written once, where its last register stands (as a write
  // of changed registers does): registers that share it add to its one entry.
  auto entryFor = [&](StartupList& list, std::int32_t address, bool& opened) -> int {
    if (opened && list.registerAddress[static_cast<std::size_t>(list.count - 1)] == address) {
      return list.count - 1;
    }
    if (&list == &writes && address <= kLastChipRegister) {
      const auto first = list.registerAddress.begin();
      const auto last = first + list.count;
      const auto found = std::find(first, last, Clamp16(address));
      if (found != last) {
        const auto from = found - first;
        for (auto* column : {&list.busType, &list.deviceAddress, &list.registerAddress}) {
          std::rotate(column->begin() + from, column->begin() + from + 1,
                      column->begin() + list.count);
        }
        for (auto* column : {&list.data, &list.sharedBits}) {
          std::rotate(column->begin() + from, column->begin() + from + 1,
                      column->begin() + list.count);
        }
        opened = true;
        return list.count - 1;
      }
    }
    if (list.count >= kTransferListSize) {
      fits = false;
      return -1;
    }
    const auto at = static_cast<std::size_t>(list.count);
    list.sharedBits[at] = &list == &writes ? 0xFF : 0;  // until its fields are placed
    list.busType[at] = c.busType;
    list.deviceAddress[at] = c.deviceAddress;
    list.registerAddress[at] = Clamp16(address);
    list.data[at] = 0;
    opened = true;
    return list.count++;
  };

  definition::WalkOptions options;
  options.usbLink = c.link == kLinkUsb;
  definition::DefinitionWalk walk(store, options);
  store.SetXmlFileIndex(0);
  if (walk.PositionOnPart()) {
    while (walk.FindNextRegister()) {
      const int registerLine = store.XmlFileIndex();
      const definition::RegisterInfo reg = definition::ReadRegister(store);
      if (!reg.writeOnStartup && !reg.readAfterWriteOnStartup) {
        continue;
      }
      bool writeOpened = false;
      bool readOpened = false;
      while (walk.FindNextBitfield()) {
        const definition::AddressPair addr = definition::ReadAddressPair(store);
        if (reg.writeOnStartup) {
          const int at = entryFor(writes, HexToLong(addr.write), writeOpened);
          if (at >= 0) {
            const FieldBits bits = FieldBitsAt(store, true);
            const std::int64_t placed =
                PlaceField(HexToLong(store.GetAttributeView("value")), bits);
            auto& byte = writes.data[static_cast<std::size_t>(at)];
            byte = static_cast<std::uint8_t>(byte + placed);
            auto& shared = writes.sharedBits[static_cast<std::size_t>(at)];
            shared = static_cast<std::uint8_t>(shared & ~FieldMask(bits));
          }
        }
        if (reg.readAfterWriteOnStartup) {
          entryFor(reads, HexToLong(addr.read), readOpened);
        }
      }
      store.SetXmlFileIndex(registerLine);
    }
  }
  store.SetXmlFileIndex(saved);
  return fits;
}

bool PreparePart(Session& session) {
  session.OnPartOpened();
  return CollectStartupLists(session);
}

}  // namespace kestrova::engine
