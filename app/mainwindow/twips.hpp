#pragma once
// The window's positions and sizes are kept in twips, as the part layouts
// were drawn: 1440 twips to the inch, so 15 twips are one pixel at 96 dpi.
// The screen's logical DPI scales them.

#include <QRect>

class QWidget;

namespace kestrova::mainwindow {

class Twips {
 public:
  explicit Twips(double logicalDpi = 96.0) : pixelsPerTwip_(logicalDpi / 1440.0) {}
  // The scale of the screen the widget is on (or the primary screen).
  static Twips For(const QWidget* widget);

  int Px(int twips) const;
  int ToTwips(int pixels) const;
  QRect Rect(int left, int top, int width, int height) const;

 private:
  double pixelsPerTwip_;
};

}  // namespace kestrova::mainwindow
