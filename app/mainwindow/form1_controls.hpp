#pragma once
// The controls of the main window outside the grid: the menu bar, the tab
// strips and the column of buttons, check boxes and drop-downs beside the
// grid. Every control carries its name as objectName.

#include <QList>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMainWindow;
class QMenu;
class QPushButton;
class QTabBar;
class QTimer;
class QWidget;

namespace kestrova::mainwindow {

class RegisterGrid;
class WrappingTabStrip;

struct MenuEntries {
  QMenu* file = nullptr;
  QAction* openReg = nullptr;
  QAction* saveReg = nullptr;
  QAction* selectPlot = nullptr;
  QAction* setReadTime = nullptr;
  QAction* setLogLimit = nullptr;
  QAction* viewLog = nullptr;
  QAction* writeReadReg = nullptr;
  QAction* exit = nullptr;
  QAction* openDevice = nullptr;
  QMenu* help = nullptr;
  QAction* manual = nullptr;
  QAction* about = nullptr;
};

struct Form1Controls {
  MenuEntries menu;
  QWidget* panel = nullptr;  // holds the tabs, the grid and the column
  QTabBar* groupTab = nullptr;
  QList<WrappingTabStrip*> regTab;  // one page strip per group
  RegisterGrid* grid = nullptr;
  QLabel* ifaceAddr = nullptr;
  QComboBox* ifaceAddrCombo = nullptr;
  QPushButton* readReg = nullptr;
  QPushButton* writeReg = nullptr;
  QCheckBox* writeNow = nullptr;
  QCheckBox* readAfterWrite = nullptr;
  QLabel* readContLabel = nullptr;
  QComboBox* readContCombo = nullptr;
  QPushButton* logData = nullptr;
  QPushButton* plotData = nullptr;
  QLabel* fileLabel = nullptr;
  QTimer* timer2 = nullptr;
};

// Builds the menu bar, the tab strips' group bar and the panel of `window`
// (page strips are added per group when a part is opened).
Form1Controls BuildForm1Controls(QMainWindow& window);

// A page tab strip for one more group, with the design's fixed tab width.
WrappingTabStrip* AddPageStrip(Form1Controls& controls);

// Places the tab strips on top of the grid and sizes the panel for the
// grid's current shift.
void PlaceTabsAndPanel(Form1Controls& controls);

}  // namespace kestrova::mainwindow
