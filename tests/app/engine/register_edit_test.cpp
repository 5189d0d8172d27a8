#include "engine/register_edit.hpp"

#include <gtest/gtest.h>

#include "engine/register_operations.hpp"
#include "engine/register_view.hpp"
#include "engine_fixture.hpp"

namespace kestrova::engine {
namespace {

using testing::EngineTest;
using Addrs = std::vector<std::int16_t>;
using Bytes = std::vector<std::uint8_t>;

// A register whose first row edits a 13-bit value spread over two bytes, a
// drop-down, a scaled field, a read-only field and a register with read and
// write addresses that differ.
const char* kRegisters =
    ">register grouptabname=Main title=Limit textbox=true units=C format=0.00 input=-4096:4095 "
    "display=-256:255.9375 >>bitfield label=Limit addr=02 bit=15:8 regbit=12:5 value=28 >>bitfield "
    "label='Limit low' addr=102 bit=7:3 regbit=4:0 value=0 >>bitfield label=Flag addr=102 bit=0 "
    "regbit=none attr=R value=1 >register title=Mode format=hex writeonce=true >>bitfield "
    "label=Mode addr=05 bit=1:0 value=2 >>>add type=combo >>>>combo label=Run value=0 >>>>combo "
    "label=Stop value=1 >>>>combo label=Cycle value=3 >>bitfield label=Period addr=05 bit=5:2 "
    "value=4 textbox=true units=s format=0.0 input=0:15 display=0:7.5 >>bitfield label=Ready "
    "addr=05 bit=7 attr=R value=1 >>bitfield label=Spare addr=05 bit=6 value=0 visible=false "
    ">register title=Rate format=dec >>bitfield label=Rate addr=06:86 bit=7:0 value=3 textbox=true "
    "format=dec >register title=Extra format=hex >>hide addr=05 bit=1:0 value=0 >>bitfield "
    "label=Extra addr=07 bit=7:0 value=11";

class RegisterEdit : public EngineTest {
 protected:
  void SetUp() override {
    Part(kRegisters);
    library.chip[2] = 0x28;
    library.chip[0x102] = 0x01;
    library.chip[5] = 0x92;
    library.chip[6] = 3;
    library.chip[7] = 0x11;
    ASSERT_TRUE(ReadUnmodified(session));
    // The second read also reaches the register that the first found hidden
    // (its condition looked at bytes not yet read).
    ASSERT_TRUE(ReadUnmodified(session));
    library.calls.clear();
  }

  const FieldRow& Row(const std::string& label) {
    view = BuildRegisterView(session);
    for (const RegisterRow& reg : view) {
      for (const FieldRow& field : reg.fields) {
        if (field.label == label) {
          return field;
        }
      }
    }
    static FieldRow none;
    ADD_FAILURE() << "no row " << label;
    return none;
  }

  EditOutcome Set(const std::string& label, const std::string& text, EditOptions options = {}) {
    return SetFieldText(session, edit, Row(label).fieldLine, text, options);
  }

  std::vector<RegisterRow> view;
  EditState edit;
};

TEST_F(RegisterEdit, HiddenRegistersFollowTheShownBytes) {
  EXPECT_TRUE(Set("Mode", "Run").error == EditError::None);
  view = BuildRegisterView(session);
  EXPECT_TRUE(view[3].hidden);
  EXPECT_TRUE(view[3].fields[0].hidden);
}

TEST_F(RegisterEdit, ARegisterValueSpreadsOverItsBytes) {
  const EditOutcome outcome = Set("Limit", "-10.5");
  ASSERT_EQ(outcome.error, EditError::None) << outcome.message;
  EXPECT_EQ(Bitfield(1), "FA");  // -168 = 1 1111 0101 1000: bits 12:5, then 4:0
  EXPECT_EQ(Bitfield(2), "18");
  EXPECT_EQ(Bitfield(3), "1");  // not part of the register value: kept
  EXPECT_EQ(session.images.valueImage[2], 0xFA);
  EXPECT_EQ(session.images.valueImage[0x102], 0xC1);
  EXPECT_TRUE(session.images.ModifiedAddress(2));
  EXPECT_TRUE(session.images.ModifiedAddress(0x102));
  EXPECT_TRUE(edit.writeRegsEnabled);
  EXPECT_TRUE(library.calls.empty());  // not written: Write On Change is off

  ASSERT_TRUE(WriteModified(session, true));
  const auto writes = library.CallsOf("WriteDevice");
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].registers, (Addrs{2, 0x102}));
  EXPECT_EQ(writes[0].data, (Bytes{0xFA, 0xC1}));
}

TEST_F(RegisterEdit, NumbersOutsideTheDisplayRangeAreRefusedOrLimited) {
  EditOutcome outcome = Set("Limit", "300");
  EXPECT_EQ(outcome.error, EditError::OutOfRange);
  EXPECT_EQ(outcome.message, "Limit: 300 is outside the display range -256 to 255.9375");
  EXPECT_EQ(Bitfield(1), "28");
  EXPECT_FALSE(edit.writeRegsEnabled);

  EditOptions limit;
  limit.limitToRange = true;
  outcome = Set("Limit", "300", limit);
  EXPECT_EQ(outcome.error, EditError::None);
  EXPECT_TRUE(outcome.limited);
  EXPECT_EQ(outcome.raw, 4095);
  EXPECT_EQ(Row("Limit").displayText, "255.94");

  EXPECT_EQ(Set("Period", "8").error, EditError::OutOfRange);
  EXPECT_EQ(Set("Period", "1,5").error, EditError::NotNumeric);
  EXPECT_EQ(Set("Period", "1.5x").error, EditError::NotNumeric);
  EXPECT_EQ(Set("Period", "").error, EditError::NotNumeric);
}

// Typed numbers of any magnitude and any number of places convert by their
// value (the register steps 1/16; raw -4096..4095 as a 16-bit word).
TEST_F(RegisterEdit, TypedNumbersConvertByTheirValue) {
  struct Case {
    std::string text;
    std::int64_t raw;  // -1: refused as out of range
  };
  const auto zeros = [](int n) { return std::string(static_cast<std::size_t>(n), '0'); };
  std::vector<Case> cases;
  // Whole steps with a tail far below half a step, at every number of places.
  for (const auto& [text, raw] : std::vector<std::pair<std::string, std::int64_t>>{
           {"0.", 0}, {"0.0625", 1}, {"25.", 400}, {"-25.", 65536 - 400}, {"-255.9375", 61441}}) {
    const int shown = static_cast<int>(text.size() - text.find('.') - 1);
    for (int places = std::max(shown + 1, 2); places <= 40; ++places) {
      cases.push_back({text + zeros(places - shown - 1) + "1", raw});
    }
  }
  // Just below and exactly at half a step (halves go up).
  for (int places = 6; places <= 12; ++places) {
    cases.push_back({"25.03124" + std::string(static_cast<std::size_t>(places - 5), '9'), 400});
  }
  cases.push_back({"25.03125", 401});
  cases.push_back({"0.0001", 0});
  cases.push_back({"-0.0001", 0});
  // Tiny and huge magnitudes: no exponent, no infinity, no wrap-around.
  for (int digits = 2; digits <= 400; digits += 9) {
    cases.push_back({"0." + zeros(digits - 1) + "1", 0});
    cases.push_back({"-0." + zeros(digits - 1) + "1", 0});
    cases.push_back({"1" + zeros(digits + 1), -1});
    cases.push_back({"-1" + zeros(digits + 1), -1});
  }
  EditOptions limit;
  limit.limitToRange = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const EditOutcome outcome = Set("Limit", c.text);
    if (c.raw < 0) {
      EXPECT_EQ(outcome.error, EditError::OutOfRange);
      const EditOutcome limited = Set("Limit", c.text, limit);
      EXPECT_EQ(limited.raw, c.text[0] == '-' ? 61440 : 4095);
      continue;
    }
    ASSERT_EQ(outcome.error, EditError::None) << outcome.message;
    EXPECT_EQ(outcome.raw, c.raw);
    EXPECT_EQ(Row("Limit").raw, c.raw & 0x1FFF);
  }
}

TEST_F(RegisterEdit, AFieldKeepsTheOtherBitsOfItsByte) {
  ASSERT_EQ(Set("Period", "6.5").error, EditError::None);
  EXPECT_EQ(Row("Period").raw, 13);
  EXPECT_EQ(session.images.valueImage[5], 0xB6);  // 1 0 1101 10
  EXPECT_EQ(Bitfield(4), "2");
  EXPECT_EQ(Bitfield(5), "D");
}

TEST_F(RegisterEdit, ChoicesGoByLabelCaseOrValue) {
  EXPECT_EQ(Set("Mode", "Cycle").raw, 3);
  EXPECT_EQ(session.images.valueImage[5], 0x93);
  EXPECT_EQ(Set("Mode", "stop").raw, 1);
  EXPECT_EQ(Set("Mode", "0x0").raw, 0);
  const EditOutcome outcome = Set("Mode", "Pause");
  EXPECT_EQ(outcome.error, EditError::NoSuchChoice);
  EXPECT_EQ(outcome.message, "Mode: \"Pause\" is not one of \"Run\", \"Stop\", \"Cycle\"");
}

TEST_F(RegisterEdit, ReadOnlyAndTooWideValuesAreRefused) {
  EXPECT_EQ(Set("Ready", "0").error, EditError::ReadOnly);
  EXPECT_EQ(Set("Ready", "0").message, "Ready is read-only");
  EXPECT_EQ(Set("Rate", "256").error, EditError::OutOfRange);
  EXPECT_EQ(Set("Rate", "255").error, EditError::None);
  EXPECT_EQ(session.images.valueImage[6], 255);
  EXPECT_EQ(session.images.valueImage[0x86], 255);  // the write address too
  EXPECT_EQ(Set("Extra", "0b111111111").error, EditError::TooWide);
  EXPECT_EQ(Set("Extra", "0x1FF").error, EditError::TooWide);
  EXPECT_EQ(Set("Extra", "0b1010").raw, 10);
  EXPECT_EQ(Set("Extra", "-1").error, EditError::TooWide);
}

TEST_F(RegisterEdit, RegisterBytesAreSetByAddress) {
  EXPECT_EQ(SetRegisterByte(session, edit, 0x102, "f9").error, EditError::None);
  EXPECT_EQ(Bitfield(2), "1F");
  EXPECT_EQ(Bitfield(3), "1");
  EXPECT_EQ(SetRegisterByte(session, edit, 0x102, "1FF").error, EditError::NotHex);
  EXPECT_EQ(SetRegisterByte(session, edit, 0x102, "g").error, EditError::NotHex);
  EXPECT_EQ(SetRegisterByte(session, edit, 0x99, "1").error, EditError::NoSuchField);
  EXPECT_EQ(SetRegisterByte(session, edit, 0x99, "1").message,
            "the part has no register at address 99");
}

TEST_F(RegisterEdit, PendingChangesAreWrittenOrDiscardedByTheAnswer) {
  EXPECT_EQ(PendingWritePrompt(session, edit), markup::IDNO);  // nothing pending: no question
  EXPECT_TRUE(messages.shown.empty());

  Set("Extra", "0x22");
  messages.answers.push_back(markup::IDNO);
  EXPECT_EQ(PendingWritePrompt(session, edit), markup::IDNO);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].prompt, "Write Modified Registers?");
  EXPECT_EQ(messages.shown[0].buttons, markup::MB_YESNOCANCEL);
  EXPECT_TRUE(library.CallsOf("WriteDevice").empty());
  EXPECT_EQ(Row("Extra").displayText, "0b00010001");  // back to the chip's value

  Set("Extra", "0x22");
  messages.answers.push_back(markup::IDCANCEL);
  EXPECT_FALSE(ResyncRegisters(session, edit));
  EXPECT_TRUE(library.CallsOf("ReadDevice").empty());  // Cancel stops the read
  EXPECT_EQ(Row("Extra").displayText, "0b00010001");

  Set("Extra", "0x22");
  messages.answers.push_back(markup::IDYES);
  EXPECT_TRUE(ResyncRegisters(session, edit));
  const auto writes = library.CallsOf("WriteDevice");
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].registers, (Addrs{7}));
  EXPECT_EQ(writes[0].data, (Bytes{0x22}));
  EXPECT_EQ(library.CallsOf("ReadDevice").size(), 2u);  // read after write, then the re-read
  EXPECT_EQ(Row("Extra").displayText, "0b00100010");
}

}  // namespace
}  // namespace kestrova::engine
