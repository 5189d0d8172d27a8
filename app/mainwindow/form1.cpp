#include "form1.hpp"

#include <QComboBox>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <algorithm>

#include "iface_box.hpp"
#include "message_box.hpp"
#include "splash.hpp"

namespace kestrova::mainwindow {

namespace {

// The window is never taller than this part of the screen.
constexpr double kMaxScreenHeightShare = 0.9;

}  // namespace

Form1::Form1(WindowOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)) {
  setObjectName("Form1");
  controls_ = BuildForm1Controls(*this);
  auto* scroll = new QScrollArea(this);
  scroll->setObjectName("PanelScroll");
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidget(controls_.panel);
  setCentralWidget(scroll);
  controls_.readContCombo->addItems({"OFF", "Value Regs", "All Regs"});
  controls_.readContCombo->setCurrentIndex(0);
  ifaceBox_ = new IfaceBox(this);
  splash_ = new Splash(this);
  connect(controls_.menu.exit, &QAction::triggered, this, &QWidget::close);
  PlaceWindow();
}

Form1::~Form1() = default;

void Form1::PlaceWindow() {
  // The whole panel when the screen allows, else as much as fits: top edge
  // at the screen's top, centred across, at most 90 % of the screen high.
  const QSize content = controls_.panel->size() + QSize(0, menuBar()->sizeHint().height());
  QRect screen(0, 0, 1024, 768);
  if (const QScreen* s =
          this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
      s != nullptr) {
    screen = s->availableGeometry();
  }
  const int maxHeight = static_cast<int>(screen.height() * kMaxScreenHeightShare);
  const int width = std::min(content.width(), screen.width());
  const int height = std::min(content.height(), maxHeight);
  resize(width, height);
  move(screen.left() + (screen.width() - frameGeometry().width()) / 2, screen.top());
  fullHeight_ = height;
}

int Form1::MessageBox(std::string_view prompt, int buttons) {
  return ShowMessageBox(this, prompt, buttons);
}

}  // namespace kestrova::mainwindow
