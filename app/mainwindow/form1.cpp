#include "form1.hpp"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTabBar>
#include <QTimer>
#include <QUrl>
#include <algorithm>

#include "engine/register_edit.hpp"
#include "engine/register_operations.hpp"
#include "file_dialog.hpp"
#include "frontend/live_settings.hpp"
#include "grid_editing.hpp"
#include "grid_page.hpp"
#include "iface_box.hpp"
#include "message_box.hpp"
#include "plot_windows_view.hpp"
#include "register_grid.hpp"
#include "splash.hpp"
#include "text.hpp"
#include "wrapping_tab_strip.hpp"

namespace kestrova::mainwindow {

namespace {

// The window is never taller than this part of the screen.
constexpr double kMaxScreenHeightShare = 0.9;

}  // namespace

Form1::Form1(WindowOptions options, QWidget* parent)
    : QMainWindow(parent),
      options_(std::move(options)),
      session_(store_, library_, *this),
      panel_(session_),
      panelEdit_(session_, edit_, panel_),
      plots_(store_, *this),
      start_(session_, *this, edit_, &panel_, &plots_),
      reader_(session_, edit_, dateTime_, clock_, *this) {
  setObjectName("Form1");
  controls_ = BuildForm1Controls(*this);
  auto* scroll = new QScrollArea(this);
  scroll->setObjectName("PanelScroll");
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidget(controls_.panel);
  setCentralWidget(scroll);
  ifaceBox_ = new IfaceBox(this);
  splash_ = new Splash(this);
  // `RegAddr`, `BitValue`, `RegName` and `BitCombo` widen to texts measured in the panel's font.
  const auto textWidth = [grid = controls_.grid](std::string_view text) {
    return grid->Scale().ToTwips(grid->fontMetrics().horizontalAdvance(FromCore(text)) + 6);
  };
  panel_.SetTextWidth(textWidth, controls_.grid->ComboChromeTwips());
  connect(controls_.readReg, &QPushButton::clicked, this, &Form1::ReadRegs);
  connect(controls_.ifaceAddrCombo, &QComboBox::activated, this,
          [this](int index) { start_.ChooseChipAddress(index); });
  connect(controls_.menu.openDevice, &QAction::triggered, this, &Form1::OpenDevice);
  WireEditing();
  WireMenuCommands();
  WireContinuous();
}

Form1::~Form1() {
  // Closing the widgets below moves the focus; the panel it would report to
  // is gone by then.
  delete gridEditing_;
  gridEditing_ = nullptr;
  EndRun(false);
}

bool Form1::Load() {
  PlaceWindow();
  std::string error;
  start_.programFolder = frontend::PrepareProgramFolder(options_, error);
  if (start_.programFolder.empty()) {
    Show(error, markup::MB_OK);
    return false;
  }
  start_.userGuide = frontend::InstalledUserGuide();
  frontend::SelectBoardDriver(options_);
  const definition::StartupSettings startup =
      frontend::OpenStartupFile(store_, start_.programFolder, *this);
  start_.deviceName = options_.device.value_or(startup.deviceName);
  session_.connection.testFlags = startup.testFlags;
  controls_.menu.writeReadReg->setVisible((startup.testFlags & engine::kTestShowRawDialog) != 0);
  frontend::StartPolicy policy;
  policy.link = options_.link;
  policy.smbusAdapter = options_.smbus;
  if (!start_.StartDevice(policy)) {
    EndRun(true);  // as the Exit command ends it
    return false;
  }
  return true;
}

void Form1::closeEvent(QCloseEvent* event) {
  EndRun(true);
  QMainWindow::closeEvent(event);
}

void Form1::EndRun(bool orderly) {
  if (ended_) {
    return;
  }
  ended_ = true;
  if (orderly && !start_.programFolder.empty()) {
    frontend::ShutDown(start_, edit_, controls_.menu.saveReg->isVisible());
  } else if (session_.connection.deviceHandle != engine::kNoDevice) {
    // The board and the SMBus controller are shared: another program, or the
    // next window, can open them only once this one let go.
    engine::CloseCurrentDevice(session_);
  }
}

void Form1::OpenDevice() {
  frontend::StartPolicy policy;
  policy.smbusAdapter = options_.smbus;  // the PC's adapter, whichever part
  if (!start_.OpenDeviceCommand(policy, controls_.menu.saveReg->isVisible())) {
    close();  // no part stands any more
  }
}

void Form1::PlaceWindow() {
  // The whole panel when the screen allows, else as much as fits: top edge
  // at the screen's top, centred across, at most 90 % of the screen high.
  const QSize content = controls_.panel->size() + QSize(0, menuBar()->sizeHint().height());
  QRect screen(0, 0, content.width(), content.height());
  if (const QScreen* s = QGuiApplication::primaryScreen(); s != nullptr) {
    screen = s->availableGeometry();
  }
  const int maxHeight = static_cast<int>(screen.height() * kMaxScreenHeightShare);
  const int width = std::min(content.width(), screen.width());
  const int height = std::min(content.height(), maxHeight);
  resize(width, height);
  move(screen.left() + (screen.width() - width) / 2, screen.top());
  fullHeight_ = height;
}

void Form1::ReadRegs() {
  if (gridEditing_->FocusHeld()) {
    return;
  }
  engine::ResyncRegisters(session_, edit_);
  if (controls_.readReg->isEnabled() && controls_.readReg->isVisible()) {
    controls_.readReg->setFocus();
  }
}

void Form1::ShowChipAddress() {
  const engine::PartConnectionInfo& info = start_.info;
  controls_.ifaceAddr->setText(FromCore(info.addressLabel));
  QComboBox* combo = controls_.ifaceAddrCombo;
  const QSignalBlocker block(combo);
  combo->clear();
  // Without hardware there is no chip to address.
  if (engine::IsNoHardwareBus(session_.connection.busType)) {
    return;
  }
  for (const std::string& choice : info.addressChoices) {
    combo->addItem(FromCore(choice));
  }
  combo->setCurrentIndex(engine::SelectAddressChoice(info, session_.connection.deviceAddress));
}

void Form1::ApplyBusControls() {
  const frontend::BusControls bus = frontend::BusControlsFor(session_.connection.busType);
  for (const frontend::BusControl& control : bus.controls) {
    const QString name =
        QString::fromLatin1(control.name.data(), static_cast<qsizetype>(control.name.size()));
    if (auto* widget = controls_.panel->findChild<QWidget*>(name); widget != nullptr) {
      widget->setVisible(control.visible);
    } else if (auto* action = menuBar()->findChild<QAction*>(name); action != nullptr) {
      action->setVisible(control.visible);
    }
  }
  const int group = std::max(0, controls_.groupTab->currentIndex());
  for (int g = 0; g < controls_.regTab.size(); ++g) {
    controls_.regTab[g]->setVisible(g == group && bus.regTabVisible);
  }
}

// --- The core's front end -----------------------------------------------------

int Form1::Show(std::string_view prompt, int buttons) {
  return ShowMessageBox(this, prompt, buttons);
}

bool Form1::ShowFileDialog(std::string_view filter, std::string_view title, std::string& fileName,
                           std::uint32_t flags, bool save) {
  return mainwindow::ShowFileDialog(this, filter, title, fileName, flags, save);
}

int Form1::ChooseHardware(std::string_view title, const std::vector<std::string>& captions,
                          int selected) {
  QStringList texts;
  for (const std::string& caption : captions) {
    texts.append(FromCore(caption));
  }
  ifaceBox_->setWindowTitle(FromCore(title));
  ifaceBox_->SetChoices(texts, selected);
  return ifaceBox_->Choose();
}

void Form1::ShowSplash(std::string_view title) {
  splash_->ShowSearching(FromCore(title));
  QCoreApplication::processEvents();
}

void Form1::HideSplash() {
  splash_->hide();
}

void Form1::SetWindowTitle(std::string_view title) {
  setWindowTitle(FromCore(title));
}

void Form1::ProcessEvents() {
  QCoreApplication::processEvents();
}

void Form1::ShowPanelTabs() {
  ShowChipAddress();
  controls_.writeNow->setChecked(edit_.writeNow);  // as part.def remembers them
  controls_.readAfterWrite->setChecked(session_.readAfterWrite);
  const frontend::PanelPages& pages = panel_.Pages();
  for (WrappingTabStrip* strip : controls_.regTab) {
    delete strip;
  }
  controls_.regTab.clear();
  QTabBar* groupTab = controls_.groupTab;
  {
    const QSignalBlocker block(groupTab);
    while (groupTab->count() > 0) {
      groupTab->removeTab(0);
    }
    for (const frontend::PanelGroup& group : pages.groups) {
      groupTab->addTab(FromCore(group.caption));
      WrappingTabStrip* strip = AddPageStrip(controls_);
      for (const frontend::PanelPage& page : group.pages) {
        strip->AddTab(FromCore(page.caption));
      }
      connect(strip, &WrappingTabStrip::CurrentChanged, this, &Form1::ChoosePage);
    }
    groupTab->setCurrentIndex(0);
  }
  groupTab->setVisible(pages.GroupTabsVisible());
  // Multi-row page tabs push the grid down, and the window grows with it.
  const Twips& twips = controls_.grid->Scale();
  const int tabHeight = controls_.regTab.isEmpty() ? 0 : controls_.regTab.front()->TabHeight();
  controls_.grid->SetShift(twips.Px(pages.GridShiftTwips(twips.ToTwips(tabHeight))));
  controls_.grid->SetRoomRows(pages.FullestPageRows());
  PlaceTabsAndPanel(controls_);
  panel_.Invalidate();
  RefreshPanel();
  // Placed once the first page has fitted its columns.
  PlaceWindow();
}

void Form1::ShowFileName(std::string_view name) {
  controls_.fileLabel->setText(FromCore(name));
}

bool Form1::OpenDocument(std::string_view target) {
  const QString text = FromCore(target);
  const QUrl url = text.contains("://") ? QUrl(text) : QUrl::fromLocalFile(text);
  return QDesktopServices::openUrl(url);
}

void Form1::RefreshPanel() {
  if (controls_.regTab.isEmpty()) {
    return;
  }
  const int group = std::clamp(controls_.groupTab->currentIndex(), 0,
                               static_cast<int>(controls_.regTab.size()) - 1);
  const int page = controls_.regTab[group]->CurrentIndex();
  const frontend::PanelView& view = panel_.Refresh(group, page, false);
  const int gridWidth = controls_.grid->width();
  // A new page changes most of the grid: one repaint instead of one per control.
  const bool holdUpdates = view.pageChanged && controls_.grid->updatesEnabled();
  if (holdUpdates) {
    controls_.grid->setUpdatesEnabled(false);
  }
  ShowPanelPage(*controls_.grid, view);
  if (holdUpdates) {
    controls_.grid->setUpdatesEnabled(true);
  }
  if (view.pageChanged) {
    ApplyBusControls();
  }
  if (controls_.grid->width() != gridWidth) {
    // The page's columns moved the column of buttons: the window follows
    // the panel's width as far as the screen allows.
    PlaceTabsAndPanel(controls_);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int widest = screen != nullptr ? screen->availableGeometry().width() : QWIDGETSIZE_MAX;
    resize(std::min(controls_.panel->width(), widest), height());
  }
}

void Form1::SetReadRegsEnabled(bool enabled) {
  controls_.readReg->setEnabled(enabled);
}

void Form1::SetWriteRegsEnabled(bool enabled) {
  controls_.writeReg->setEnabled(enabled);
}

void Form1::SavePartSettings() {
  frontend::SavePartSettings(start_, edit_, &reader_.state);
}

}  // namespace kestrova::mainwindow
