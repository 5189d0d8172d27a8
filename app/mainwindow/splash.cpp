#include "splash.hpp"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>

#include "twips.hpp"

namespace kestrova::mainwindow {

namespace {

// The picture's proportion, in twips at 96 dpi (360 by 168 pixels).
constexpr int kPictureWidthTwips = 360 * 15;
constexpr int kPictureHeightTwips = 168 * 15;

}  // namespace

Splash::Splash(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
  setObjectName("Splash");
  setAttribute(Qt::WA_ShowWithoutActivating);
}

void Splash::ShowSearching(const QString& title) {
  setWindowTitle(title);
  const Twips twips = Twips::For(this);
  setFixedSize(twips.Px(kPictureWidthTwips), twips.Px(kPictureHeightTwips));
  if (const QScreen* screen = QGuiApplication::primaryScreen(); screen != nullptr) {
    QRect frame = rect();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  show();
  raise();
  update();
}

void Splash::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QLinearGradient sky(0, 0, 0, height());
  sky.setColorAt(0.0, QColor(0x1E, 0x3A, 0x5F));
  sky.setColorAt(1.0, QColor(0x0B, 0x16, 0x26));
  painter.fillRect(rect(), sky);
  painter.setPen(QColor(0xF2, 0xF2, 0xF2));
  QFont name = font();
  name.setPixelSize(height() / 4);
  name.setBold(true);
  painter.setFont(name);
  const QRect upper(0, 0, width(), height() * 3 / 5);
  painter.drawText(upper, Qt::AlignCenter, QStringLiteral("Kestrova"));
  QFont line = font();
  line.setPixelSize(std::max(10, height() / 12));
  painter.setFont(line);
  const QRect lower(8, height() * 3 / 5, width() - 16, height() * 2 / 5);
  painter.drawText(lower, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, windowTitle());
}

}  // namespace kestrova::mainwindow
