#pragma once
// What continuous read, logging and plotting ask of the front end around
// them: a single-shot timer for the read steps, and word of every change the
// front end shows. Activities also stop by themselves (log limit reached, a
// failed read, registers that do not match the part), so the captions,
// drop-down, buttons and menu entries follow `ContinuousControlsChanged`
// rather than the clicks.

#include <string_view>

namespace kestrova::continuous {

class ContinuousFrontEnd {
 public:
  virtual ~ContinuousFrontEnd() = default;
  // Calls ContinuousRead::OnStepTimer once, `delayMs` from now (0: as soon
  // as the event loop is free). A new request replaces a pending one.
  virtual void ArmStepTimer(int delayMs) = 0;
  // The activities or the state of their controls changed:
  // ContinuousRead::Controls() tells what to show.
  virtual void ContinuousControlsChanged() {}
  // The register panel shows the values a step just read.
  virtual void RefreshPanel() {}
  // The plot windows of ContinuousRead::Plots() were built at Start Plot;
  // each is shown by its first update.
  virtual void PlotWindowsOpened() {}
  // Window `index` is about to leave the set (its own close, or Stop Plot).
  virtual void PlotWindowClosing(int /*index*/) {}
  // Every plot window took the values of a step.
  virtual void PlotWindowsUpdated() {}
  // A step's lines reached the log file (`lines` as written, CR LF between
  // lines); the register values of the step are in the session's images.
  virtual void LogLinesWritten(std::string_view /*lines*/) {}
};

}  // namespace kestrova::continuous
