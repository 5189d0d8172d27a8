#include "definition/data_file.hpp"

#include <algorithm>

#include "definition/numbers.hpp"
#include "markup/document_io.hpp"
#include "markup/side_document.hpp"

namespace kestrova::definition {

using markup::MarkupStore;
using markup::SideDocument;

namespace {

constexpr std::string_view kNotLoaded = "; no register values were loaded.";

std::string Where(const MarkupStore& store, const std::string& path) {
  return path + ":" + std::to_string(store.SourceLine(store.XmlFileIndex())) + ": ";
}

// The entry's attribute as a hexadecimal number up to `highest`, or a message.
std::optional<std::int32_t> EntryNumber(const MarkupStore& store, const std::string& path,
                                        std::string_view name, std::int32_t highest,
                                        std::string_view what, std::string& problem) {
  const std::string_view text = store.GetAttributeView(name);
  if (text.empty()) {
    problem = Where(store, path) + "reg attribute " + std::string(name) + " is missing";
    return std::nullopt;
  }
  const auto number = ParseHex(text);
  if (!number || *number < 0 || *number > highest) {
    problem = Where(store, path) + "reg attribute " + std::string(name) + " \"" +
              std::string(text) + "\" is not " + std::string(what);
    return std::nullopt;
  }
  return number;
}

}  // namespace

bool ReadDataFile(MarkupStore& store, const std::string& path, std::span<std::int16_t> addresses,
                  std::span<std::uint8_t> values, int& count, markup::MessageBox& messages) {
  count = 0;
  const int room = static_cast<int>(
      std::min<std::size_t>({addresses.size(), values.size(), kMaxDataFileEntries}));
  SideDocument side(store);
  if (!side.open()) {
    messages.Show("Cannot read " + path + ": " + store.LastError(), markup::MB_OK);
    return false;
  }
  if (!markup::LoadDocument(store, path, messages) || !store.FindElement(0, "definition")) {
    return false;
  }
  int read = 0;
  std::string problem;
  while (store.FindElement(1, "reg")) {
    if (read == room) {
      problem = Where(store, path) + "more than " + std::to_string(room) + " register entries";
      break;
    }
    const auto address =
        EntryNumber(store, path, "addr", 0xFFFF, "a hexadecimal address from 0 to FFFF", problem);
    if (!address) {
      break;
    }
    const auto value =
        EntryNumber(store, path, "value", 0xFF, "a hexadecimal byte from 0 to FF", problem);
    if (!value) {
      break;
    }
    addresses[static_cast<std::size_t>(read)] = static_cast<std::int16_t>(*address);
    values[static_cast<std::size_t>(read)] = static_cast<std::uint8_t>(*value);
    ++read;
  }
  if (!problem.empty()) {
    messages.Show(problem + std::string(kNotLoaded), markup::MB_OK);
    return false;
  }
  count = read;
  return count > 0;
}

bool WriteDataFile(MarkupStore& store, const std::string& path,
                   std::span<const std::int16_t> addresses, std::span<const std::uint8_t> values,
                   int count, markup::MessageBox& messages) {
  const auto room = std::min<std::size_t>({addresses.size(), values.size(), kMaxDataFileEntries});
  if (count < 0 || static_cast<std::size_t>(count) > room) {
    messages.Show("Cannot write " + path + ": " + std::to_string(count) +
                      " register entries do not fit a register data file",
                  markup::MB_OK);
    return false;
  }
  SideDocument side(store);
  if (!side.open()) {
    messages.Show("Cannot write " + path + ": " + store.LastError(), markup::MB_OK);
    return false;
  }
  store.AddLine(0, "<definition>", -1);
  for (int i = 0; i < count; ++i) {
    const auto index = static_cast<std::size_t>(i);
    store.AddLine(1,
                  "<reg addr=\"" + HexText(static_cast<std::uint16_t>(addresses[index])) +
                      "\" value=\"" + HexText(values[index]) + "\"/>",
                  -1);
  }
  store.AddLine(0, "</definition>", -1);
  return markup::SaveDocument(store, path, messages);
}

}  // namespace kestrova::definition
