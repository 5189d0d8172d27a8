// The shipped parts over the engine's register view: every datasheet row of
// the sensors' temperature tables (tests/data) shows exactly once its bytes
// are read from the chip, in one read that also brings the bytes its
// display alternatives and divisors look at, and converts back (that the parts' transfers fit
// the engine's limits is the checker's verdict on them, in
// tests/app/definition).

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "definition/numbers.hpp"
#include "engine/format_spec.hpp"
#include "engine/register_operations.hpp"
#include "engine_fixture.hpp"

namespace kestrova::engine {
namespace {

using definition::HexToLong;

struct Row {
  int line = 0;  // in temperature_rows.tsv
  std::string file, level, name, bytes, value, display, direction, setup;
};

std::vector<Row> ReadRows() {
  std::ifstream in(std::string(KESTROVA_SOURCE_DIR) + "/tests/data/temperature_rows.tsv");
  std::vector<Row> rows;
  std::string text;
  for (int line = 1; std::getline(in, text); ++line) {
    std::vector<std::string> c;
    std::stringstream split(text);
    for (std::string cell; std::getline(split, cell, '\t');) {
      c.push_back(cell);
    }
    if (line > 1 && !text.empty()) {
      EXPECT_EQ(c.size(), 8u) << "temperature_rows.tsv:" << line;
      c.resize(8);
      rows.push_back({line, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]});
    }
  }
  return rows;
}

class ShippedParts : public testing::EngineTest {
 protected:
  void Open(const std::string& file) {
    ASSERT_TRUE(store.LoadMarkupFile(std::string(KESTROVA_DATA_DIR) + "/device/" + file));
    session.OnPartOpened();
    session.images = RegisterImages{};
  }
};

TEST_F(ShippedParts, EveryTemperatureRowShowsAndConvertsBack) {
  const std::vector<Row> rows = ReadRows();
  ASSERT_GT(rows.size(), 100u);
  std::set<std::string> files;
  for (const Row& row : rows) {
    SCOPED_TRACE("temperature_rows.tsv:" + std::to_string(row.line) + " " + row.name + " " +
                 row.bytes);
    EXPECT_TRUE(row.direction == "both" || row.direction == "read");
    files.insert(row.file);
    Open(row.file);
    library.chip.clear();
    std::stringstream pairs(row.setup == "-" ? "" : row.setup);
    for (std::string pair; std::getline(pairs, pair, ',');) {
      library.chip[static_cast<std::int16_t>(HexToLong(pair.substr(0, pair.find('='))))] =
          static_cast<std::uint8_t>(HexToLong(pair.substr(pair.find('=') + 1)));
    }
    const bool isRegister = row.level == "register";
    const RegisterRow* reg = isRegister ? &RegisterTitled(row.name) : nullptr;
    const FieldRow* field = isRegister ? nullptr : &FieldLabelled(row.name);
    const std::vector<std::int32_t> addresses =
        reg != nullptr ? reg->addresses : std::vector<std::int32_t>{field->readAddress};
    ASSERT_EQ(addresses.size() * 2, row.bytes.size());
    for (std::size_t i = 0; i < addresses.size(); ++i) {
      library.chip[static_cast<std::int16_t>(addresses[i])] =
          static_cast<std::uint8_t>(HexToLong(row.bytes.substr(2 * i, 2)));
    }
    ASSERT_TRUE(ReadUnmodified(session));
    reg = isRegister ? &RegisterTitled(row.name) : nullptr;
    field = isRegister ? nullptr : &FieldLabelled(row.name);
    const std::int64_t expected = HexToLong(row.value);
    EXPECT_EQ(reg != nullptr ? reg->value : field->raw, expected);
    EXPECT_EQ(reg != nullptr ? reg->displayText : field->displayText, row.display);
    if (row.direction == "both") {
      // Only the register's own bits of a 16-bit raw value take part.
      std::int64_t mask = reg != nullptr ? 0 : -1;
      for (const FieldRow& f : reg != nullptr ? reg->fields : std::vector<FieldRow>{}) {
        for (int bit = f.registerBitLow; !f.noRegisterBits && bit <= f.registerBitHigh; ++bit) {
          mask |= std::int64_t{1} << bit;
        }
      }
      const FormatSpec& format = reg != nullptr ? reg->format : field->format;
      EXPECT_EQ(DisplayTextToRaw(format, row.display) & mask, expected) << "display to raw";
    }
  }
  // Every shipped temperature sensor has its datasheet rows.
  EXPECT_EQ(files, (std::set<std::string>{"demo", "i2c-temperature-sensor-12bit",
                                          "jc42-dimm-temperature-sensor",
                                          "remote-diode-temperature-sensor"}));
}

}  // namespace
}  // namespace kestrova::engine
