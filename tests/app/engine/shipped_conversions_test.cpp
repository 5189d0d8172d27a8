// Every example row of the shipped sensors' temperature tables converts
// exactly through the definitions as shipped, both ways.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "definition/numbers.hpp"
#include "definition/schema.hpp"
#include "engine/element_formats.hpp"
#include "engine/field_bits.hpp"
#include "engine/format_spec.hpp"
#include "engine/register_images.hpp"
#include "engine/session.hpp"
#include "engine/transfer_engine.hpp"
#include "german_locale.hpp"
#include "markup/markup_store.hpp"
#include "support/recording_device_library.hpp"
#include "support/recording_front_end.hpp"

namespace kestrova::engine {
namespace {

struct Row {
  int line = 0;  // in the fixture file
  std::string file, level, name, bytes, value, display, direction, setup;
};

std::vector<Row> ReadRows() {
  std::ifstream in(std::string(KESTROVA_SOURCE_DIR) + "/tests/data/temperature_rows.tsv");
  std::vector<Row> rows;
  std::string text;
  int number = 0;
  while (std::getline(in, text)) {
    ++number;
    if (!text.empty() && text.back() == '\r') {
      text.pop_back();
    }
    if (number == 1 || text.empty()) {
      continue;  // header
    }
    std::vector<std::string> cells;
    std::stringstream split(text);
    std::string cell;
    while (std::getline(split, cell, '\t')) {
      cells.push_back(cell);
    }
    if (cells.size() != 8) {
      ADD_FAILURE() << "temperature_rows.tsv:" << number << ": expected 8 cells";
      continue;
    }
    rows.push_back(
        {number, cells[0], cells[1], cells[2], cells[3], cells[4], cells[5], cells[6], cells[7]});
  }
  return rows;
}

struct Field {
  int line = 0;
  std::int32_t readAddress = 0;
};

// A loaded shipped definition and where its registers and fields are.
class ShippedPart {
 public:
  explicit ShippedPart(const std::string& file) {
    loaded_ = store_.LoadMarkupFile(std::string(KESTROVA_DATA_DIR) + "/device/" + file);
  }
  bool Loaded() const { return loaded_; }
  markup::MarkupStore& Store() { return store_; }

  // The line of the register titled `title` or of the bit field labelled
  // `label`; 0 when there is none.
  int FindElement(const std::string& level, const std::string& name) {
    store_.FindElement(0, "definition");
    store_.FindElement(1, "part");
    while (store_.FindElement(2, "register")) {
      const int reg = store_.XmlFileIndex();
      if (level == "register" && store_.GetAttribute("title") == name) {
        return reg;
      }
      if (level == "field") {
        while (store_.FindElement(3, "bitfield")) {
          if (store_.GetAttribute("label") == name) {
            return store_.XmlFileIndex();
          }
        }
      }
      store_.SetXmlFileIndex(reg);
    }
    return 0;
  }

  std::vector<Field> FieldsOf(int registerLine) {
    std::vector<Field> fields;
    store_.SetXmlFileIndex(registerLine);
    while (store_.FindElement(3, "bitfield")) {
      fields.push_back(
          {store_.XmlFileIndex(), definition::HexToLong(definition::ReadAddressPair(store_).read)});
    }
    return fields;
  }

 private:
  markup::MarkupStore store_;
  bool loaded_ = false;
};

std::vector<std::uint8_t> HexBytes(const std::string& text) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(definition::HexToLong(text.substr(i, 2))));
  }
  return bytes;
}

std::string BytesHex(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  for (const std::uint8_t byte : bytes) {
    text += definition::Hex2(byte);
  }
  return text;
}

void ApplySetup(const std::string& setup, RegisterImages& images) {
  if (setup == "-") {
    return;
  }
  std::stringstream pairs(setup);
  std::string pair;
  while (std::getline(pairs, pair, ',')) {
    const std::size_t equals = pair.find('=');
    images.valueImage[static_cast<std::size_t>(definition::HexToLong(pair.substr(0, equals)))] =
        static_cast<std::uint8_t>(definition::HexToLong(pair.substr(equals + 1)));
  }
}

// Distinct read addresses in the order the fields list them.
std::vector<std::int32_t> ByteAddresses(const std::vector<Field>& fields) {
  std::vector<std::int32_t> addresses;
  for (const Field& field : fields) {
    if (std::find(addresses.begin(), addresses.end(), field.readAddress) == addresses.end()) {
      addresses.push_back(field.readAddress);
    }
  }
  return addresses;
}

void CheckRow(const Row& row, std::map<std::string, ShippedPart>& parts) {
  SCOPED_TRACE("temperature_rows.tsv:" + std::to_string(row.line) + " " + row.file + " " +
               row.name + " " + row.bytes);
  auto [it, added] = parts.try_emplace(row.file, row.file);
  ShippedPart& part = it->second;
  ASSERT_TRUE(part.Loaded());
  markup::MarkupStore& store = part.Store();
  const int element = part.FindElement(row.level, row.name);
  ASSERT_NE(element, 0) << "no " << row.level << " named " << row.name;

  RegisterImages images;
  ApplySetup(row.setup, images);
  const std::vector<std::uint8_t> bytes = HexBytes(row.bytes);
  const std::int64_t expectedValue = definition::HexToLong(row.value);
  std::int64_t value = 0;
  std::vector<Field> fields;
  std::vector<std::int32_t> addresses;
  if (row.level == "register") {
    fields = part.FieldsOf(element);
    addresses = ByteAddresses(fields);
    ASSERT_EQ(addresses.size(), bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      images.valueImage[static_cast<std::size_t>(addresses[i])] = bytes[i];
    }
    // The register value: each field cut from its byte, placed at its regbit.
    for (const Field& field : fields) {
      store.SetXmlFileIndex(field.line);
      const std::int64_t part_ = ExtractField(store, images.ValueAt(field.readAddress), true);
      value += PlaceField(store, part_, false);
    }
  } else {
    ASSERT_EQ(bytes.size(), 1u);
    store.SetXmlFileIndex(element);
    const std::int32_t address = definition::HexToLong(ReadAddress(store));
    images.valueImage[static_cast<std::size_t>(address)] = bytes[0];
    value = ExtractField(store, bytes[0], true);
  }
  EXPECT_EQ(value, expectedValue) << "assembled value";

  store.SetXmlFileIndex(element);
  const FormatSpec spec = GetFormat(store, images);
  EXPECT_EQ(store.XmlFileIndex(), element);
  EXPECT_EQ(RawToDisplayText(spec, static_cast<double>(expectedValue)), row.display);

  if (row.direction != "both") {
    return;
  }
  const std::int32_t raw = DisplayTextToRaw(spec, row.display);
  if (row.level == "field") {
    EXPECT_EQ(raw, expectedValue) << "display to raw";
    return;
  }
  std::vector<std::uint8_t> written(addresses.size(), 0);
  for (const Field& field : fields) {
    store.SetXmlFileIndex(field.line);
    if (FieldBitsAt(store, false).none) {
      continue;
    }
    const std::int64_t fieldValue = ExtractField(store, raw, false);
    const auto at = static_cast<std::size_t>(
        std::find(addresses.begin(), addresses.end(), field.readAddress) - addresses.begin());
    written[at] = static_cast<std::uint8_t>(written[at] + PlaceField(store, fieldValue, true));
  }
  EXPECT_EQ(BytesHex(written), row.bytes) << "display " << row.display << " gave raw " << raw;
}

TEST(ShippedConversions, EveryRowConvertsBothWays) {
  const std::vector<Row> rows = ReadRows();
  ASSERT_GT(rows.size(), 100u);
  std::map<std::string, ShippedPart> parts;
  for (const Row& row : rows) {
    EXPECT_TRUE(row.direction == "both" || row.direction == "read") << row.line;
    CheckRow(row, parts);
  }
  // Every shipped temperature sensor has its datasheet rows.
  std::vector<std::string> files;
  for (const auto& [file, part] : parts) {
    files.push_back(file);
  }
  EXPECT_EQ(files, (std::vector<std::string>{"demo", "i2c-temperature-sensor-12bit",
                                             "jc42-dimm-temperature-sensor",
                                             "remote-diode-temperature-sensor"}));
}

using ShippedConversionsGerman = testing::GermanLocaleTest;

TEST_F(ShippedConversionsGerman, RowsDoNotDependOnTheLocale) {
  std::map<std::string, ShippedPart> parts;
  for (const Row& row : ReadRows()) {
    CheckRow(row, parts);
  }
}

// Every shipped part plans its reads and writes within the engine's limits,
// on every link.
TEST(ShippedDefinitions, BuildTheirListsWithinTheLimits) {
  for (const auto& entry :
       std::filesystem::directory_iterator(std::string(KESTROVA_DATA_DIR) + "/device")) {
    SCOPED_TRACE(entry.path().string());
    markup::MarkupStore store;
    ASSERT_TRUE(store.LoadMarkupFile(entry.path().string()));
    RecordingDeviceLibrary library;
    test_support::RecordingFrontEnd messages;
    Session session(store, library, messages);
    for (const std::int16_t link : {kLinkUsb, kLinkSmbus, kLinkNone}) {
      session.connection.link = link;
      for (const Direction direction : {Direction::Read, Direction::Write}) {
        for (const Scope scope : {Scope::All, Scope::Log, Scope::UpdateReg}) {
          TransferList list;
          EXPECT_TRUE(BuildTransferList(session, direction, scope, list));
          bool ok = true;
          EXPECT_TRUE(ApplyTransferResult(session, direction, list, true, ok));
        }
      }
      TransferList all;
      EXPECT_TRUE(BuildTransferList(session, Direction::Read, Scope::All, all));
      EXPECT_GT(all.count, 3);
    }
    EXPECT_TRUE(messages.shown.empty()) << messages.shown.front().prompt;
  }
}

}  // namespace
}  // namespace kestrova::engine
