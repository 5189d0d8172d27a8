#pragma once
// Continuous read, logging and plotting: the three activities that share one
// read loop, one step of that loop, their starts and stops, and the plot
// windows they feed. The front end (the window, or the command-line tool)
// provides the step timer and shows what changed (ContinuousFrontEnd).

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "continuous/clock.hpp"
#include "continuous/continuous_front_end.hpp"
#include "continuous/date_time_text.hpp"
#include "continuous/plot_windows.hpp"
#include "continuous/step_schedule.hpp"
#include "engine/address_index.hpp"

namespace kestrova::engine {
class Session;
struct EditState;
struct TransferList;
}  // namespace kestrova::engine

namespace kestrova::continuous {

// The log limit that means no limit.
inline constexpr std::int32_t kNoLogLimit = -1;
// Log columns are at least this wide.
inline constexpr std::size_t kLogColumnWidth = 8;

// Entries of the Read Cont drop-down: "OFF", "Value Regs", "All Regs".
inline constexpr int kReadContOff = 0;
inline constexpr int kReadContValueRegs = 1;
inline constexpr int kReadContAllRegs = 2;

inline constexpr std::string_view kStartLogCaption = "Start Log";
inline constexpr std::string_view kStopLogCaption = "STOP LOG";
inline constexpr std::string_view kStartPlotCaption = "Start Plot";
inline constexpr std::string_view kStopPlotCaption = "STOP PLOT";

// The log file dialog: an open dialog on which the file need not exist,
// asking before an existing file is chosen (it is appended to).
inline constexpr std::string_view kLogFileFilter =
    "Log files (*.txt;*.log)|*.txt;*.log|All files (*.*)|*.*";
inline constexpr std::string_view kLogFileTitle = "Open Log File";
inline constexpr std::uint32_t kLogFileDialogFlags = 0x30000E;

struct ContinuousState {
  bool contReadActive = false;    // "Read Cont" shows "Value Regs" or "All Regs"
  bool readAllRegisters = false;  // "Read Cont" shows "All Regs"
  bool loggingActive = false;
  bool plottingActive = false;
  bool logHeaderPending = false;        // the next step writes the header block
  bool titleRowPending = false;         // the next step writes the title row
  bool plotDataEnabled = true;          // off from Start Plot to the end of its first step
  std::int32_t readInterval = 1000;     // milliseconds from step start to step start
  std::int32_t logLimit = kNoLogLimit;  // data rows after which logging stops
  std::int32_t logCount = 0;            // lines written since logging started
  std::string logFileName;              // full path of the log file
  std::int32_t linesWritten = 0;        // log lines written since logging started

  bool AnyActive() const { return contReadActive || loggingActive || plottingActive; }
};

// What the controls of the three activities show.
struct ContinuousControls {
  int readContIndex = kReadContOff;
  std::string_view logCaption = kStartLogCaption;
  std::string_view plotCaption = kStartPlotCaption;
  bool plotDataEnabled = true;
  bool setLogLimitEnabled = true;  // off while logging
  bool selectPlotEnabled = true;   // off while plotting
};

class ContinuousRead {
 public:
  ContinuousRead(engine::Session& session, engine::EditState& edit, DateTimeText& dateTime,
                 Clock& clock, ContinuousFrontEnd& frontEnd);

  ContinuousState state;
  // The first step writes the start-up list again, as a fresh start of the
  // part would.
  bool writeStartupListOnFirstStep = true;
  // A log line that cannot be written ends logging (a front end with no one
  // to press STOP LOG); otherwise the next step tries again.
  bool stopLoggingOnWriteFailure = false;

  // The step timer fired: runs the step that is due and arms the timer for
  // the next one while an activity is on.
  void OnStepTimer();
  // One step of the loop.
  void ContinuousStep(bool firstStep);

  // A choice in the Read Cont drop-down.
  void ToggleContRead(int readContIndex);
  // Start Log / STOP LOG: a start offers pending changes (Cancel starts
  // nothing) and asks for the log file.
  void ToggleLog();
  // Start Plot / STOP PLOT: a start offers pending changes and opens a window
  // for each plot of `plots` that has something to draw.
  void TogglePlot(std::span<const Plot> plots);
  // Starts logging into `path` (appending) without asking for a file.
  // Pending changes are offered first; a file that cannot be opened is
  // reported. True when logging runs.
  bool StartLogging(const std::string& path);
  // Stops logging and closes the file; the last activity to stop re-reads the part.
  void StopLogging();
  // Switches every activity off.
  void StopContinuous();
  // Plot window `index` was closed; closing the last one ends plotting.
  void RemovePlot(int index);

  ContinuousControls Controls() const;
  const PlotWindows& Plots() const { return plots_; }
  PlotWindows& Plots() { return plots_; }

  // A log column title, padded (exposed for tests).
  static std::string PadTitle(const std::string& title);

 private:
  bool ReadStep(bool allRegisters, std::string& line);
  // Where each address stands in a step's read list, and the byte the list
  // holds for one address (none when the step did not read it).
  void TakeReadBytes(const engine::TransferList& list);
  std::optional<std::uint8_t> ReadByteAt(const engine::TransferList& list,
                                         std::int32_t address) const;
  // The registers a log run has columns for: every logged register of the
  // part, hidden or not, so that each row lines up with the title row.
  std::vector<int> LogColumns();
  bool BeginLogging(const std::string& path);
  void StopPlotting();
  void UpdatePlots();
  void StartReadTimer();
  // The last activity stopped: the loop ends and the part is read again.
  void LastActivityStopped();

  engine::Session& session_;
  engine::EditState& edit_;
  DateTimeText& dateTime_;
  Clock& clock_;
  ContinuousFrontEnd& frontEnd_;
  StepSchedule schedule_;
  PlotWindows plots_;
  std::vector<int> logColumns_;     // register lines, fixed when logging starts
  engine::AddressIndex readIndex_;  // the step's read list by address
  bool closingPlots_ = false;
};

}  // namespace kestrova::continuous
