#include "form1_controls.hpp"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <algorithm>

#include "panel_geometry.hpp"
#include "register_grid.hpp"
#include "wrapping_tab_strip.hpp"

namespace kestrova::mainwindow {

namespace {

// The column of buttons beside the grid, in twips.
constexpr int kColumnLeft = 8100;
constexpr int kColumnWidth = 1860;
constexpr int kLabelHeight = 252;
constexpr int kComboHeight = 330;
constexpr int kButtonHeight = 420;
constexpr int kCheckHeight = 300;
// Below the grid: the register data file's name.
constexpr int kFileLabelGap = 60;
constexpr int kPanelWidth = kColumnLeft + kColumnWidth + 180;
constexpr int kPanelBottomMargin = 120;
// Page tabs: 13 fixed-width tabs to a row, in a strip 7670 wide.
constexpr int kTabFixedWidth = 581;
constexpr int kTabStripLeft = 120;

QAction* AddEntry(QMenu* menu, const char* name, const char* caption, bool enabled) {
  QAction* action = menu->addAction(caption);
  action->setObjectName(name);
  action->setEnabled(enabled);
  return action;
}

template <typename Widget>
Widget* Make(QWidget* parent, const char* name, const QString& text = {}) {
  auto* widget = new Widget(parent);
  widget->setObjectName(name);
  if constexpr (requires { widget->setText(text); }) {
    if (!text.isEmpty()) {
      widget->setText(text);
    }
  }
  return widget;
}

MenuEntries BuildMenu(QMainWindow& window) {
  MenuEntries menu;
  QMenuBar* bar = window.menuBar();
  // Entries whose commands come later are present and disabled.
  menu.file = bar->addMenu("&File");
  menu.file->setObjectName("File");
  menu.openReg = AddEntry(menu.file, "OpenReg", "&Open Reg", false);
  menu.saveReg = AddEntry(menu.file, "SaveReg", "&Save Reg", false);
  menu.selectPlot = AddEntry(menu.file, "SelectPlot", "&Select Plot", false);
  menu.setReadTime = AddEntry(menu.file, "SetReadTime", "&Set Read Time", false);
  menu.setLogLimit = AddEntry(menu.file, "SetLogLimit", "&Set Log Limit", false);
  menu.viewLog = AddEntry(menu.file, "ViewLog", "&View Log", false);
  menu.writeReadReg = AddEntry(menu.file, "WriteReadReg", "&Write/Read Reg", false);
  menu.writeReadReg->setVisible(false);
  menu.file->addSeparator();
  menu.exit = AddEntry(menu.file, "Exit", "&Exit", true);
  menu.openDevice = bar->addAction("&Device");
  menu.openDevice->setObjectName("OpenDevice");
  menu.help = bar->addMenu("&Help");
  menu.help->setObjectName("Help");
  menu.manual = AddEntry(menu.help, "Manual", "&Manual", false);
  menu.about = AddEntry(menu.help, "About", "&About", false);
  return menu;
}

}  // namespace

Form1Controls BuildForm1Controls(QMainWindow& window) {
  Form1Controls c;
  c.menu = BuildMenu(window);
  c.panel = new QWidget;
  c.panel->setObjectName("Panel");
  c.grid = new RegisterGrid(c.panel);
  c.groupTab = Make<QTabBar>(c.panel, "GroupTab");
  c.groupTab->setFont(c.grid->font());
  c.groupTab->setDrawBase(false);
  c.groupTab->setExpanding(false);
  c.groupTab->hide();

  c.ifaceAddr = Make<QLabel>(c.panel, "IfaceAddr");
  c.ifaceAddrCombo = Make<QComboBox>(c.panel, "IfaceAddrCombo");
  c.readReg = Make<QPushButton>(c.panel, "ReadReg", "Read Regs");
  c.writeReg = Make<QPushButton>(c.panel, "WriteReg", "Write Regs");
  c.writeReg->setEnabled(false);
  c.writeNow = Make<QCheckBox>(c.panel, "WriteNow", "Write On Change");
  c.readAfterWrite = Make<QCheckBox>(c.panel, "ReadAfterWrite", "Read After Write");
  c.readContLabel = Make<QLabel>(c.panel, "ReadContLabel", "Read Cont");
  c.readContCombo = Make<QComboBox>(c.panel, "ReadContCombo");
  c.readContCombo->setEnabled(false);
  c.logData = Make<QPushButton>(c.panel, "LogData", "Start Log");
  c.logData->setEnabled(false);
  c.plotData = Make<QPushButton>(c.panel, "PlotData", "Start Plot");
  c.plotData->setEnabled(false);
  c.fileLabel = Make<QLabel>(c.panel, "FileLabel");
  c.fileLabel->setFont(c.grid->font());
  c.timer2 = new QTimer(&window);
  c.timer2->setObjectName("Timer2");
  PlaceTabsAndPanel(c);
  return c;
}

WrappingTabStrip* AddPageStrip(Form1Controls& c) {
  auto* strip = new WrappingTabStrip(c.panel);
  strip->setObjectName("RegTab");
  strip->setProperty("index", static_cast<int>(c.regTab.size()));
  strip->setFont(c.grid->font());
  const Twips& twips = c.grid->Scale();
  strip->SetTabSize(twips.Px(kTabFixedWidth), strip->fontMetrics().height() + twips.Px(90));
  strip->hide();
  c.regTab.append(strip);
  return strip;
}

void PlaceTabsAndPanel(Form1Controls& c) {
  const Twips& twips = c.grid->Scale();
  // The page tabs stand on the grid's top edge and grow downwards, pushing
  // the grid down; the group tabs sit above them.
  const int left = twips.Px(kTabStripLeft);
  const int gridTop = twips.Px(panel::kLineDownTop);
  int pageTop = gridTop;
  for (WrappingTabStrip* strip : c.regTab) {
    pageTop = std::min(pageTop, gridTop - strip->TabHeight());
    strip->setGeometry(QRect(QPoint(left, gridTop - strip->TabHeight()), strip->sizeHint()));
    strip->raise();
  }
  const QSize groupSize = c.groupTab->sizeHint();
  c.groupTab->setGeometry(left, std::max(0, pageTop - groupSize.height()), groupSize.width(),
                          groupSize.height());
  c.groupTab->raise();
  // The column stands right of the grid, which a page's columns widen.
  const int growth = c.grid->Columns().Growth();
  const struct {
    QWidget* widget;
    int top;
    int height;
  } column[] = {
      {c.ifaceAddr, 960, kLabelHeight},      {c.ifaceAddrCombo, 1230, kComboHeight},
      {c.readReg, 1800, kButtonHeight},      {c.writeReg, 2340, kButtonHeight},
      {c.writeNow, 2880, kCheckHeight},      {c.readAfterWrite, 3240, kCheckHeight},
      {c.readContLabel, 3720, kLabelHeight}, {c.readContCombo, 3990, kComboHeight},
      {c.logData, 4560, kButtonHeight},      {c.plotData, 5100, kButtonHeight},
  };
  int columnBottom = 0;
  for (const auto& entry : column) {
    entry.widget->setGeometry(
        twips.Rect(kColumnLeft + growth, entry.top, kColumnWidth, entry.height));
    columnBottom = std::max(columnBottom, entry.top + entry.height);
  }
  // The file name goes below the grid, and below the column when the grid is shorter.
  const int shift = c.grid->Shift();
  const int fileTop = std::max(c.grid->BottomTwips(), columnBottom) + kFileLabelGap;
  const QRect file = twips.Rect(panel::kLineLeft, fileTop,
                                kPanelWidth + growth - 2 * panel::kLineLeft, kLabelHeight);
  c.fileLabel->setGeometry(file.translated(0, shift));
  c.panel->setFixedSize(twips.Px(kPanelWidth + growth),
                        file.bottom() + shift + 1 + twips.Px(kPanelBottomMargin));
}

}  // namespace kestrova::mainwindow
