// A writer killed with SIGKILL at random moments while it saves the part
// settings, the plot settings and the startup file through the core's save
// functions (the files of the window; the data file and the log are killed
// in kestrova-cli, kill_program_test), a few hundred times: every file on disk is
// afterwards one complete version the writer saved, never a torn one, and
// temporary files of killed saves do not pile up.
//
// KESTROVA_KILL_ROUNDS sets the number of kills (default 200).

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <random>
#include <thread>

#include "continuous/plot_selection.hpp"
#include "definition/part_settings.hpp"
#include "definition/startup_file.hpp"
#include "kill_support.hpp"
#include "markup/markup_store.hpp"
#include "support/message_box_recorder.hpp"

namespace kestrova {
namespace {

using continuous::PlotSelection;
using definition::PartSettings;
using markup::MarkupStore;
using testing::ReadBytes;
using testing::Temporaries;

constexpr int kDefaultRounds = 200;
constexpr int kLoggedRegisters = 16;
constexpr int kMaxKillDelayUs = 20000;
constexpr int kBaseInterval = 1000;

// The part definition the plot selection reads: kLoggedRegisters logged
// registers of one unit; register i sits at line 3 + 3 i.
std::string Definition() {
  std::string text = "<definition>\r\n <part label=\"Kill\">\r\n";
  for (int i = 0; i < kLoggedRegisters; ++i) {
    text += "  <register log=\"true\" title=\"T" + std::to_string(i) +
            "\" units=\"C\" format=\"hex\">\r\n   <bitfield addr=\"" + std::to_string(i) +
            "\" bit=\"7:0\" value=\"0\"/>\r\n  </register>\r\n";
  }
  return text + " </part>\r\n</definition>\r\n";
}

std::vector<std::int16_t> LogLines() {
  std::vector<std::int16_t> lines;
  for (int i = 0; i < kLoggedRegisters; ++i) {
    lines.push_back(static_cast<std::int16_t>(3 + 3 * i));
  }
  return lines;
}

// One writer: saves every file at version v, with the store holding the
// part definition as its main document, as the program does.
class Writer {
 public:
  explicit Writer(const std::string& folder) : folder_(folder) {
    store_.SetRetryWait([](std::chrono::milliseconds) {});
    EXPECT_TRUE(store_.LoadMarkupText(Definition()));
    plots_.SetPart(folder_, LogLines());
    plots_.BuildDefaultSelection();
  }

  void Save(int v) {
    // File names that do not depend on the folder, so the reference copies
    // saved elsewhere are byte for byte the same.
    PartSettings settings = definition::DefaultPartSettings("/lab/kestrova/kill", "kill");
    settings.driverClass = "usb";
    settings.timer1Interval = kBaseInterval + v;
    settings.interfaceAddr = static_cast<std::int16_t>(v % 128);
    definition::SavePartSettings(store_, folder_, settings, messages_);
    for (int r = 0; r < kLoggedRegisters; ++r) {
      plots_.SetPlotRegisterEnable(0, r, ((v >> r) & 1) != 0);
    }
    plots_.SavePlotSettings();
    definition::SaveStartupFile(store_, folder_, v % 2 != 0 ? "odd" : "even", messages_);
  }

 private:
  std::string folder_;
  MarkupStore store_;
  markup::MessageBoxRecorder messages_;
  PlotSelection plots_{store_, messages_};
};

// part.def, plot.def and the startup file of a folder as they are now.
std::array<std::string, 3> Files(const std::string& folder) {
  return {ReadBytes(definition::PartSettingsPath(folder)),
          ReadBytes(continuous::PlotSettingsPath(folder)),
          ReadBytes(definition::StartupFilePath(folder))};
}

// The version a part.def claims to be; -1 when none can be read.
int PartVersion(const std::string& text) {
  const std::string key = "timer1interval=\"";
  const auto at = text.find(key);
  return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + key.size()) - kBaseInterval;
}

TEST(KillTest, EveryFileIsAWholeVersionAfterAKillAtAnyMoment) {
  testing::TempFolder work;
  testing::TempFolder reference;
  const std::string folder = work.path();
  Writer versions(reference.path());  // saves the whole files of any version
  Writer(folder).Save(0);
  std::mt19937 random(0x6b696c6c);
  const int rounds = testing::KillRounds(kDefaultRounds);
  int firstVersion = 1;
  int killedInSave = 0;  // kills that caught a save between its temporary file and the rename
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      Writer writer(folder);
      for (int v = firstVersion;; v = (v + 1) & 0xFFFF) {
        writer.Save(v);
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % kMaxKillDelayUs));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself";

    // part.def is the whole of the version it claims to be; plot.def and the
    // startup file, saved after it, that version or the one before.
    const std::array<std::string, 3> files = Files(folder);
    const int v = PartVersion(files[0]);
    ASSERT_GE(v, 0) << "torn part.def:\n" << files[0];
    versions.Save((v + 0xFFFF) & 0xFFFF);
    const std::array<std::string, 3> before = Files(reference.path());
    versions.Save(v);
    const std::array<std::string, 3> whole = Files(reference.path());
    for (std::size_t f = 0; f < files.size(); ++f) {
      ASSERT_TRUE(files[f] == whole[f] || (f > 0 && files[f] == before[f]))
          << "torn file " << f << ":\n"
          << files[f];
    }
    const std::string mine = ".tmp" + std::to_string(child) + "-";
    const auto temporaries = Temporaries(folder);
    killedInSave += std::any_of(
        temporaries.begin(), temporaries.end(),
        [&mine](const std::string& name) { return name.find(mine) != std::string::npos; });
    // The next writer starts again at part.def's version, which keeps the
    // other two files at most one version behind it.
    firstVersion = v;
  }

  // Temporary files of killed saves go with the next save of their file.
  Writer(folder).Save(firstVersion);
  EXPECT_EQ(Temporaries(folder), std::vector<std::string>{});
  // Kills must land inside saves, or the test proves little. How many do
  // depends on the machine's load, so the bar is low but not zero.
  EXPECT_GT(killedInSave, rounds / 10);
  std::printf("%d kills, %d of them inside a save\n", rounds, killedInSave);
}

}  // namespace
}  // namespace kestrova
