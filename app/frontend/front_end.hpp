#pragma once
// The one interface a front end implements: what the engine asks
// (EngineFrontEnd), what continuous read, logging and plotting ask
// (ContinuousFrontEnd), and what opening a part asks of the user. Every
// handler is pure here, so the window or a tool that forgets one does not
// compile.

#include <string>
#include <string_view>
#include <vector>

#include "continuous/continuous_front_end.hpp"
#include "engine/front_end.hpp"

namespace kestrova::frontend {

// The answer of ChooseHardware when the user asked for another device (or
// closed the dialog from its frame).
inline constexpr int kAnotherDevice = -1;

class FrontEnd : public engine::EngineFrontEnd, public continuous::ContinuousFrontEnd {
 public:
  // --- Opening a part --------------------------------------------------------
  // The hardware dialog (`IfaceBox`): titled `title`, one choice per caption
  // (at most four), `selected` chosen when it opens. The index chosen, or
  // kAnotherDevice.
  virtual int ChooseHardware(std::string_view title, const std::vector<std::string>& captions,
                             int selected) = 0;
  // The `Splash` window shown while the hardware is searched for.
  virtual void ShowSplash(std::string_view title) = 0;
  virtual void HideSplash() = 0;
  // The main window's caption (message boxes carry it as their title).
  virtual void SetWindowTitle(std::string_view title) = 0;
  // Lets waiting user events run while the hardware is searched for.
  virtual void ProcessEvents() = 0;
  // The opened part's groups and pages are new: lay out the group and page
  // tab strips, select the first group and page, and show it.
  virtual void ShowPanelTabs() = 0;

  // --- The menu commands --------------------------------------------------------
  // The file-name label (`FileName`) shows the name of the register data
  // file last opened or saved.
  virtual void ShowFileName(std::string_view name) = 0;
  // Opens a file or a web address with the desktop's program for it (the
  // user's guide, a log file). False when nothing opened it.
  virtual bool OpenDocument(std::string_view target) = 0;

  // --- The engine's and the read loop's, required here -----------------------
  void RefreshPanel() override = 0;
  void ArmStepTimer(int delayMs) override = 0;
  void ContinuousControlsChanged() override = 0;
  void PlotWindowsOpened() override = 0;
  void PlotWindowClosing(int index) override = 0;
  void PlotWindowsUpdated() override = 0;
};

}  // namespace kestrova::frontend
