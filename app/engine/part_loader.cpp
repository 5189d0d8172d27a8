#include "engine/part_loader.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include "definition/numbers.hpp"
#include "definition/schema.hpp"
#include "definition/unused_bitfields.hpp"
#include "definition/walk.hpp"
#include "engine/field_bits.hpp"
#include "engine/session.hpp"
#include "markup/markup_store.hpp"

namespace kestrova::engine {

namespace {

using definition::HexToLong;

// Bytes whose unused bits get generated fields.
constexpr std::int32_t kFirstCoveredAddress = 0x100;
constexpr std::int32_t kLastCoveredAddress = 0x3FF;

int Indentation(std::string_view line) {
  const std::size_t first = line.find_first_not_of(' ');
  return first == std::string_view::npos ? 0 : static_cast<int>(first);
}

// The last line of the element whose start tag is `line`: itself for an
// empty element, else its end tag at the same depth.
int ElementEndLine(const markup::MarkupStore& store, int line) {
  const std::string_view start = store.Line(line);
  const std::size_t last = start.find_last_not_of(" \t");
  if (last != std::string_view::npos && last >= 1 && start.substr(last - 1, 2) == "/>") {
    return line;
  }
  const int depth = Indentation(start);
  for (int next = line + 1; next <= store.LineCount(); ++next) {
    const std::string_view text = store.Line(next);
    const int nextDepth = Indentation(text);
    if (nextDepth < depth) {
      break;
    }
    if (nextDepth == depth && text.substr(static_cast<std::size_t>(depth), 2) == "</") {
      return next;
    }
  }
  return line;
}

struct Coverage {
  std::int32_t readAddress = 0;
  std::int32_t writeAddress = 0;
  std::uint8_t mask = 0;
  bool byteNumbering = true;
  int endLine = 0;  // the last line of the last field of this byte
};

std::int16_t Clamp16(std::int32_t value) {
  return static_cast<std::int16_t>(value);
}

}  // namespace

int InsertGeneratedBitfields(Session& session) {
  markup::MarkupStore& store = session.Store();
  const int saved = store.XmlFileIndex();
  std::vector<Coverage> coverages;
  definition::DefinitionWalk walk(store, {});
  store.SetXmlFileIndex(0);
  if (walk.PositionOnPart()) {
    while (walk.FindNextRegister()) {
      const int registerLine = store.XmlFileIndex();
      std::vector<Coverage> ofRegister;
      while (walk.FindNextBitfield()) {
        const definition::BitfieldInfo field = definition::ReadBitfield(store);
        const std::int32_t read = HexToLong(field.addr.read);
        if (read < kFirstCoveredAddress || read > kLastCoveredAddress) {
          continue;
        }
        auto it = std::find_if(ofRegister.begin(), ofRegister.end(),
                               [&](const Coverage& c) { return c.readAddress == read; });
        if (it == ofRegister.end()) {
          ofRegister.push_back({read, HexToLong(field.addr.write), 0, true, 0});
          it = ofRegister.end() - 1;
        }
        const FieldBits bits = FieldBitsAt(store, true);
        it->mask = static_cast<std::uint8_t>(it->mask | FieldMask(bits));
        if (field.bit.high > 7) {
          it->byteNumbering = false;
        }
        it->endLine = ElementEndLine(store, store.XmlFileIndex());
      }
      coverages.insert(coverages.end(), ofRegister.begin(), ofRegister.end());
      store.SetXmlFileIndex(registerLine);
    }
  }
  // From the bottom up, so the lines still to be handled do not move.
  std::sort(coverages.begin(), coverages.end(),
            [](const Coverage& a, const Coverage& b) { return a.endLine > b.endLine; });
  int inserted = 0;
  for (const Coverage& coverage : coverages) {
    if (coverage.mask == 0xFF) {
      continue;
    }
    store.SetXmlFileIndex(coverage.endLine);
    const int count =
        definition::InsertUnusedBitfields(store, coverage.mask, coverage.readAddress,
                                          coverage.writeAddress, coverage.byteNumbering, 1);
    if (count > 0) {
      inserted += count;
    }
  }
  store.SetXmlFileIndex(saved);
  if (inserted > 0) {
    session.OnPartOpened();
  }
  return inserted;
}

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
  auto entryFor = [&](StartupList& list, std::int32_t address, bool& opened) -> int {
    if (opened && list.registerAddress[static_cast<std::size_t>(list.count - 1)] == address) {
      return list.count - 1;
    }
    if (list.count >= kTransferListSize) {
      fits = false;
      return -1;
    }
    const auto at = static_cast<std::size_t>(list.count);
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
            const std::int64_t placed =
                PlaceField(HexToLong(store.GetAttributeView("value")), FieldBitsAt(store, true));
            auto& byte = writes.data[static_cast<std::size_t>(at)];
            byte = static_cast<std::uint8_t>(byte + placed);
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
  InsertGeneratedBitfields(session);
  session.OnPartOpened();
  return CollectStartupLists(session);
}

}  // namespace kestrova::engine
