#include "continuous/continuous_read.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "../engine/engine_fixture.hpp"
#include "../markup/temp_folder.hpp"
#include "continuous/plot_log_lines.hpp"
#include "engine/part_loader.hpp"
#include "engine/register_edit.hpp"
#include "fake_clock.hpp"

namespace kestrova::continuous {
namespace {

using kestrova::testing::ReadBytes;
using kestrova::testing::TempFolder;
using testing::FakeClock;
using testing::FakeDateTime;
using testing::PlotOf;
using Addrs = std::vector<std::int16_t>;
using Times = std::vector<std::int64_t>;

const char* kRegisters =
    ">register log=true title=Temp format=0.0 input=0:255 display=0:127.5 >>bitfield label=T "
    "addr=0 bit=7:0 value=0 >register title=Config format=hex writeonstartup=true >>bitfield "
    "label=C addr=1 bit=7:0 value=5 >register log=true title=SampleCounter format=dec >>bitfield "
    "label=N addr=2 bit=7:0 value=0";
// The logged registers as a plot shows them: line and name.
const std::pair<std::int16_t, std::string> kTemp = {3, "Temp"};
const std::pair<std::int16_t, std::string> kCounter = {9, "SampleCounter"};

// The step timer on simulated time; a step that refreshes the panel takes
// `stepMs`.
class TimerFrontEnd : public ContinuousFrontEnd {
 public:
  explicit TimerFrontEnd(FakeClock& clock) : origin(clock.now), clock_(clock) {}
  void ArmStepTimer(int delayMs) override { due = clock_.now + delayMs; }
  void ContinuousControlsChanged() override { ++controlChanges; }
  void RefreshPanel() override {
    refreshTimes.push_back(clock_.now - origin);
    clock_.now += stepMs;
  }
  void PlotWindowClosing(int index) override { closing.push_back(index); }

  std::int64_t origin;
  std::int64_t due = -1;
  int stepMs = 0;
  int controlChanges = 0;
  Times refreshTimes;  // since `origin`
  std::vector<int> closing;

 private:
  FakeClock& clock_;
};

class Continuous : public engine::testing::EngineTest {
 protected:
  Continuous() : frontEnd(clock), reader(session, edit, dateTime, clock, frontEnd) {}
  void SetUp() override {
    Part(kRegisters);
    ASSERT_TRUE(engine::CollectStartupLists(session));
    library.chip = {{0, 50}, {1, 0x05}, {2, 7}};
    messages.onStopContinuous = [this] { reader.StopContinuous(); };
    reader.state.readInterval = 100;
    path = folder / "run.txt";
  }

  // Lets `ms` pass; the timer fires when due.
  void Wait(std::int64_t ms) {
    const std::int64_t end = clock.now + ms;
    while (frontEnd.due >= 0 && frontEnd.due <= end) {
      clock.now = std::max(clock.now, frontEnd.due);
      frontEnd.due = -1;
      reader.OnStepTimer();
    }
    clock.now = std::max(clock.now, end);
  }
  void WaitUntilTheTimerRests() {
    while (frontEnd.due >= 0) {
      Wait(frontEnd.due - clock.now);
    }
  }

  // Starts logging with a limit and runs until logging stops by itself.
  void LogRun(int limit) {
    reader.state.logLimit = limit;
    ASSERT_TRUE(reader.StartLogging(path));
    WaitUntilTheTimerRests();
    EXPECT_FALSE(reader.state.loggingActive);
  }

  std::string Header() const {
    return "\r\nLogFile = " + path +
           "\r\n03.05.2024 10:00:00\r\nAll Registers\r\nTemp=25.0\r\nConfig=05h\r\n"
           "SampleCounter=7\r\n";
  }
  static constexpr const char* kTitleRow =
      "Log Registers\r\n10:00:01\tTemp    \tSampleCounter\t\r\n";

  // The log and plot captions, the read mode, and whether Set Log Limit, the
  // plot button and Select Plot are enabled.
  std::string Controls() const {
    const ContinuousControls c = reader.Controls();
    return std::string(c.logCaption) + "|" + std::string(c.plotCaption) + "|" +
           std::to_string(c.readContIndex) + std::to_string(c.setLogLimitEnabled) +
           std::to_string(c.plotDataEnabled) + std::to_string(c.selectPlotEnabled);
  }
  // The registers of every read so far.
  std::vector<Addrs> Reads() const {
    std::vector<Addrs> reads;
    for (const auto& call : library.CallsOf("ReadDevice")) {
      reads.push_back(call.registers);
    }
    return reads;
  }

  engine::EditState edit;
  FakeDateTime dateTime;
  FakeClock clock;
  TimerFrontEnd frontEnd;
  ContinuousRead reader;
  TempFolder folder;
  std::string path;
};

TEST_F(Continuous, StepsFollowTheReadIntervalOnOneSingleShotTimer) {
  struct Case {
    const char* what;
    int stepMs;
    std::int64_t changeAt;  // the read interval becomes 300 ms
    std::int64_t stopAt;
    std::int64_t restartAt;  // started again, and stopped 550 ms later
    Times steps;
  };
  const Case cases[] = {
      {"first after 500 ms, then every interval", 0, -1, 850, -1, {500, 600, 700, 800}},
      {"a step's own time counts towards the interval", 30, -1, 850, -1, {500, 600, 700, 800}},
      {"a late step is followed at once", 250, -1, 1100, -1, {500, 750, 1000}},
      {"a new interval takes effect after the next step", 0, 550, 1250, -1, {500, 600, 900, 1200}},
      {"a stop within 500 ms performs no step", 0, -1, 499, -1, {}},
      {"a start after such a stop waits 500 ms afresh", 0, -1, 499, 600, {1100}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    frontEnd.refreshTimes.clear();
    frontEnd.stepMs = c.stepMs;
    reader.state.readInterval = 100;
    const std::int64_t start = frontEnd.origin = clock.now;
    reader.ToggleContRead(kReadContValueRegs);
    if (c.changeAt >= 0) {
      Wait(c.changeAt);
      reader.state.readInterval = 300;
    }
    Wait(c.stopAt - (clock.now - start));
    reader.ToggleContRead(kReadContOff);
    if (c.restartAt >= 0) {
      Wait(c.restartAt - (clock.now - start));
      reader.ToggleContRead(kReadContValueRegs);
      Wait(550);
      reader.ToggleContRead(kReadContOff);
    }
    Wait(2000);
    EXPECT_EQ(frontEnd.refreshTimes, c.steps);
    EXPECT_FALSE(reader.state.AnyActive());
  }
}

// Each run writes its header (every register) and title row, then a row of
// the logged registers per step up to its limit.
TEST_F(Continuous, LogRunsWriteHeaderTitleRowAndRowsUpToTheLimit) {
  // Readings: the re-read of the first step, header, title row, two data rows.
  library.readings[0] = {50, 50, 50, 50, 10};
  library.readings[2] = {7, 7, 7, 7, 8};
  LogRun(2);
  // and the re-read when logging stops
  EXPECT_EQ(Reads(), (std::vector<Addrs>{{0, 1, 2}, {0, 1, 2}, {0, 2}, {0, 2}, {0, 2}, {0, 1, 2}}));
  // The first step writes the start-up list again.
  ASSERT_EQ(library.CallsOf("WriteDevice").size(), 1u);
  EXPECT_EQ(library.CallsOf("WriteDevice")[0].registers, (Addrs{1}));
  dateTime.times = 0;
  LogRun(0);
  EXPECT_EQ(ReadBytes(path), Header() + kTitleRow +
                                 "10:00:02\t25.0    \t7            \t\r\n"
                                 "10:00:03\t5.0     \t8            \t\r\n" +
                                 Header() + kTitleRow);
  EXPECT_EQ(Controls(), "Start Log|Start Plot|0111");
}

// Extra is hidden while Mode is odd; in the chip Mode is as the case says,
// Extra 20 and Temp 50.
const char* kModeLog =
    ">register log=true title=Mode format=dec >>bitfield addr=1 bit=7:0 value=0 >register log=true "
    "title=Extra format=dec >>hide addr=1 bit=0 value=1 >>bitfield addr=2 bit=7:0 value=B "
    ">register log=true title=Temp format=dec >>bitfield addr=5 bit=7:0 value=21";

// Every row has one cell under each title, whatever the conditions do while
// logging runs; a register hidden at a step, or not read in it, has an empty
// cell.
TEST_F(Continuous, EveryLogRowLinesUpWithItsTitleRow) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> modes;  // the chip's Mode at each step: header, titles, rows
    const char* rows;
  };
  const Case cases[] = {
      {"hidden while logging",
       {0, 0, 0, 1},
       "10:00:02\t0       \t20      \t50      \t\r\n"
       "10:00:03\t1       \t        \t50      \t\r\n"},
      // The step in which Mode changes planned its read while Extra was hidden.
      {"shown while logging",
       {1, 1, 1, 0, 0},
       "10:00:02\t1       \t        \t50      \t\r\n"
       "10:00:03\t0       \t        \t50      \t\r\n"
       "10:00:04\t0       \t20      \t50      \t\r\n"},
  };
  library.chip = {{2, 20}, {5, 50}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Part(kModeLog);
    ASSERT_TRUE(engine::CollectStartupLists(session));
    dateTime.times = 0;
    std::filesystem::remove(path);
    ASSERT_TRUE(reader.StartLogging(path));
    for (std::size_t step = 0; step < c.modes.size(); ++step) {
      library.chip[1] = c.modes[step];
      Wait(step == 0 ? 500 : 100);
    }
    reader.StopLogging();
    const std::string log = ReadBytes(path);
    const std::string titles = "Log Registers\r\n10:00:01\tMode    \tExtra   \tTemp    \t\r\n";
    EXPECT_EQ(log.substr(log.find(titles) + titles.size()), c.rows);
  }
}

TEST_F(Continuous, ReadModeSwitchesAndLoggingStopsWhileReadingGoesOn) {
  reader.state.logLimit = 1;
  reader.ToggleContRead(kReadContValueRegs);
  ASSERT_TRUE(reader.StartLogging(path));
  Wait(600);  // header and title row
  reader.ToggleContRead(kReadContAllRegs);
  const int changes = frontEnd.controlChanges;
  Wait(100);  // the one data row; the limit stops logging
  EXPECT_FALSE(reader.state.loggingActive);
  EXPECT_GT(frontEnd.controlChanges, changes);
  EXPECT_EQ(Controls(), "Start Log|Start Plot|2111");

  Wait(200);  // reading goes on, and the panel follows
  EXPECT_EQ(frontEnd.refreshTimes, (Times{500, 600, 700, 800, 900}));
  // First-step re-read and five steps; logging's stop re-read nothing.
  EXPECT_EQ(Reads(),
            (std::vector<Addrs>{{0, 1, 2}, {0, 1, 2}, {0, 2}, {0, 1, 2}, {0, 1, 2}, {0, 1, 2}}));
  EXPECT_EQ(ReadBytes(path), Header() + kTitleRow + "10:00:02\t25.0    \t7            \t\r\n");
}

TEST_F(Continuous, AFailedReadStopsEverythingAndLeavesTheFileWhole) {
  reader.ToggleContRead(kReadContValueRegs);
  ASSERT_TRUE(reader.StartLogging(path));
  Wait(600);
  library.failuresLeft = 2;  // the step's read and the re-read after the stop
  Wait(100);
  EXPECT_FALSE(reader.state.AnyActive());
  EXPECT_EQ(Controls(), "Start Log|Start Plot|0111");
  ASSERT_GE(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].prompt, "Check USB connection and select Device again");
  EXPECT_EQ(ReadBytes(path), Header() + kTitleRow);
  EXPECT_EQ(frontEnd.due, -1);
}

// Start Log asks for the file (a cancel starts nothing), and so does a
// folder that cannot hold it or a cancelled pending write; Stop Log closes it.
TEST_F(Continuous, StartLogAsksForTheFileAndStopLogClosesIt) {
  reader.state.logFileName = "/old.txt";
  reader.ToggleLog();  // cancelled
  EXPECT_FALSE(reader.StartLogging(folder / "no/such/folder/run.txt"));
  EXPECT_EQ(messages.shown.at(0).prompt,
            "File read/write error for " + (folder / "no/such/folder/run.txt"));
  edit.writeRegsEnabled = true;
  messages.answers.push_back(markup::IDCANCEL);
  EXPECT_FALSE(reader.StartLogging(path));
  EXPECT_FALSE(reader.state.loggingActive);
  EXPECT_EQ(frontEnd.due, -1);
  EXPECT_EQ(ReadBytes(path), "");

  edit.writeRegsEnabled = false;
  messages.fileChoices.push_back(path);
  reader.ToggleLog();
  ASSERT_EQ(messages.fileDialogs.size(), 2u);
  const auto& asked = messages.fileDialogs[1];
  EXPECT_EQ(asked.filter + "|" + asked.title + "|" + asked.fileName,
            "Log files (*.txt;*.log)|*.txt;*.log|All files (*.*)|*.*|Open Log File|/old.txt");
  EXPECT_EQ(asked.flags, 0x30000Eu);
  EXPECT_FALSE(asked.save);
  EXPECT_EQ(reader.state.logFileName, path);
  EXPECT_EQ(Controls(), "STOP LOG|Start Plot|0011");
  reader.ToggleLog();
  EXPECT_FALSE(reader.state.loggingActive);
  EXPECT_FALSE(store.IsLogFileOpen());
}

// A plot that is off, or whose registers all are, opens no window; every
// step hands the windows the values it read; closing the middle window
// renumbers the next, closing the rest ends plotting, and STOP PLOT closes
// the windows from the last.
TEST_F(Continuous, PlotWindowsTakeEveryStepsValuesUntilTheLastCloses) {
  std::vector<Plot> plots = {PlotOf("a", {kTemp}), PlotOf("b", {kCounter, kTemp}),
                             PlotOf("off", {kTemp}), PlotOf("c", {kCounter}),
                             PlotOf("none on", {kTemp})};
  plots[2].enable = false;
  plots[4].registers[0].enable = false;
  reader.TogglePlot(plots);
  EXPECT_EQ(Controls(), "Start Log|STOP PLOT|0100");
  ASSERT_EQ(reader.Plots().PlotWindowCount(), 3);
  EXPECT_FALSE(reader.Plots().Window(0).Shown());

  Wait(500);
  EXPECT_EQ(Controls(), "Start Log|STOP PLOT|0110");
  const PlotChart& temp = reader.Plots().Window(0);
  const PlotChart& both = reader.Plots().Window(1);
  EXPECT_TRUE(temp.Shown());
  EXPECT_EQ(temp.Y(0, 0), 25.0);
  EXPECT_EQ(temp.LegendText(0), "Temp=25.0         ");
  EXPECT_EQ(both.Y(0, 0), 7.0);
  EXPECT_EQ(both.Y(1, 0), 25.0);
  EXPECT_EQ(both.LegendText(0), "SampleCounter=7   ");

  reader.RemovePlot(1);
  ASSERT_EQ(reader.Plots().PlotWindowCount(), 2);
  EXPECT_EQ(reader.Plots().Window(1).PlotWindowIndx(), 1);
  EXPECT_EQ(reader.Plots().Window(1).PlotUnits(), "c");
  EXPECT_TRUE(reader.state.plottingActive);
  const std::size_t reads = library.CallsOf("ReadDevice").size();
  reader.RemovePlot(1);
  reader.RemovePlot(0);
  EXPECT_EQ(frontEnd.closing, (std::vector<int>{1, 1, 0}));
  EXPECT_FALSE(reader.state.plottingActive);
  EXPECT_EQ(Controls(), "Start Log|Start Plot|0111");
  // The last activity to stop reads the part again, once.
  EXPECT_EQ(library.CallsOf("ReadDevice").size(), reads + 1);

  reader.TogglePlot(plots);
  frontEnd.closing.clear();
  reader.TogglePlot(plots);
  EXPECT_EQ(frontEnd.closing, (std::vector<int>{2, 1, 0}));
  EXPECT_FALSE(reader.state.plottingActive);
}

// The registers a plot may name: each logged one once, a register of two
// bytes too, in list order.
TEST_F(Continuous, PlotLogLinesAreTheLoggedRegistersOnceEach) {
  EXPECT_EQ(PlotLogLines(session), (std::vector<std::int16_t>{kTemp.first, kCounter.first}));
  Part(
      ">register title=Config format=hex >>bitfield addr=1 bit=7:0 value=0 >register log=true "
      "title=Wide textbox=true format=0.0 input=-2048:2047 display=-128:127.9375 >>bitfield "
      "addr=0 bit=15:8 regbit=11:4 value=0 >>bitfield addr=100 bit=7:4 regbit=3:0 value=0");
  EXPECT_EQ(PlotLogLines(session), (std::vector<std::int16_t>{6}));
}

}  // namespace
}  // namespace kestrova::continuous
