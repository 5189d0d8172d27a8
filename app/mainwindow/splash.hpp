#pragma once
// `Splash`: shown while the hardware is searched for. It holds one picture,
// 360 by 168 at 96 dpi, and carries "Searching for <part>..." as its title
// (drawn into the picture too, for desktops that show no title bars).

#include <QWidget>

namespace kestrova::mainwindow {

class Splash : public QWidget {
  Q_OBJECT

 public:
  explicit Splash(QWidget* parent = nullptr);

  // Shows the window centred on the screen with its title set.
  void ShowSearching(const QString& title);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace kestrova::mainwindow
