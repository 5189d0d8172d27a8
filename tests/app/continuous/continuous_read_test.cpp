#include "continuous/continuous_read.hpp"

#include <gtest/gtest.h>

#include "../engine/engine_fixture.hpp"
#include "../markup/temp_folder.hpp"
#include "engine/part_loader.hpp"
#include "engine/register_edit.hpp"
#include "fake_clock.hpp"

namespace kestrova::continuous {
namespace {

using kestrova::testing::ReadBytes;
using kestrova::testing::TempFolder;
using testing::FakeClock;
using testing::FakeDateTime;
using Addrs = std::vector<std::int16_t>;

const char* kRegisters =
    "  <register log=\"true\" title=\"Temp\" format=\"0.0\" input=\"0:255\" "
    "display=\"0:127.5\">\r\n"
    "   <bitfield label=\"T\" addr=\"0\" bit=\"7:0\" value=\"0\"/>\r\n"
    "  </register>\r\n"
    "  <register title=\"Config\" format=\"hex\" writeonstartup=\"true\">\r\n"
    "   <bitfield label=\"C\" addr=\"1\" bit=\"7:0\" value=\"5\"/>\r\n"
    "  </register>\r\n"
    "  <register log=\"true\" title=\"SampleCounter\" format=\"dec\">\r\n"
    "   <bitfield label=\"N\" addr=\"2\" bit=\"7:0\" value=\"0\"/>\r\n"
    "  </register>\r\n";

class Logging : public engine::testing::EngineTest {
 protected:
  Logging() : reader(session, edit, dateTime) {}
  void SetUp() override {
    Load(kRegisters);
    ASSERT_TRUE(engine::CollectStartupLists(session));
    library.chip[0] = 50;
    library.chip[1] = 0x05;
    library.chip[2] = 7;
    session.hooks.stopContinuous = [this] { reader.StopContinuous(); };
    path = folder / "run.txt";
  }

  // Starts logging with a limit and runs the loop until it stops by itself.
  void LogRun(int limit) {
    reader.state.logLimit = limit;
    reader.state.readInterval = 100;
    bool startLoop = false;
    ASSERT_TRUE(reader.StartLogging(path, startLoop));
    EXPECT_TRUE(startLoop);
    reader.RunLoop(clock);
    EXPECT_FALSE(reader.state.loggingActive);
  }

  std::string Header() const {
    return "\r\nLogFile = " + path +
           "\r\n03.05.2024 10:00:00\r\nAll Registers\r\nTemp=25.0\r\nConfig=05h\r\n"
           "SampleCounter=7\r\n";
  }

  engine::EditState edit;
  FakeDateTime dateTime;
  FakeClock clock;
  ContinuousRead reader;
  TempFolder folder;
  std::string path;
};

TEST_F(Logging, ALimitOfTwoWritesHeaderTitleRowAndTwoDataRows) {
  // Readings: the re-read of the first step, header, title row, two data rows.
  library.readings[0] = {50, 50, 50, 50, 10};
  library.readings[2] = {7, 7, 7, 7, 8};
  LogRun(2);
  EXPECT_EQ(ReadBytes(path), Header() +
                                 "Log Registers\r\n10:00:01\tTemp    \tSampleCounter\t\r\n"
                                 "10:00:02\t25.0    \t7            \t\r\n"
                                 "10:00:03\t5.0     \t8            \t\r\n");
}

TEST_F(Logging, ALimitOfZeroWritesHeaderAndTitleRowOnly) {
  LogRun(0);
  EXPECT_EQ(ReadBytes(path), Header() + "Log Registers\r\n10:00:01\tTemp    \tSampleCounter\t\r\n");
}

TEST_F(Logging, TwoRunsInOneFileEachHaveTheirHeader) {
  LogRun(0);
  dateTime.times = 0;
  LogRun(1);
  const std::string titles = "Log Registers\r\n10:00:01\tTemp    \tSampleCounter\t\r\n";
  EXPECT_EQ(ReadBytes(path),
            Header() + titles + Header() + titles + "10:00:02\t25.0    \t7            \t\r\n");
}

TEST_F(Logging, StepsReadTheLogRegistersOnlyAfterTheHeader) {
  LogRun(2);
  const auto reads = library.CallsOf("ReadDevice");
  // Re-read at the first step, header (all), title row and two rows (log
  // registers), then the re-read when logging stops.
  ASSERT_EQ(reads.size(), 6u);
  EXPECT_EQ(reads[1].registers, (Addrs{0, 1, 2}));
  EXPECT_EQ(reads[2].registers, (Addrs{0, 2}));
  EXPECT_EQ(reads[4].registers, (Addrs{0, 2}));
  // The first step writes the start-up list again.
  const auto writes = library.CallsOf("WriteDevice");
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].registers, (Addrs{1}));
}

TEST_F(Logging, AllRegistersChangesWhatIsReadNotTheColumns) {
  reader.state.readAllRegisters = true;
  LogRun(1);
  const auto reads = library.CallsOf("ReadDevice");
  EXPECT_EQ(reads[3].registers, (Addrs{0, 1, 2}));
  EXPECT_EQ(ReadBytes(path), Header() +
                                 "Log Registers\r\n10:00:01\tTemp    \tSampleCounter\t\r\n"
                                 "10:00:02\t25.0    \t7            \t\r\n");
}

TEST_F(Logging, AFailedReadStopsLoggingAndLeavesTheFileWhole) {
  reader.state.logLimit = -1;
  bool startLoop = false;
  ASSERT_TRUE(reader.StartLogging(path, startLoop));
  reader.ContinuousStep(true);
  reader.ContinuousStep(false);
  library.failuresLeft = 2;  // the step's read and the re-read after the stop
  reader.ContinuousStep(false);
  EXPECT_FALSE(reader.state.loggingActive);
  EXPECT_FALSE(reader.state.AnyActive());
  ASSERT_GE(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].prompt, "Check USB connection and select Device again");
  EXPECT_EQ(ReadBytes(path), Header() + "Log Registers\r\n10:00:01\tTemp    \tSampleCounter\t\r\n");
}

TEST_F(Logging, AFileThatCannotBeOpenedStartsNothing) {
  bool startLoop = true;
  EXPECT_FALSE(reader.StartLogging(folder / "no/such/folder/run.txt", startLoop));
  EXPECT_FALSE(startLoop);
  EXPECT_FALSE(reader.state.loggingActive);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].prompt,
            "File read/write error for " + (folder / "no/such/folder/run.txt"));
}

TEST_F(Logging, CancelOfThePendingWritePromptStartsNothing) {
  edit.writeRegsEnabled = true;
  messages.answers.push_back(markup::IDCANCEL);
  bool startLoop = false;
  EXPECT_FALSE(reader.StartLogging(path, startLoop));
  EXPECT_FALSE(reader.state.loggingActive);
  EXPECT_EQ(ReadBytes(path), "");
}

TEST(LogTitles, ArePaddedToEightAndNeverCut) {
  EXPECT_EQ(ContinuousRead::PadTitle("T"), "T       ");
  EXPECT_EQ(ContinuousRead::PadTitle("Exactly8"), "Exactly8");
  EXPECT_EQ(ContinuousRead::PadTitle("LongerTitle"), "LongerTitle");
}

TEST(FixedDateTime, PrintsIsoDateAndTime) {
  std::tm time{};
  time.tm_year = 124;
  time.tm_mon = 4;
  time.tm_mday = 3;
  time.tm_hour = 9;
  time.tm_min = 5;
  time.tm_sec = 7;
  EXPECT_EQ(FixedDateTimeText::DateAndTimeOf(time), "2024-05-03 09:05:07");
  EXPECT_EQ(FixedDateTimeText::TimeOf(time), "09:05:07");
}

}  // namespace
}  // namespace kestrova::continuous
