#pragma once
// Continuous read and logging: the three activities that share one read loop
// (continuous read, logging, plotting), one step of that loop, and the start
// and stop of logging. The window adds its drop-down, buttons, file dialog
// and plot windows through the hooks; the command-line tool runs it as is.

#include <cstdint>
#include <functional>
#include <string>

#include "continuous/clock.hpp"
#include "continuous/date_time_text.hpp"

namespace kestrova::engine {
class Session;
struct EditState;
}  // namespace kestrova::engine

namespace kestrova::continuous {

// The log limit that means no limit.
inline constexpr std::int32_t kNoLogLimit = -1;
// Log columns are at least this wide.
inline constexpr std::size_t kLogColumnWidth = 8;

struct ContinuousState {
  bool contReadActive = false;    // "Read Cont" shows "Value Regs" or "All Regs"
  bool readAllRegisters = false;  // "Read Cont" shows "All Regs"
  bool loggingActive = false;
  bool plottingActive = false;
  bool logHeaderPending = false;        // the next step writes the header block
  bool titleRowPending = false;         // the next step writes the title row
  std::int32_t readInterval = 1000;     // milliseconds from step start to step start
  std::int32_t logLimit = kNoLogLimit;  // data rows after which logging stops
  std::int32_t logCount = 0;            // lines written since logging started
  std::string logFileName;              // full path of the log file
  std::int32_t linesWritten = 0;        // log lines written since logging started

  bool AnyActive() const { return contReadActive || loggingActive || plottingActive; }
};

struct ContinuousHooks {
  std::function<void()> refreshPanel;   // the panel shows the values just read
  std::function<void()> updatePlots;    // the plot windows take the values just read
  std::function<void()> stopPlotting;   // closes the plot windows
  std::function<void()> processEvents;  // between checks of the loop
};

class ContinuousRead {
 public:
  ContinuousRead(engine::Session& session, engine::EditState& edit, DateTimeText& dateTime);

  ContinuousState state;
  ContinuousHooks hooks;
  // The first step writes the start-up list again, as a fresh start of the
  // part would.
  bool writeStartupListOnFirstStep = true;

  // One step of the loop.
  void ContinuousStep(bool firstStep);

  // Starts logging into `path` (appending): pending changes are offered
  // first (Cancel starts nothing), a file that cannot be opened is reported.
  // True when logging runs; `startLoop` tells whether the loop must be started.
  bool StartLogging(const std::string& path, bool& startLoop);
  // Stops logging and closes the file; the last activity to stop re-reads the part.
  void StopLogging();
  // Switches every activity off.
  void StopContinuous();

  // Runs the read loop until no activity is left.
  void RunLoop(Clock& clock);

  // The line a step writes, from its parts (exposed for tests).
  static std::string PadTitle(const std::string& title);

 private:
  bool ReadStep(bool allRegisters, std::string& line);

  engine::Session& session_;
  engine::EditState& edit_;
  DateTimeText& dateTime_;
};

}  // namespace kestrova::continuous
