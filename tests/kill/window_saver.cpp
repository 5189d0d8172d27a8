// The main window saving without end, for the kill test: "Read Regs", then
// Save Reg to the file named on the command line (the file dialog answers
// it), part.def, and the startup file as the window writes it at load
// ("none") and at its end (the device). Usage: window_saver HOME DATAFILE.
#include <QAction>
#include <QApplication>

#include "form1.hpp"
#include "frontend/program_start.hpp"

namespace {

using kestrova::mainwindow::Form1;
using kestrova::mainwindow::WindowOptions;

class SavingWindow : public Form1 {
 public:
  SavingWindow(WindowOptions options, std::string dataFile)
      : Form1(std::move(options)), dataFile_(std::move(dataFile)) {}

  bool ShowFileDialog(std::string_view, std::string_view, std::string& fileName, std::uint32_t,
                      bool) override {
    fileName = dataFile_;
    return true;
  }

 private:
  std::string dataFile_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    return 2;
  }
  QApplication application(argc, argv);
  WindowOptions options;
  options.home = argv[1];
  options.device = "demo";
  options.link = "ich";
  options.emulatedBoard = true;
  SavingWindow window(options, argv[2]);
  if (!window.Load()) {
    return 1;
  }
  kestrova::frontend::DeviceStart& start = window.Start();
  for (;;) {
    window.ReadRegs();
    window.Controls().menu.saveReg->trigger();
    window.SavePartSettings();
    kestrova::frontend::CloseStartupFile(window.Session().Store(), start.programFolder,
                                         start.deviceName, window);
    kestrova::frontend::OpenStartupFile(window.Session().Store(), start.programFolder, window);
  }
}
