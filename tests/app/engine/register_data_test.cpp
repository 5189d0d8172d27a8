#include "engine/register_data.hpp"

#include <gtest/gtest.h>

#include "../markup/temp_folder.hpp"
#include "engine/register_edit.hpp"
#include "engine/register_operations.hpp"
#include "engine_fixture.hpp"

namespace kestrova::engine {
namespace {

using kestrova::testing::ReadBytes;
using kestrova::testing::TempFolder;
using testing::EngineTest;
using Addrs = std::vector<std::int16_t>;
using Bytes = std::vector<std::uint8_t>;

const char* kRegisters =
    ">register >>bitfield addr=0 bit=7:4 value=A >>bitfield addr=0 bit=3:0 value=1 >register "
    ">>bitfield addr=1:81 bit=7:0 value=1F >register >>bitfield addr=3 bit=7:0 value=0 attr=R";

class RegisterData : public EngineTest {
 protected:
  void SetUp() override { Part(kRegisters); }
  TempFolder folder;
  EditState edit;
};

TEST_F(RegisterData, SaveWritesEveryRegisterByWriteAddressWithoutATransfer) {
  const std::string path = folder / "part.dat";
  ASSERT_TRUE(SaveRegisterData(session, path));
  EXPECT_EQ(ReadBytes(path),
            "<definition>\r\n"
            " <reg addr=\"0\" value=\"A1\"/>\r\n"
            " <reg addr=\"81\" value=\"1F\"/>\r\n"
            " <reg addr=\"3\" value=\"0\"/>\r\n"
            "</definition>\r\n");
  EXPECT_TRUE(library.calls.empty());
}

TEST_F(RegisterData, OpenAppliesTheFileAndMarksEverythingChanged) {
  const std::string path = folder / "part.dat";
  {
    std::ofstream out(path, std::ios::binary);
    out << "<definition>\r\n <reg addr=\"0\" value=\"5C\"/>\r\n <reg addr=\"99\" value=\"7\"/>\r\n"
           " <reg addr=\"81\" value=\"A\"/>\r\n <reg addr=\"81\" "
           "value=\"B\"/>\r\n</definition>\r\n";
  }
  ASSERT_TRUE(OpenRegisterData(session, edit, path));
  EXPECT_EQ(Bitfield(1), "5");
  EXPECT_EQ(Bitfield(2), "C");
  EXPECT_EQ(Bitfield(3), "B");  // the last entry of an address counts
  EXPECT_EQ(Bitfield(4), "0");  // not in the file: kept
  EXPECT_TRUE(edit.writeRegsEnabled);
  EXPECT_TRUE(library.calls.empty());

  // Every register is written, even one whose value did not change.
  ASSERT_TRUE(WriteModified(session, true));
  const auto writes = library.CallsOf("WriteDevice");
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].registers, (Addrs{0, 0x81, 3}));
  EXPECT_EQ(writes[0].data, (Bytes{0x5C, 0x0B, 0x00}));
}

// A file that cannot be read, or holds no entry, changes nothing; a save
// that fails says so.
TEST_F(RegisterData, AFileThatCannotBeReadOrWrittenChangesNothing) {
  EXPECT_FALSE(OpenRegisterData(session, edit, folder / "missing.dat"));
  EXPECT_FALSE(edit.writeRegsEnabled);
  EXPECT_FALSE(session.images.ModifiedLine(RegisterLine(1)));
  const std::string empty = folder / "empty.dat";
  { std::ofstream(empty, std::ios::binary) << "<definition>\r\n</definition>\r\n"; }
  EXPECT_FALSE(OpenRegisterData(session, edit, empty));
  EXPECT_EQ(Bitfield(1), "A");
  EXPECT_FALSE(SaveRegisterData(session, folder / "no/such/folder/part.dat"));
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[0].prompt, "File read/write error for " + (folder / "missing.dat"));
  EXPECT_EQ(messages.shown[1].prompt.rfind("File read/write error for ", 0), 0u);
}

}  // namespace
}  // namespace kestrova::engine
