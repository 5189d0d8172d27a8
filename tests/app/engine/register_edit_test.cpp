#include "engine/register_edit.hpp"

#include <gtest/gtest.h>

#include "../markup/temp_folder.hpp"
#include "engine/register_data.hpp"
#include "engine/register_operations.hpp"
#include "engine_fixture.hpp"

namespace kestrova::engine {
namespace {

using testing::EngineTest;

// A register whose first row edits a 13-bit value spread over two bytes, a
// drop-down, a scaled field, a read-only field and a register with read and
// write addresses that differ.
const char* kRegisters =
    ">register grouptabname=Main title=Limit textbox=true units=C format=0.00 input=-4096:4095 "
    "display=-256:255.9375 >>bitfield label=Limit addr=02 bit=15:8 regbit=12:5 value=28 >>bitfield "
    "label='Limit low' addr=102 bit=7:3 regbit=4:0 value=0 >>bitfield label=Flag addr=102 bit=0 "
    "regbit=none attr=R value=1 >register title=Mode format=hex writeonce=true >>bitfield "
    "label=Mode addr=05 bit=1:0 value=2 >>>add type=combo >>>>combo label=Run value=0 >>>>combo "
    "label=Cycle value=3 >>>>combo label=Stop value=1 >>bitfield label=Period addr=05 bit=5:2 "
    "value=4 textbox=true units=s format=0.0 input=0:15 display=0:7.5 >>bitfield label=Ready "
    "addr=05 bit=7 attr=R value=1 >>bitfield label=Spare addr=05 bit=6 value=0 visible=false "
    ">register title=Rate format=dec >>bitfield label=Rate addr=06:86 bit=7:0 value=3 textbox=true "
    "format=dec >register title=Extra format=hex >>hide addr=05 bit=1:0 value=0 >>bitfield "
    "label=Extra addr=07 bit=7:0 value=11";

class RegisterEdit : public EngineTest {
 protected:
  void SetUp() override {
    Part(kRegisters);
    library.chip = {{2, 0x28}, {0x102, 0x01}, {5, 0x92}, {6, 3}, {7, 0x11}};
    ASSERT_TRUE(ReadUnmodified(session));
    library.calls.clear();
  }

  EditOutcome Set(const std::string& label, const std::string& text, EditOptions options = {}) {
    return SetFieldText(session, edit, FieldLabelled(label).fieldLine, text, options);
  }

  EditState edit;
};

// A text goes in by its field's format, choices by label (any case) or
// value, a register byte ("byte" and its address) in hexadecimal; a
// register value spreads over its bytes; what does not fit is refused and
// changes nothing, unless limiting is asked for. Typed numbers of any
// magnitude and places convert by their value (Limit steps 1/16, raw
// -4096..4095 as a 16-bit word): no exponent, no infinity, no wrap-around;
// halves go up.
TEST_F(RegisterEdit, TextsAreSetOrRefusedByTheFieldsFormat) {
  const auto zeros = [](int n) { return std::string(static_cast<std::size_t>(n), '0'); };
  const struct {
    std::string label, text;
    EditError error;
    std::int64_t raw;     // when set
    int address, byte;    // the byte it gives, when set
    const char* message;  // when refused, if not empty
    bool limit = false;   // limited to the display range
  } cases[] = {
      // -168 = 1 1111 0101 1000: bits 12:5 to byte 02, 4:0 to 102 beside the kept flag
      {"Limit", "-10.5", EditError::None, 65368, 2, 0xFA, ""},
      {"Limit", "-10.5", EditError::None, 65368, 0x102, 0xC1, ""},
      {"Limit", "300", EditError::OutOfRange, 0, 2, 0x28,
       "Limit: 300 is outside the display range -256 to 255.9375"},
      {"Limit", "0.0625" + zeros(34) + "1", EditError::None, 1, 0x102, 0x09, ""},
      {"Limit", "25." + zeros(38) + "1", EditError::None, 400, 0x102, 0x81, ""},
      {"Limit", "-255.9375" + zeros(30) + "1", EditError::None, 61441, 0x102, 0x09, ""},
      {"Limit", "25.03124999999", EditError::None, 400, 0x102, 0x81, ""},
      {"Limit", "25.03125", EditError::None, 401, 0x102, 0x89, ""},
      {"Limit", "-0.0001", EditError::None, 0, 2, 0, ""},
      {"Limit", "0." + zeros(399) + "1", EditError::None, 0, 2, 0, ""},
      {"Limit", "-0." + zeros(399) + "1", EditError::None, 0, 2, 0, ""},
      {"Limit", "1" + zeros(401), EditError::OutOfRange, 0, 2, 0x28, ""},
      {"Limit", "-1" + zeros(401), EditError::OutOfRange, 0, 2, 0x28, ""},
      {"Limit", "1" + zeros(401), EditError::None, 4095, 0x102, 0xF9, "", true},
      {"Limit", "-1" + zeros(401), EditError::None, 61440, 2, 0x80, "", true},
      {"Period", "8", EditError::OutOfRange, 0, 5, 0x92, ""},
      {"Period", "1,5", EditError::NotNumeric, 0, 5, 0x92, ""},
      {"Period", "", EditError::NotNumeric, 0, 5, 0x92, ""},
      {"Period", "6.5", EditError::None, 13, 5, 0xB6, ""},  // 1 0 1101 10
      {"Mode", "Cycle", EditError::None, 3, 5, 0x93, ""},
      {"Mode", "stop", EditError::None, 1, 5, 0x91, ""},
      {"Mode", "Pause", EditError::NoSuchChoice, 0, 5, 0x92,
       "Mode: \"Pause\" is not one of \"Run\", \"Cycle\", \"Stop\""},
      {"Ready", "0", EditError::ReadOnly, 0, 5, 0x92, "Ready is read-only"},
      {"Rate", "256", EditError::OutOfRange, 0, 6, 3, ""},
      {"Rate", "255", EditError::None, 255, 0x86, 255, ""},  // the write address too
      {"Extra", "0b111111111", EditError::TooWide, 0, 7, 0x11, ""},
      {"Extra", "-1", EditError::TooWide, 0, 7, 0x11, ""},
      {"Extra", "0b1010", EditError::None, 10, 7, 10, ""},
      {"byte 102", "f9", EditError::None, 0xF9, 0x102, 0xF9, ""},
      {"byte 102", "1FF", EditError::NotHex, 0, 0x102, 0x01,
       "register 102: \"1FF\" is not a byte in hexadecimal (00 to FF)"},
      {"byte 102", "g", EditError::NotHex, 0, 0x102, 0x01, ""},
      {"byte 99", "1", EditError::NoSuchField, 0, 0x99, 0,
       "the part has no register at address 99"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label + " " + c.text.substr(0, 40) + (c.limit ? " limited" : ""));
    SetUp();
    edit = EditState{};
    const EditOutcome outcome =
        c.label.starts_with("byte ")
            ? SetRegisterByte(session, edit, std::stoi(c.label.substr(5), nullptr, 16), c.text)
            : Set(c.label, c.text, {.limitToRange = c.limit});
    EXPECT_EQ(outcome.error, c.error);
    if (c.error == EditError::None) {
      EXPECT_EQ(outcome.raw, c.raw);
    } else if (*c.message != '\0') {
      EXPECT_EQ(outcome.message, c.message);
    }
    EXPECT_EQ(outcome.limited, c.limit);
    EXPECT_EQ(edit.writeRegsEnabled, c.error == EditError::None);
    EXPECT_EQ(session.images.valueImage[static_cast<std::size_t>(c.address)], c.byte);
  }
  Set("Period", "6.5");
  EXPECT_EQ(Bitfield(4), "2");
  EXPECT_EQ(Bitfield(5), "D");
  // A choice shows by its value, whatever the order of the list.
  Set("Mode", "Cycle");
  EXPECT_EQ(FieldLabelled("Mode").displayText, "Cycle");
  // A register wider than 16 bits keeps a negative value at its full width.
  Part(
      ">register title=W textbox=true format=0 input=-2147483648:2147483647 "
      "display=-2147483648:2147483647 >>bitfield label=W addr=2 bit=31:24 value=0 >>bitfield "
      "label=X addr=3 bit=23:16 value=0 >>bitfield label=Y addr=4 bit=15:8 value=0 >>bitfield "
      "label=Z addr=5 bit=7:0 value=0");
  EXPECT_EQ(Set("W", "-2").raw, 0xFFFFFFFE);
  EXPECT_EQ(session.images.valueImage[2], 0xFF);
}

// Nothing pending asks nothing; Cancel discards the change and stops the
// re-read (No discards it too: the declined write of the register
// operations' tests); Yes writes, reads back and reads again.
TEST_F(RegisterEdit, PendingChangesAreWrittenOrDiscardedByTheAnswer) {
  EXPECT_EQ(PendingWritePrompt(session, edit), markup::IDNO);
  EXPECT_TRUE(messages.shown.empty());

  Set("Extra", "0x22");
  messages.answers.push_back(markup::IDCANCEL);
  EXPECT_FALSE(ResyncRegisters(session, edit));
  EXPECT_TRUE(library.calls.empty());
  EXPECT_EQ(FieldLabelled("Extra").displayText, "0b00010001");  // back to the chip's value

  Set("Extra", "0x22");
  messages.answers.push_back(markup::IDYES);
  EXPECT_TRUE(ResyncRegisters(session, edit));
  const std::string read = "ReadDevice 7 0 2 48 2=28 102=01 5=92 6=03 7=22";
  EXPECT_EQ(testing::CallsText(library), "WriteDevice 7 0 2 48 7=22|" + read + "|" + read);
  EXPECT_EQ(FieldLabelled("Extra").displayText, "0b00100010");
  EXPECT_EQ(messages.Prompts(), "Write Modified Registers?|Write Modified Registers?");
  EXPECT_EQ(messages.shown.at(0).buttons, markup::MB_YESNOCANCEL);
}

// Save Reg writes every register by its write address, without a transfer;
// Open Reg applies a file (the last entry of an address counts, others keep
// their values) and marks every register to be written, changed or not. A
// file that cannot be read, or holds no entry, changes nothing; a save that
// fails says so.
TEST_F(RegisterEdit, RegisterDataIsSavedAndOpenedByWriteAddress) {
  kestrova::testing::TempFolder folder;
  EXPECT_FALSE(OpenRegisterData(session, edit, folder / "missing.dat"));
  EXPECT_FALSE(edit.writeRegsEnabled);
  EXPECT_FALSE(session.images.ModifiedLine(RegisterLine(1)));
  kestrova::testing::WriteBytes(folder / "empty.dat", "<definition>\r\n</definition>\r\n");
  EXPECT_FALSE(OpenRegisterData(session, edit, folder / "empty.dat"));
  EXPECT_FALSE(SaveRegisterData(session, folder / "no/such/folder/part.dat"));
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[0].prompt, "File read/write error for " + (folder / "missing.dat"));
  EXPECT_EQ(messages.shown[1].prompt.rfind("File read/write error for ", 0), 0u);
  const std::string path = folder / "part.dat";
  ASSERT_TRUE(SaveRegisterData(session, path));
  EXPECT_EQ(
      kestrova::testing::ReadBytes(path),
      "<definition>\r\n <reg addr=\"2\" value=\"28\"/>\r\n <reg addr=\"102\" value=\"1\"/>\r\n"
      " <reg addr=\"5\" value=\"92\"/>\r\n <reg addr=\"86\" value=\"3\"/>\r\n"
      " <reg addr=\"7\" value=\"11\"/>\r\n</definition>\r\n");
  kestrova::testing::WriteBytes(
      path,
      "<definition>\r\n <reg addr=\"7\" value=\"5C\"/>\r\n <reg addr=\"99\" "
      "value=\"7\"/>\r\n <reg addr=\"86\" value=\"A\"/>\r\n <reg "
      "addr=\"86\" value=\"B\"/>\r\n</definition>\r\n");
  ASSERT_TRUE(OpenRegisterData(session, edit, path));
  EXPECT_EQ(Bitfield(9), "5C");
  EXPECT_EQ(Bitfield(8), "B");
  EXPECT_EQ(Bitfield(1), "28");
  EXPECT_TRUE(edit.writeRegsEnabled);
  EXPECT_TRUE(library.calls.empty());
  ASSERT_TRUE(WriteModified(session, true));
  EXPECT_EQ(testing::CallsText(library),
            "WriteDevice 7 0 2 48 2=28 102=01 5=92 86=0B 7=5C|ReadDevice 7 0 2 48 2=28 102=01 5=92 "
            "6=03 7=5C");

  // The file keeps the setting, not the value a writefirst rule makes the first write carry.
  Part(
      ">register title=Mode >>bitfield label=Mode addr=05 bit=1:0 value=2 >>>add type=writefirst "
      "order=1 always=true value=1");
  ASSERT_TRUE(SaveRegisterData(session, path));
  EXPECT_EQ(kestrova::testing::ReadBytes(path),
            "<definition>\r\n <reg addr=\"5\" value=\"2\"/>\r\n</definition>\r\n");
}

}  // namespace
}  // namespace kestrova::engine
