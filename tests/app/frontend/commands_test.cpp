// The menu's commands on the core: a part's start (the dialogs in their
// order, the hardware part.def remembers, the address that wins, a failed
// open, the offer of a register data file without hardware) and end, the raw
// register dialog's boxes and buttons, Manual and View Log, and Open Reg /
// Save Reg with their prompts and the file-name label.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "../engine/engine_fixture.hpp"
#include "../markup/temp_folder.hpp"
#include "continuous/continuous_read.hpp"
#include "continuous/plot_selection.hpp"
#include "definition/part_settings.hpp"
#include "engine/register_edit.hpp"
#include "frontend/live_settings.hpp"
#include "frontend/menu_commands.hpp"
#include "frontend/panel_view.hpp"
#include "frontend/program_start.hpp"
#include "frontend/raw_register.hpp"
#include "frontend/register_data_commands.hpp"
#include "frontend/start_device.hpp"

namespace kestrova::frontend {
namespace {

using kestrova::testing::PartText;
using kestrova::testing::ReadBytes;
using kestrova::testing::TempFolder;
using kestrova::testing::WriteBytes;

// A part with the given driver entries, an I2C address and one logged register.
std::string Definition(const std::string& entries) {
  return PartText(">driver " + entries +
                      " >interface type=i2c >>addr value=48 label='I2C Address' >register "
                      "title=A log=true units=C >>bitfield label=A addr=1 bit=7:0 value=5",
                  "label=Sensor");
}

const std::string kThreeEntries = Definition(
    ">>add type=usb label=Board vid=0400 pid=1100 >>add type=ich label=Adapter >>add type=sim "
    "label=Simulation");

class Start : public engine::testing::EngineTest {
 protected:
  Start() : plots(store, frontEnd), start(session, frontEnd, edit, &panel, &plots) {
    store.SetRetryWait([](std::chrono::milliseconds) {});
    std::filesystem::create_directories(home / "device");
    WriteBytes(home / "device/sensor", kThreeEntries);
    WriteBytes(home / "device/plain", Definition(">>add type=sim label=Simulation"));
    start.programFolder = home.path();
    start.deviceName = "sensor";
  }

  // part.def of the sensor as a run before left it: the hardware, its
  // address, "Write On Change", a read interval of 250 ms and 5 log rows.
  definition::PartSettings Remember(const std::string& driverClass, std::int16_t address,
                                    bool writeNow) {
    definition::PartSettings settings = definition::DefaultPartSettings(home / "sensor", "sensor");
    settings.driverClass = driverClass;
    settings.interfaceAddr = address;
    settings.writeNowValue = writeNow ? 1 : 0;
    settings.timer1Interval = 250;
    settings.maxLogCount = 5;
    std::filesystem::create_directories(home / "sensor");
    markup::MarkupStore scratch;
    EXPECT_TRUE(definition::SavePartSettings(scratch, home / "sensor", settings, frontEnd));
    return settings;
  }

  TempFolder home;
  test_support::RecordingFrontEnd& frontEnd = messages;
  engine::EditState edit;
  PanelModel panel{session};
  continuous::PlotSelection plots;
  DeviceStart start;
};

// The remembered hardware is preselected, its address wins and the other
// settings live in the run, while the startup file names no device. The end
// cannot be cancelled: a pending change is written without a question when
// "Write On Change" is ticked; otherwise the question is asked, and Cancel
// throws the change away and the end goes on. What changed while the part
// was open is what the end saves.
TEST_F(Start, TheRememberedSettingsLiveInTheRunAndTheEndWritesOrAsks) {
  const std::string startup = "<definition device=\"sensor\" test=\"4\">\r\n</definition>\r\n";
  const struct {
    std::int16_t remembered;
    std::int16_t address;
    bool writeNow;
    std::deque<int> answers;
    const char* questions;
    std::size_t writes;
  } cases[] = {
      {0x4A, 0x4A, true, {}, "", 1},
      {-1, 0x48, false, {markup::IDCANCEL}, "Write Modified Registers?", 0},
  };
  continuous::ContinuousState loop;
  start.continuousState = &loop;
  frontEnd.onSavePartSettings = [&] { SavePartSettings(start, edit, &loop); };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    definition::PartSettings saved = Remember("ich", c.remembered, c.writeNow);
    WriteBytes(home / "dravik.def", startup);
    EXPECT_EQ(OpenStartupFile(store, home.path(), frontEnd).deviceName, "sensor");
    frontEnd.hardwareDialogs.clear();
    ASSERT_TRUE(start.StartDevice({}));
    ASSERT_EQ(frontEnd.hardwareDialogs.size(), 1u);
    EXPECT_EQ(frontEnd.hardwareDialogs[0].title, "Sensor");
    EXPECT_EQ(frontEnd.hardwareDialogs[0].captions,
              (std::vector<std::string>{"Sensor Board", "Sensor Adapter", "Sensor Simulation"}));
    EXPECT_EQ(frontEnd.hardwareDialogs[0].selected, 1);
    EXPECT_EQ(session.connection.link, engine::kLinkSmbus);
    EXPECT_EQ(session.connection.busType, 3);
    EXPECT_EQ(session.connection.deviceAddress, c.address);
    EXPECT_TRUE(frontEnd.shown.empty());  // hardware present: no offer of a data file
    EXPECT_EQ(edit.writeNow, c.writeNow);
    EXPECT_TRUE(session.readAfterWrite);
    EXPECT_EQ(loop.readInterval, 250);
    EXPECT_EQ(loop.logLimit, 5);
    EXPECT_EQ(loop.logFileName, saved.logFileName);

    ASSERT_EQ(engine::StageRegisterByte(session, edit, 1, "22").error, engine::EditError::None);
    library.calls.clear();
    frontEnd.answers = c.answers;
    loop.readInterval = 500;
    session.readAfterWrite = false;
    ShutDown(start, edit, false);
    EXPECT_EQ(frontEnd.Prompts(), c.questions);
    frontEnd.shown.clear();
    EXPECT_EQ(library.CallsOf("WriteDevice").size(), c.writes);
    EXPECT_EQ(library.CallsOf("CloseDevice").size(), 1u);
    saved.timer1Interval = 500;
    saved.readAfterWriteValue = 0;
    EXPECT_EQ(ReadBytes(home / "sensor/part.def"),
              definition::PartSettingsStartTag(saved) + "\r\n</definition>\r\n");
    EXPECT_EQ(ReadBytes(home / "dravik.def"), startup);
  }
  EXPECT_EQ(frontEnd.windowTitle, "Sensor Adapter");
  EXPECT_EQ(frontEnd.CallsTo("ShowSplash"),
            std::vector<std::string>(2, "ShowSplash Searching for Sensor Adapter..."));
  EXPECT_EQ(frontEnd.CallsTo("ShowPanelTabs").size(), 2u);
  EXPECT_EQ(panel.Pages().groups[0].pages.size(), 1u);
  EXPECT_EQ(plots.PlotSelectionNumber(), 1);  // the logged register's default plot
}

TEST_F(Start, AnotherDeviceThenCancelEnds) {
  frontEnd.hardwareChoices = {kAnotherDevice};
  EXPECT_FALSE(start.StartDevice({}));
  EXPECT_EQ(start.Failure(), StartFailure::Cancelled);
  ASSERT_EQ(frontEnd.fileDialogs.size(), 1u);
  EXPECT_EQ(frontEnd.fileDialogs[0].filter, "Device (*)|*");
  EXPECT_EQ(frontEnd.fileDialogs[0].title, "Open Device");
  EXPECT_EQ(frontEnd.fileDialogs[0].fileName, home / "device/sensor");
  EXPECT_EQ(frontEnd.fileDialogs[0].flags, 0x1008u);
  EXPECT_TRUE(library.calls.empty());
}

// No device named asks for its file; a failed open shows the library's text
// and asks for another device; hardware the program does not reach ("sim")
// offers a register data file, and Yes opens its dialog.
TEST_F(Start, NoDeviceOrAFailedOpenAsksForTheFileAndNoHardwareOffersADataFile) {
  session.connection.testFlags = engine::kTestLibraryErrorText;
  library.failuresLeft = 1;
  library.errorText = "OpenDevice: No USB device found";
  start.deviceName = "none";
  frontEnd.fileChoices = {home / "device/sensor", home / "device/plain"};
  frontEnd.hardwareChoices = {0};  // the board, which fails; then plain's only entry, "sim"
  frontEnd.answers = {markup::IDOK, markup::IDYES};
  ASSERT_TRUE(start.StartDevice({}));
  EXPECT_EQ(start.deviceName + " " + start.driverClass, "plain sim");
  EXPECT_EQ(session.connection.busType, 11);
  EXPECT_EQ(session.connection.deviceHandle, engine::kNoDevice);
  EXPECT_EQ(library.CallsOf("OpenDevice").size(), 1u);
  EXPECT_EQ(frontEnd.Prompts(),
            "Check USB connection and select Device again\r\nOpenDevice: No USB device found|No "
            "Hardware Selected.\r\nLoad Register Data File?");
  EXPECT_EQ(frontEnd.shown.at(1).buttons, markup::MB_YESNO);
  ASSERT_EQ(frontEnd.fileDialogs.size(), 3u);
  EXPECT_EQ(frontEnd.fileDialogs[1].title, "Open Device");
  EXPECT_EQ(frontEnd.fileDialogs[2].title, "Open Register Data File");
  EXPECT_EQ(frontEnd.fileDialogs[2].flags, 0x30500Du);
}

TEST_F(Start, RawDialogBoxesAndTransfers) {
  EXPECT_EQ(RawTypedText("g") + RawTypedText("4a"), "4A");
  EXPECT_EQ(
      RawLeadingZerosRemoved("007") + RawLeadingZerosRemoved("0") + RawLeadingZerosRemoved("x0"),
      "70x0");
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

TEST_F(Start, ManualAndViewLogOpenThroughTheFrontEnd) {
  const std::string guide = home / "guide.pdf";
  WriteBytes(guide, "%PDF");
  WriteBytes(home / "empty.txt", "");
  WriteBytes(home / "run.txt", "1\r\n");
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
      {true, home / "gone.pdf", true, {site}, "File not found" + advice},
      {true, guide, false, {"OpenDocument " + guide, site}, "Unknown error" + advice},
      {false, home / "empty.txt", true, {}, kEmptyLogMessage},
      {false, home / "none.txt", true, {}, ""},
      {false, home / "run.txt", true, {"OpenDocument " + (home / "run.txt")}, ""},
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
    EXPECT_EQ(frontEnd.Prompts(), c.message);
  }
  EXPECT_EQ(frontEnd.fileDialogs.back().title, "View Log File");
}

TEST_F(Start, OpenRegOffersToSaveFirstAndShowsTheFileName) {
  Part(">register title=A >>bitfield label=A addr=1 bit=7:0 value=5");
  ASSERT_EQ(engine::SetFieldText(session, edit, 4, "7").error, engine::EditError::None);
  const std::string saved = home / "saved.dat";
  start.settings.regFileName = home / "old.dat";
  frontEnd.fileChoices = {saved, saved};
  frontEnd.answers = {markup::IDYES, markup::IDNO};  // save first; then do not write
  ASSERT_TRUE(OpenRegCommand(start, true));
  EXPECT_EQ(frontEnd.Prompts(), "Save Current Register Settings?|Write Modified Registers?");
  ASSERT_EQ(frontEnd.fileDialogs.size(), 2u);
  EXPECT_EQ(frontEnd.fileDialogs[0].title, "Save Register Data File");
  EXPECT_EQ(frontEnd.fileDialogs[0].fileName, home / "old.dat");
  EXPECT_EQ(frontEnd.fileDialogs[1].title, "Open Register Data File");
  EXPECT_EQ(frontEnd.CallsTo("ShowFileName"),
            (std::vector<std::string>{"ShowFileName saved.dat", "ShowFileName saved.dat"}));
  EXPECT_EQ(ReadBytes(saved),
            "<definition>\r\n <reg addr=\"1\" value=\"7\"/>\r\n</definition>\r\n");

  // A file that fails is still the part's file, and its name is shown.
  frontEnd.fileChoices = {home / "no/such.dat"};
  EXPECT_FALSE(SaveRegCommand(start));
  EXPECT_EQ(start.settings.regFileName, home / "no/such.dat");
  EXPECT_EQ(frontEnd.CallsTo("ShowFileName").back(), "ShowFileName such.dat");
}

}  // namespace
}  // namespace kestrova::frontend
