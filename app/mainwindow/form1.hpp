#pragma once
// `Form1`: the main window. It owns the run of the program (the loaded
// definition, the session, the connection) and is the core's front end: the
// core decides what happens and what the panel shows, the window maps that
// onto its controls and hands the user's answers back.

#include <QMainWindow>
#include <QPointer>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "command_line.hpp"
#include "continuous/clock.hpp"
#include "continuous/continuous_read.hpp"
#include "continuous/plot_selection.hpp"
#include "engine/library_binding.hpp"
#include "engine/register_edit.hpp"
#include "engine/session.hpp"
#include "form1_controls.hpp"
#include "frontend/front_end.hpp"
#include "frontend/panel_edit.hpp"
#include "frontend/panel_view.hpp"
#include "frontend/start_device.hpp"
#include "locale_date_time.hpp"
#include "markup/markup_store.hpp"
#include "step_trace.hpp"

namespace kestrova::plotwindow {
class PlotWindowsView;
}

namespace kestrova::rawdialog {
class Rwreg;
}

namespace kestrova::mainwindow {

class GridEditing;
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
  frontend::PanelEdit& PanelEditing() { return panelEdit_; }
  // The raw register dialog while it is open.
  rawdialog::Rwreg* RawDialog();
  continuous::ContinuousRead& Reader() { return reader_; }
  continuous::PlotSelection& Plots() { return plots_; }
  plotwindow::PlotWindowsView& PlotViews() { return *plotViews_; }
  // Dates and times of the log from `texts` instead of the system clock
  // (tests); null returns to the clock.
  void SetDateTimeText(continuous::DateTimeText* texts) { dateTime_.fixed = texts; }

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
  void ApplyBusControls();
  // `IfaceAddr` and `IfaceAddrCombo` for the opened part.
  void ShowChipAddress();
  // The device is closed and, on an orderly end, the startup file written back.
  void EndRun(bool orderly);
  void OpenDevice();

  // Editing in the panel and its buttons (form1_editing.cpp).
  void WireEditing();
  void WriteRegs();
  // A group or page tab chosen: the box being edited is confirmed first, and
  // when it refuses, the tab chosen before stays.
  void ChoosePage();

  // The menu commands of the File and Help menus (form1_commands.cpp).
  void WireMenuCommands();
  void ShowAbout();
  void ShowRawDialog();
  // The log file name that View Log shows and the next log writes to.
  std::string& LogFileName();
  // Continuous read, logging and plotting (form1_continuous.cpp).
  void WireContinuous();
  void ChooseReadCont(int index);
  void ClickLogData();
  void ClickPlotData();
  void SetReadTime();
  void SetLogLimit();
  void SelectPlot();
  void OnTimer2();
  // Where the first row of plot windows starts, in the screen's available area.
  int PlotWindowsTop() const;

  // The locale's dates and times, or fixed ones a test gives.
  class DateTimeSource : public continuous::DateTimeText {
   public:
    std::string DateAndTime() override {
      return fixed != nullptr ? fixed->DateAndTime() : locale.DateAndTime();
    }
    std::string Time() override { return fixed != nullptr ? fixed->Time() : locale.Time(); }
    LocaleDateTimeText locale;
    continuous::DateTimeText* fixed = nullptr;
  };

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
  frontend::PanelEdit panelEdit_;
  GridEditing* gridEditing_ = nullptr;
  QPointer<rawdialog::Rwreg> rwreg_;
  continuous::PlotSelection plots_;
  frontend::DeviceStart start_;
  continuous::SteadyClock clock_;
  DateTimeSource dateTime_;
  continuous::ContinuousRead reader_;
  // Closes its windows before the reader's charts go.
  std::unique_ptr<plotwindow::PlotWindowsView> plotViews_;
  StepTrace stepTrace_;
  bool ended_ = false;
};

}  // namespace kestrova::mainwindow
