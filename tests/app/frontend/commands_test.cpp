// The commands around the dialogs: the raw register dialog's boxes and
// buttons, Manual and View Log, and Open Reg / Save Reg with their prompts
// and the file-name label.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../markup/temp_folder.hpp"
#include "engine/register_edit.hpp"
#include "engine/session.hpp"
#include "frontend/menu_commands.hpp"
#include "frontend/raw_register.hpp"
#include "frontend/register_data_commands.hpp"
#include "frontend/start_device.hpp"
#include "markup/markup_store.hpp"
#include "support/recording_device_library.hpp"
#include "support/recording_front_end.hpp"

namespace kestrova::frontend {
namespace {

using kestrova::testing::ReadBytes;
using kestrova::testing::TempFolder;
using kestrova::testing::WriteBytes;

class Commands : public ::testing::Test {
 protected:
  Commands() : session(store, library, frontEnd), start(session, frontEnd, edit, nullptr, nullptr) {
    session.connection.deviceHandle = 7;
    session.connection.link = engine::kLinkUsb;
    session.connection.busType = 2;
    store.SetRetryWait([](std::chrono::milliseconds) {});
  }

  TempFolder folder;
  markup::MarkupStore store;
  engine::RecordingDeviceLibrary library;
  test_support::RecordingFrontEnd frontEnd;
  engine::Session session;
  engine::EditState edit;
  DeviceStart start;
};

TEST_F(Commands, RawDialogBoxesAndTransfers) {
  EXPECT_EQ(RawTypedText("g") + RawTypedText("4a"), "4A");
  EXPECT_EQ(
      RawLeadingZerosRemoved("007") + RawLeadingZerosRemoved("0") + RawLeadingZerosRemoved("x0"),
      "70x0");
  EXPECT_EQ(RawHexValue("FFFF"), std::optional<std::int16_t>(-1));
  EXPECT_EQ(RawHexValue("12345"), std::nullopt);
  EXPECT_EQ(RawValueText(0x1A2, true) + RawValueText(-1, false), "01A2FF");
  EXPECT_EQ(
      RawRegisterDialog::NextRegisterAddress("0F") + RawRegisterDialog::NextRegisterAddress("FF"),
      "1000");

  RawRegisterDialog dialog(session);
  library.chip[0x30] = 0xA2;
  const struct {
    RawInput input;
    bool write;
    std::string result;  // the value box after a read, else the refusal
    std::vector<std::int16_t> registers;
  } cases[] = {
      {{"48", "", "", true}, false, "00", {-1}},
      {{"48", "30", "", false, true}, false, "A2A2", {0x30, 0x30}},
      {{"48", "", "", false}, false, kInvalidReadInput, {}},
      {{"48", "5", "", false}, true, kInvalidWriteInput, {}},
      {{"48", "5", "1FF", false}, true, kInvalidWriteInput, {}},
      {{"48", "6", "FFFF", false, true}, true, "", {6, 6}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input.registerAddress + "=" + c.input.value);
    library.calls.clear();
    frontEnd.shown.clear();
    const std::string value = c.write ? "" : dialog.Read(c.input);
    if (c.write) {
      dialog.Write(c.input);
    }
    EXPECT_EQ(frontEnd.shown.empty() ? value : frontEnd.shown[0].prompt, c.result);
    EXPECT_EQ(library.calls.empty() ? std::vector<std::int16_t>{} : library.calls[0].registers,
              c.registers);
    EXPECT_EQ(dialog.RepeatAfterIncrement({"", "", "", false, false, true}),
              c.write ? RawRegisterDialog::Repeat::Write : RawRegisterDialog::Repeat::Read);
  }
  EXPECT_EQ(library.calls[0].data, (std::vector<std::uint8_t>{0xFF, 0xFF}));
}

TEST_F(Commands, ManualAndViewLogOpenThroughTheFrontEnd) {
  const std::string guide = folder / "guide.pdf";
  WriteBytes(guide, "%PDF");
  WriteBytes(folder / "empty.txt", "");
  WriteBytes(folder / "run.txt", "1\r\n");
  const std::string advice =
      "\r\nYou may need to reinstall\r\nAdobe Acrobat Reader 4.05 or later\r\n"
      "Go to the Adobe Acrobat Reader web site now?";
  const std::string site = std::string("OpenDocument ") + kReaderSite;
  const struct {
    bool manual;
    std::string chosen;
    bool opens;
    std::vector<std::string> calls;  // OpenDocument targets
    std::string message;
  } cases[] = {
      {true, guide, true, {"OpenDocument " + guide}, ""},
      {true, folder / "gone.pdf", true, {site}, "File not found" + advice},
      {true, guide, false, {"OpenDocument " + guide, site}, "Unknown error" + advice},
      {false, folder / "empty.txt", true, {}, kEmptyLogMessage},
      {false, folder / "none.txt", true, {}, ""},
      {false, folder / "run.txt", true, {"OpenDocument " + (folder / "run.txt")}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.chosen);
    frontEnd.calls.clear();
    frontEnd.shown.clear();
    frontEnd.fileChoices = {c.chosen};
    frontEnd.openSucceeds = c.opens;
    std::string name = "before";
    EXPECT_TRUE(c.manual ? ManualCommand(frontEnd, name) : ViewLogCommand(frontEnd, name));
    EXPECT_EQ(name, c.chosen);
    EXPECT_EQ(frontEnd.CallsTo("OpenDocument"), c.calls);
    EXPECT_EQ(frontEnd.shown.empty() ? "" : frontEnd.shown[0].prompt, c.message);
  }
  EXPECT_EQ(frontEnd.fileDialogs.back().title, "View Log File");
}

TEST_F(Commands, OpenRegOffersToSaveFirstAndShowsTheFileName) {
  ASSERT_TRUE(store.LoadMarkupText(
      "<definition>\r\n <part label=\"Test\">\r\n  <register title=\"A\">\r\n"
      "   <bitfield label=\"A\" addr=\"1\" bit=\"7:0\" value=\"5\"/>\r\n  </register>\r\n"
      " </part>\r\n</definition>\r\n"));
  session.OnPartOpened();
  ASSERT_EQ(engine::SetFieldText(session, edit, 4, "7").error, engine::EditError::None);
  const std::string saved = folder / "saved.dat";
  start.settings.regFileName = folder / "old.dat";
  frontEnd.fileChoices = {saved, saved};
  frontEnd.answers = {markup::IDYES, markup::IDNO};  // save first; then do not write
  ASSERT_TRUE(OpenRegCommand(start, true));
  ASSERT_EQ(frontEnd.shown.size(), 2u);
  EXPECT_EQ(frontEnd.shown[0].prompt, "Save Current Register Settings?");
  EXPECT_EQ(frontEnd.shown[1].prompt, "Write Modified Registers?");
  ASSERT_EQ(frontEnd.fileDialogs.size(), 2u);
  EXPECT_EQ(frontEnd.fileDialogs[0].title, "Save Register Data File");
  EXPECT_EQ(frontEnd.fileDialogs[0].fileName, folder / "old.dat");
  EXPECT_EQ(frontEnd.fileDialogs[1].title, "Open Register Data File");
  EXPECT_EQ(frontEnd.CallsTo("ShowFileName"),
            (std::vector<std::string>{"ShowFileName saved.dat", "ShowFileName saved.dat"}));
  EXPECT_EQ(ReadBytes(saved),
            "<definition>\r\n <reg addr=\"1\" value=\"7\"/>\r\n</definition>\r\n");

  // A file that fails is still the part's file, and its name is shown.
  frontEnd.fileChoices = {folder / "no/such.dat"};
  EXPECT_FALSE(SaveRegCommand(start));
  EXPECT_EQ(start.settings.regFileName, folder / "no/such.dat");
  EXPECT_EQ(frontEnd.CallsTo("ShowFileName").back(), "ShowFileName such.dat");
}

}  // namespace
}  // namespace kestrova::frontend
