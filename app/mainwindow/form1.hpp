#pragma once
// `Form1`: the main window. It owns the run of the program (the loaded
// definition, the session, the connection) and is the core's front end: the
// core decides what happens and what the panel shows, the window maps that
// onto its controls and hands the user's answers back.

#include <QMainWindow>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "command_line.hpp"
#include "continuous/plot_selection.hpp"
#include "engine/library_binding.hpp"
#include "engine/register_edit.hpp"
#include "engine/session.hpp"
#include "form1_controls.hpp"
#include "frontend/front_end.hpp"
#include "frontend/panel_view.hpp"
#include "frontend/start_device.hpp"
#include "markup/markup_store.hpp"

namespace kestrova::mainwindow {

class IfaceBox;
class Splash;

class Form1 : public QMainWindow, public frontend::FrontEnd {
  Q_OBJECT

 public:
  explicit Form1(WindowOptions options, QWidget* parent = nullptr);
  ~Form1() override;

  // Window load: places the window, reads the startup file and opens the
  // part (dialogs as needed). False when no part could be opened: the
  // program ends.
  bool Load();

  // "Read Regs": offers pending changes, reads every register, shows them.
  void ReadRegs();

  Form1Controls& Controls() { return controls_; }
  engine::Session& Session() { return session_; }
  frontend::DeviceStart& Start() { return start_; }
  frontend::PanelModel& Panel() { return panel_; }

  // --- The core's front end ---------------------------------------------------
  // The message box: style 0 OK, 3 Yes/No/Cancel, 4 Yes/No; results 1, 2, 6, 7.
  int Show(std::string_view prompt, int buttons) override;
  bool ShowFileDialog(std::string_view filter, std::string_view title, std::string& fileName,
                      std::uint32_t flags, bool save) override;
  int ChooseHardware(std::string_view title, const std::vector<std::string>& captions,
                     int selected) override;
  void ShowSplash(std::string_view title) override;
  void HideSplash() override;
  void SetWindowTitle(std::string_view title) override;
  void ProcessEvents() override;
  void ShowPanelTabs() override;
  void ShowFileName(std::string_view name) override;
  bool OpenDocument(std::string_view target) override;
  void RefreshPanel() override;
  void SetReadRegsEnabled(bool enabled) override;
  void SetWriteRegsEnabled(bool enabled) override;
  void StopContinuous() override;
  void SavePartSettings() override;
  void ArmStepTimer(int delayMs) override;
  void ContinuousControlsChanged() override;
  void PlotWindowsOpened() override;
  void PlotWindowClosing(int index) override;
  void PlotWindowsUpdated() override;

 protected:
  // The orderly end: pending changes and register settings offered, the
  // device closed with its settings saved, the startup file written back.
  void closeEvent(QCloseEvent* event) override;

 private:
  void PlaceWindow();
  void ChooseGroup(int group);
  void ApplyBusControls();
  // `IfaceAddr` and `IfaceAddrCombo` for the opened part.
  void ShowChipAddress();
  // The device is closed and, on an orderly end, the startup file written back.
  void EndRun(bool orderly);
  void OpenDevice();

  WindowOptions options_;
  Form1Controls controls_;
  IfaceBox* ifaceBox_ = nullptr;
  Splash* splash_ = nullptr;
  int fullHeight_ = 0;

  markup::MarkupStore store_;
  engine::LibraryBinding library_;
  engine::Session session_;
  engine::EditState edit_;
  frontend::PanelModel panel_;
  continuous::PlotSelection plots_;
  frontend::DeviceStart start_;
  bool ended_ = false;
};

}  // namespace kestrova::mainwindow
