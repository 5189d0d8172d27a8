#include "twips.hpp"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace kestrova::mainwindow {

Twips Twips::For(const QWidget* widget) {
  const QScreen* screen = widget != nullptr ? widget->screen() : nullptr;
  if (screen == nullptr) {
    screen = QGuiApplication::primaryScreen();
  }
  return Twips(screen != nullptr ? screen->logicalDotsPerInch() : 96.0);
}

int Twips::Px(int twips) const {
  return static_cast<int>(std::lround(twips * pixelsPerTwip_));
}

int Twips::ToTwips(int pixels) const {
  return static_cast<int>(std::lround(pixels / pixelsPerTwip_));
}

QRect Twips::Rect(int left, int top, int width, int height) const {
  // Edges are rounded, not sizes, so neighbouring cells keep their gaps.
  const int x = Px(left);
  const int y = Px(top);
  return QRect(x, y, Px(left + width) - x, Px(top + height) - y);
}

}  // namespace kestrova::mainwindow
