#pragma once
// A tab strip whose fixed-width tabs wrap onto further rows once a row is
// full, so every page tab of a part stays in sight (a QTabBar scrolls
// instead). Rows fill from the top; the selected tab is drawn raised.

#include <QStringList>
#include <QWidget>

namespace kestrova::mainwindow {

class WrappingTabStrip : public QWidget {
  Q_OBJECT

 public:
  explicit WrappingTabStrip(QWidget* parent = nullptr);

  void Clear();
  void AddTab(const QString& text);
  int Count() const { return static_cast<int>(texts_.size()); }
  QString TabText(int index) const { return texts_.value(index); }
  int CurrentIndex() const { return current_; }
  // Selects a tab without emitting CurrentChanged (the caller redraws itself).
  void SetCurrentIndex(int index);

  void SetTabSize(int width, int height);
  void SetTabsPerRow(int tabs);
  int TabWidth() const { return tabWidth_; }
  int TabHeight() const { return tabHeight_; }
  int RowCount() const;
  // The tab under a point of the strip, or -1.
  int TabAt(const QPoint& point) const;
  QRect TabRect(int index) const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 signals:
  // The user chose another tab.
  void CurrentChanged(int index);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Choose(int index);

  QStringList texts_;
  int current_ = -1;
  int tabWidth_ = 40;
  int tabHeight_ = 22;
  int tabsPerRow_ = 13;
};

}  // namespace kestrova::mainwindow
