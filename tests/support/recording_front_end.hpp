#pragma once
// A front end for tests: messages are recorded and answered as by
// MessageBoxRecorder, dialogs answer from scripted queues, and every other
// handler call is written to `calls` in order.

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/front_end.hpp"
#include "support/message_box_recorder.hpp"

namespace kestrova::test_support {

class RecordingFrontEnd : public markup::RecordingMessages<frontend::FrontEnd> {
 public:
  struct FileDialogShown {
    std::string filter;
    std::string title;
    std::string fileName;  // as handed in
    std::uint32_t flags = 0;
    bool save = false;
  };
  struct HardwareDialogShown {
    std::string title;
    std::vector<std::string> captions;
    int selected = 0;
  };

  bool ShowFileDialog(std::string_view filter, std::string_view title, std::string& fileName,
                      std::uint32_t flags, bool save) override {
    fileDialogs.push_back({std::string(filter), std::string(title), fileName, flags, save});
    const bool chosen = !fileChoices.empty();
    fileName = Take(fileChoices, fileName);
    return chosen;
  }
  int ChooseHardware(std::string_view title, const std::vector<std::string>& captions,
                     int selected) override {
    hardwareDialogs.push_back({std::string(title), captions, selected});
    return Take(hardwareChoices, selected);
  }
  void ShowSplash(std::string_view title) override { Call("ShowSplash " + std::string(title)); }
  void HideSplash() override { Call("HideSplash"); }
  void SetWindowTitle(std::string_view title) override {
    windowTitle = title;
    Call("SetWindowTitle " + windowTitle);
  }
  void ShowPanelTabs() override { Call("ShowPanelTabs"); }
  void ShowFileName(std::string_view name) override { Call("ShowFileName " + std::string(name)); }
  bool OpenDocument(std::string_view target) override {
    Call("OpenDocument " + std::string(target));
    return openSucceeds;
  }
  void RefreshPanel() override { Call("RefreshPanel", onRefreshPanel); }
  void SetReadRegsEnabled(bool on) override { Call("SetReadRegsEnabled " + std::to_string(on)); }
  void SetWriteRegsEnabled(bool on) override { Call("SetWriteRegsEnabled " + std::to_string(on)); }
  void StopContinuous() override { Call("StopContinuous", onStopContinuous); }
  void ProcessEvents() override { Call("ProcessEvents"); }
  void ArmStepTimer(int delayMs) override { Call("ArmStepTimer " + std::to_string(delayMs)); }
  void ContinuousControlsChanged() override { Call("ContinuousControlsChanged"); }
  void PlotWindowsOpened() override { Call("PlotWindowsOpened"); }
  void PlotWindowClosing(int index) override { Call("PlotWindowClosing " + std::to_string(index)); }
  void PlotWindowsUpdated() override { Call("PlotWindowsUpdated"); }
  void SavePartSettings() override { Call("SavePartSettings", onSavePartSettings); }

  // The recorded calls whose text starts with `name`.
  std::vector<std::string> CallsTo(std::string_view name) const {
    std::vector<std::string> found;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(found),
                 [&](const std::string& call) { return call.starts_with(name); });
    return found;
  }

  std::vector<std::string> calls;
  std::string windowTitle;
  std::vector<FileDialogShown> fileDialogs;
  std::deque<std::string> fileChoices;  // paths chosen, in order; cancel when none is left
  std::vector<HardwareDialogShown> hardwareDialogs;
  std::deque<int> hardwareChoices;  // the preselected entry when none is left
  bool openSucceeds = true;         // what OpenDocument answers
  // What the handler does besides being recorded (a test wires its reader).
  std::function<void()> onStopContinuous;
  std::function<void()> onSavePartSettings;
  std::function<void()> onRefreshPanel;

 private:
  // Records the call, then runs what the test wired to it.
  void Call(std::string text, const std::function<void()>& then = {}) {
    calls.push_back(std::move(text));
    if (then) {
      then();
    }
  }
};

}  // namespace kestrova::test_support
