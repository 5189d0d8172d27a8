#include "definition/data_file.hpp"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>

#include "definition/numbers.hpp"
#include "file_fixture.hpp"

namespace kestrova::definition {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

std::string Repeated(std::string_view text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) {
    out += text;
  }
  return out;
}

class DataFileTest : public testing::FileTest {
 protected:
  // The entries read from `text`, "addr=value" with " " between them, or the
  // message shown; lists of `room` entries.
  std::string Read(const std::string& text, std::size_t room = kMaxDataFileEntries) {
    WriteBytes(path, text);
    const bool read = ReadDataFile(store, path, std::span(addresses).first(room),
                                   std::span(values).first(room), count, messages);
    ExpectMainDocumentKept();
    EXPECT_EQ(read, count > 0);
    std::string entries;
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
      entries += (i > 0 ? " " : "") + HexText(static_cast<std::uint16_t>(addresses[i])) + "=" +
                 HexText(values[i]);
    }
    return entries + Shown();
  }

  const std::string path = folder / "regs.dat";
  std::array<std::int16_t, kMaxDataFileEntries> addresses{};
  std::array<std::uint8_t, kMaxDataFileEntries> values{};
  int count = -1;
};

// Addresses are written as 16 bits, and read back so.
TEST_F(DataFileTest, RegistersGiveOneLineEachWithExactBytes) {
  const std::array<std::int16_t, 4> addr = {0x00, 0x1F, 0x403, -1};
  const std::array<std::uint8_t, 4> value = {0x0A, 0xFF, 0x00, 0x01};
  ASSERT_TRUE(WriteDataFile(store, path, addr, value, 4, messages));
  const std::string bytes = ReadBytes(path);
  EXPECT_EQ(bytes,
            "<definition>\r\n"
            " <reg addr=\"0\" value=\"A\"/>\r\n"
            " <reg addr=\"1F\" value=\"FF\"/>\r\n"
            " <reg addr=\"403\" value=\"0\"/>\r\n"
            " <reg addr=\"FFFF\" value=\"1\"/>\r\n"
            "</definition>\r\n");
  ExpectMainDocumentKept();
  EXPECT_EQ(Read(bytes), "0=A 1F=FF 403=0 FFFF=1");
  ASSERT_TRUE(WriteDataFile(store, path, {}, {}, 0, messages));
  EXPECT_EQ(ReadBytes(path), "<definition>\r\n</definition>\r\n");
  // More entries than the lists hold are refused before anything is written.
  std::filesystem::remove(path);
  EXPECT_FALSE(WriteDataFile(store, path, std::span(addr).first(2), value, 3, messages));
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(Shown(),
            "Cannot write " + path + ": 3 register entries do not fit a register data file");
}

// Only reg entries at depth one count, in file order; a file without them or
// without its root applies nothing, silently. One malformed entry, or one too
// many for the lists, refuses the whole file naming its line.
TEST_F(DataFileTest, EntriesAreReadInFileOrderOrTheFileIsRefused) {
  const auto file = [](const std::string& body) {
    return "<definition>\n" + body + "\n</definition>\n";
  };
  const std::string first = " <reg addr=\"0\" value=\"1\"/>\n\n ";  // the next entry is line 4
  const std::string refused = "; no register values were loaded.";
  const std::string reg12 = "<reg addr=\"1\" value=\"2\" />\n";
  const struct {
    std::string text;
    std::string read;
    std::size_t room = kMaxDataFileEntries;
  } cases[] = {
      {file("\t<other addr=\"5\" value=\"5\" />\n\t<reg addr=\"2\" value=\"ff\" />\n\t<group>\n"
            "\t\t<reg addr=\"9\" value=\"9\" />\n\t</group>\n\t<reg addr=\"1\" value=\"3\" />"),
       "2=FF 1=3"},
      {file(""), ""},
      {"<reg addr=\"1\" value=\"1\" />\n", ""},
      {file(first + "<reg value=\"1\" />"), path + ":4: reg attribute addr is missing" + refused},
      {file(first + "<reg addr=\"10000\" value=\"1\" />"),
       path + ":4: reg attribute addr \"10000\" is not a hexadecimal address from 0 to FFFF" +
           refused},
      {file(first + "<reg addr=\"1\" value=\"100\" />"),
       path + ":4: reg attribute value \"100\" is not a hexadecimal byte from 0 to FF" + refused},
      {file(first + "<reg addr=\"1\" value=\"\" />"),
       path + ":4: reg attribute value is missing" + refused},
      {file(Repeated(reg12, 2050)), path + ":2051: more than 2049 register entries" + refused},
      {file(Repeated(reg12, 2049)), Repeated("1=2 ", 2048) + "1=2"},
      {file(Repeated(reg12, 2)), path + ":3: more than 1 register entries" + refused, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 80));
    EXPECT_EQ(Read(c.text, c.room), c.read);
  }
}

}  // namespace
}  // namespace kestrova::definition
