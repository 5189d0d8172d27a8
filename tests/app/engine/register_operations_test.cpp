#include "engine/register_operations.hpp"

#include <gtest/gtest.h>

#include "engine/part_loader.hpp"
#include "engine/register_edit.hpp"
#include "engine_fixture.hpp"

namespace kestrova::engine {
namespace {

using testing::EngineTest;

const char* kTwoRegisters =
    ">register label=Config >>bitfield addr=1 bit=7:4 value=2 >>bitfield addr=1 bit=3:0 value=5 "
    ">register label=ID >>bitfield addr=2 bit=7:0 value=0 attr=R checkvalue=A1";

class Operations : public EngineTest {
 protected:
  void SetUp() override {
    Part(kTwoRegisters);
    library.chip = {{1, 0x37}, {2, 0xA1}};
    session.connection.interfaceAddressCaption = "48";
  }

  // The user changes the Config register in the panel.
  void EditConfig(const std::string& high, const std::string& low) {
    SetBitfield(1, high);
    SetBitfield(2, low);
    session.images.MarkModified(1, RegisterLine(1), true);
  }

  // What the calls of `function` carried, as "address=data" ("address" for reads).
  std::string Sent(const std::string& function) const {
    std::string text;
    for (const auto& call : library.CallsOf(function)) {
      for (std::size_t i = 0; i < call.registers.size(); ++i) {
        text += (text.empty() ? "" : " ") + definition::HexText(call.registers[i]) +
                (function == "ReadDevice" ? "" : "=" + definition::Hex2(call.data[i]));
      }
    }
    return text;
  }
  std::string Fields() { return Bitfield(1) + " " + Bitfield(2) + " " + Bitfield(3); }
};

// A read takes every byte not pending a write and applies it; a failure or a
// check value that does not match says so.
TEST_F(Operations, ReadUnmodifiedAppliesWhatTheChipHolds) {
  const std::string verify =
      "Registers do not match part\r\nVerify 48, Hardware Connection and Proper Part";
  const struct {
    bool pending;
    std::uint8_t id;
    int failures, testFlags;
    bool ok;
    const char* reads;
    const char* fields;
    std::uint8_t device;  // byte 1 as the device image holds it after
    std::string message;
  } cases[] = {
      {false, 0xA1, 0, 0, true, "1 2", "3 7 A1", 0x37, ""},
      {true, 0xA1, 0, 0, true, "2", "9 9 A1", 0, ""},
      {false, 0xA0, 0, 0, true, "1 2", "3 7 A0", 0x37, verify},
      {false, 0xA0, 0, kTestSkipCheckValue, true, "1 2", "3 7 A0", 0x37, ""},
      {false, 0xA1, 1, 0, false, "1 2", "2 5 0", 0, "Check USB connection and select Device again"},
      // Ignored failures: the bytes are what the list held, the shown values.
      {false, 0xA1, 1, kTestIgnoreFailures | kTestSkipCheckValue, true, "1 2", "2 5 0", 0x25, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fields);
    SetUp();
    if (c.pending) {
      EditConfig("9", "9");
    }
    library.chip[2] = c.id;
    library.failuresLeft = c.failures;
    session.connection.testFlags = c.testFlags;
    store.SetXmlFileIndex(4);
    EXPECT_EQ(ReadUnmodified(session), c.ok);
    EXPECT_EQ(store.XmlFileIndex(), 4);
    EXPECT_EQ(Sent("ReadDevice"), c.reads);
    EXPECT_EQ(Fields(), c.fields);
    EXPECT_EQ(messages.Prompts(), c.message);
    EXPECT_EQ(messages.CallsTo("StopContinuous").size(), c.message == verify ? 1u : 0u);
    EXPECT_EQ(session.images.deviceImage[1], c.device);
    EXPECT_EQ(messages.CallsTo("SetReadRegsEnabled"),
              (std::vector<std::string>{"SetReadRegsEnabled 0", "SetReadRegsEnabled 1"}));
  }
  // Nothing to read is no transfer.
  Part(">register label=Config >>bitfield addr=1 bit=7:0 value=2");
  session.images.MarkModified(1, RegisterLine(1), true);
  EXPECT_TRUE(ReadUnmodified(session));
  EXPECT_TRUE(library.calls.empty());
}

// A write sends the pending changes and reads everything back after it (when
// asked); declined, the changes go; failed, they stay pending; without a
// board the shown values become the device's.
TEST_F(Operations, WriteModifiedSendsOrDropsThePendingChanges) {
  const struct {
    const char* what;
    bool reallyWrite, readAfterWrite, board;
    int failures;
    const char* writes;
    const char* reads;
    const char* fields;
    std::uint8_t device;
    bool ok, pending;
    const char* message;
  } cases[] = {
      {"written", true, true, true, 0, "1=4C", "1 2", "4 C A1", 0x4C, true, false, ""},
      {"no read back", true, false, true, 0, "1=4C", "", "4 C 0", 0x4C, true, false, ""},
      {"declined", false, true, true, 0, "", "", "1 1 0", 0x11, true, false, ""},
      {"failed", true, true, true, 1, "1=4C", "", "4 C 0", 0x11, false, true,
       "Check SMB address or select another Device"},
      {"no board", true, true, false, 0, "", "", "4 C 0", 0x4C, true, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    session.images.deviceImage[1] = 0x11;
    session.readAfterWrite = c.readAfterWrite;
    session.connection.link = c.board ? kLinkSmbus : kLinkNone;
    session.connection.deviceHandle = c.board ? 7 : kNoDevice;
    session.connection.busType = c.board ? 2 : 11;
    session.writeOnChange = {true, true};
    library.chip[1] = 0x4C;
    library.failuresLeft = c.failures;
    EditConfig("4", "C");
    store.SetXmlFileIndex(6);
    EXPECT_EQ(WriteModified(session, c.reallyWrite), c.ok);
    EXPECT_EQ(store.XmlFileIndex(), 6);
    EXPECT_EQ(store.IndexStackDepth(), 0);
    EXPECT_EQ(Sent("WriteDevice"), c.writes);
    EXPECT_EQ(Sent("ReadDevice"), c.reads);
    EXPECT_EQ(Fields(), c.fields);
    EXPECT_EQ(session.images.deviceImage[1], c.device);
    EXPECT_EQ(session.images.valueImage[1], c.pending ? 0 : c.device);
    EXPECT_EQ(session.images.ModifiedAddress(1), c.pending);
    EXPECT_EQ(session.images.ModifiedLine(RegisterLine(1)), c.pending);
    EXPECT_EQ(messages.Prompts(), c.message);
    if (c.ok && c.reallyWrite && c.board) {
      EXPECT_FALSE(session.writeOnChange.writeOnChangeArmed);
      EXPECT_FALSE(session.writeOnChange.notWriteOnce);
      EXPECT_EQ(messages.CallsTo("SetWriteRegsEnabled"),
                std::vector<std::string>{"SetWriteRegsEnabled 0"});
    }
  }
}

// Low and High share byte 05; Board is a read-only board register; Cond
// hides when Low is 7; A and B both ask to be the last write.
const char* kSharedBytes =
    ">register title=Low >>bitfield addr=5 bit=3:0 value=1 >register title=High >>bitfield addr=5 "
    "bit=7:4 value=2 >register title=Board >>bitfield addr=400 bit=7:0 attr=R value=0 >register "
    "title=Cond >>hide addr=5 bit=3:0 value=7 >>bitfield addr=9 bit=7:0 value=0 >register title=A "
    ">>bitfield addr=7 bit=0 value=0 >>>add type=writelast order=1 >register title=B >>bitfield "
    "addr=8 bit=0 value=0 >>>add type=writelast order=1";

// Byte 05 holds High and Low with Other between them; byte 01 holds Mode,
// written first as 1 and last with its value, and Alert further on; byte 09
// holds Target, which follows Source (display 0:30, halves up) unless
// Source is FF, and Flags; Cond shows while High is not
// 0. Mode, High, Other and Low are written at start-up, Alert is not.
const char* kSharedApart =
    ">register title=Mode writeonstartup=true >>bitfield addr=1 bit=1:0 value=0 >>>add "
    "type=writefirst order=1 always=true value=1 >>>add type=writelast order=1 >register "
    "title=High writeonstartup=true >>bitfield addr=5 bit=7:4 value=0 >register title=Other "
    "writeonstartup=true >>bitfield addr=6 bit=7:0 value=0 >register title=Low writeonstartup=true "
    ">>bitfield addr=5 bit=3:0 value=0 >register title=Alert >>bitfield addr=1 bit=7:4 value=0 "
    ">register title=Source updatereg=9 >>bitfield addr=8 bit=7:0 value=0 >register title=Target "
    "updatereg=9 format=0 input=0:15 display=0:30 >>bitfield addr=9 bit=3:0 value=0 >>add "
    "type=updatereg >>>updatereg addr=8 bit=7:0 type=ignore value=FF >>>updatereg addr=8 bit=3:0 "
    "type=display value=0 >register title=Flags "
    ">>bitfield addr=9 bit=7:4 value=0 >register title=Cond >>hide addr=5 bit=7:4 value=0 "
    ">>bitfield addr=C bit=7:0 value=0";
// Target follows the high byte of Source.
const char* kHighSource =
    ">register title=Source updatereg=9 >>bitfield addr=8 bit=15:8 value=0 >register title=Target "
    "updatereg=9 format=0 input=0:255 display=0:255 >>bitfield addr=9 bit=7:0 value=0 >>add "
    "type=updatereg >>>updatereg addr=8 bit=15:8 type=display value=0";

// Every write of a byte carries the fields of every register that shares it,
// once per byte (transfer-order rules aside), or the change is refused with
// a message.
TEST_F(Operations, EveryWriteOfASharedByteCarriesAllItsRegisters) {
  const struct {
    const char* what;
    const char* part;
    std::vector<std::pair<int, std::string>> edits;  // bit field (1-based) or -address, text
    const char* written;                             // "address=data" of the write
    std::string refusal = "";                        // the edit's or the write's message
    bool writeAll = false;                           // every register marked, as Open Reg does
    bool startup = false;                            // the start-up writes instead
  } cases[] = {
      {"the earlier register", kSharedApart, {{2, "4"}}, "5=4A"},
      {"the later register", kSharedApart, {{4, "2"}}, "5=32"},
      {"both", kSharedApart, {{2, "4"}, {4, "2"}}, "5=42"},
      {"beside a field with order rules", kSharedApart, {{5, "3"}, {3, "5"}}, "1=31 6=05 1=32"},
      {"a dependent register", kSharedApart, {{6, "5"}}, "8=05 9=C3"},
      {"an ignored source value", kSharedApart, {{-8, "FF"}}, "8=FF"},
      {"a dependent of a high byte", kHighSource, {{1, "5"}}, "8=05 9=05"},
      {"a condition on the byte", kSharedApart, {{9, "7"}, {4, "2"}}, "5=32 C=07"},
      {"everything", kSharedApart, {}, "1=21 6=01 5=3A 8=00 9=C7 C=00 1=22", "", true},
      {"the start-up writes", kSharedApart, {}, "1=22 6=01 5=3A", "", false, true},
      {"two registers of a byte", kSharedBytes, {{1, "3"}, {2, "4"}}, "5=43"},
      {"read-only", kSharedBytes, {{-0x400, "5"}}, "", "register 400 is read-only"},
      {"hidden",
       kSharedBytes,
       {{1, "7"}, {-9, "5"}},
       "5=37",
       "register 09 is hidden by a condition"},
      {"two last writes",
       kSharedBytes,
       {{5, "1"}, {6, "1"}},
       "",
       "Registers cannot be transferred: addresses 07 and 08 both take transfer order 1 (line 22 "
       "of the part definition)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Part(c.part);
    session.readAfterWrite = false;
    library.chip = {{1, 0x22}, {5, 0x3A}, {6, 0x01}, {9, 0xC7}};
    ASSERT_TRUE(ReadUnmodified(session));
    EditState edit;
    std::string refusal;
    store.SetXmlFileIndex(3);
    for (const auto& [field, text] : c.edits) {
      const EditOutcome outcome = field > 0 ? SetFieldText(session, edit, BitfieldLine(field), text)
                                            : SetRegisterByte(session, edit, -field, text);
      refusal = outcome.message.empty() ? refusal : outcome.message;
    }
    if (c.writeAll) {
      std::fill(session.images.modifiedByLine.begin(), session.images.modifiedByLine.end(), true);
    }
    if (c.startup) {
      ASSERT_TRUE(CollectStartupLists(session));
      EXPECT_TRUE(WritePendingList(session));
    } else {
      EXPECT_EQ(WriteModified(session, true), c.refusal.rfind("Registers cannot", 0) != 0);
    }
    EXPECT_EQ(messages.shown.empty() ? refusal : messages.shown.back().prompt, c.refusal);
    EXPECT_EQ(Sent("WriteDevice"), c.written);
    EXPECT_EQ(store.XmlFileIndex(), 3);
  }
}

// The part settings are saved while the board is still open (no library
// call yet when they are).
TEST_F(Operations, CloseSavesThePartSettingsFirst) {
  messages.onSavePartSettings = [&] { messages.calls.push_back(testing::CallsText(library)); };
  EXPECT_TRUE(CloseCurrentDevice(session));
  EXPECT_EQ(messages.calls, (std::vector<std::string>{"StopContinuous", "SavePartSettings", ""}));
  EXPECT_EQ(testing::CallsText(library), "CloseDevice 7 0 0 0");
}

}  // namespace
}  // namespace kestrova::engine
