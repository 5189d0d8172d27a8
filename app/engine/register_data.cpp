#include "engine/register_data.hpp"

#include <array>
#include <cstdint>
#include <map>

#include "definition/data_file.hpp"
#include "engine/register_edit.hpp"
#include "engine/session.hpp"
#include "engine/transfer_engine.hpp"
#include "markup/markup_store.hpp"

namespace kestrova::engine {

bool OpenRegisterData(Session& session, EditState& edit, const std::string& path) {
  std::array<std::int16_t, definition::kMaxDataFileEntries> addresses{};
  std::array<std::uint8_t, definition::kMaxDataFileEntries> values{};
  int count = 0;
  if (!definition::ReadDataFile(session.Store(), path, addresses, values, count,
                                session.Messages()) ||
      count <= 0) {
    return false;
  }
  TransferList list;
  for (int i = 0; i < count && !list.Full(); ++i) {
    const auto at = static_cast<std::size_t>(i);
    list.Append(addresses[at], values[at], 0);
  }
  markup::MarkupStore& store = session.Store();
  const int saved = store.XmlFileIndex();
  bool ok = true;
  const bool applied = ApplyTransferResult(session, Direction::Write, list, false, ok);
  store.SetXmlFileIndex(saved);
  if (!applied) {
    return false;
  }
  std::fill(session.images.modifiedByAddress.begin(), session.images.modifiedByAddress.end(), true);
  std::fill(session.images.modifiedByLine.begin(), session.images.modifiedByLine.end(), true);
  edit.writeRegsEnabled = true;
  session.Front().SetWriteRegsEnabled(true);
  return true;
}

bool SaveRegisterData(Session& session, const std::string& path) {
  TransferList list;
  markup::MarkupStore& store = session.Store();
  const int saved = store.XmlFileIndex();
  const bool built = BuildTransferList(session, Direction::Write, Scope::All, list);
  store.SetXmlFileIndex(saved);
  if (!built) {
    return false;
  }
  // A first write may carry a rule's value instead of the setting (writefirst
  // with always); the file keeps every byte as the registers hold it.
  const std::map<std::int32_t, std::uint8_t> bytes = ShownBytes(session, Direction::Write);
  for (int i = 0; i < list.count; ++i) {
    const auto at = static_cast<std::size_t>(i);
    if (const auto byte = bytes.find(list.address[at]); byte != bytes.end()) {
      list.data[at] = byte->second;
    }
  }
  return definition::WriteDataFile(
      store, path, std::span<const std::int16_t>(list.address.data(), list.address.size()),
      std::span<const std::uint8_t>(list.data.data(), list.data.size()), list.count,
      session.Messages());
}

}  // namespace kestrova::engine
