#include "wrapping_tab_strip.hpp"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <algorithm>

namespace kestrova::mainwindow {

WrappingTabStrip::WrappingTabStrip(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::TabFocus);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void WrappingTabStrip::Clear() {
  texts_.clear();
  current_ = -1;
  updateGeometry();
  update();
}

void WrappingTabStrip::AddTab(const QString& text) {
  texts_.append(text);
  if (current_ < 0) {
    current_ = 0;
  }
  updateGeometry();
  update();
}

void WrappingTabStrip::SetCurrentIndex(int index) {
  if (index >= 0 && index < Count() && index != current_) {
    current_ = index;
    update();
  }
}

void WrappingTabStrip::SetTabSize(int width, int height) {
  tabWidth_ = std::max(1, width);
  tabHeight_ = std::max(1, height);
  updateGeometry();
  update();
}

void WrappingTabStrip::SetTabsPerRow(int tabs) {
  tabsPerRow_ = std::max(1, tabs);
  updateGeometry();
  update();
}

int WrappingTabStrip::RowCount() const {
  return Count() == 0 ? 1 : (Count() - 1) / tabsPerRow_ + 1;
}

QRect WrappingTabStrip::TabRect(int index) const {
  if (index < 0 || index >= Count()) {
    return {};
  }
  const int row = index / tabsPerRow_;
  const int column = index % tabsPerRow_;
  return QRect(column * tabWidth_, row * tabHeight_, tabWidth_, tabHeight_);
}

int WrappingTabStrip::TabAt(const QPoint& point) const {
  for (int index = 0; index < Count(); ++index) {
    if (TabRect(index).contains(point)) {
      return index;
    }
  }
  return -1;
}

QSize WrappingTabStrip::sizeHint() const {
  const int columns = std::min(std::max(Count(), 1), tabsPerRow_);
  return QSize(columns * tabWidth_, RowCount() * tabHeight_);
}

void WrappingTabStrip::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  // Unselected tabs first, so the raised selected tab is drawn over them.
  for (int pass = 0; pass < 2; ++pass) {
    for (int index = 0; index < Count(); ++index) {
      const bool selected = index == current_;
      if (selected != (pass == 1)) {
        continue;
      }
      QStyleOptionTab option;
      option.initFrom(this);
      option.shape = QTabBar::RoundedNorth;
      option.rect = TabRect(index);
      option.text = texts_[index];
      const int column = index % tabsPerRow_;
      const bool rowEnd = column == tabsPerRow_ - 1 || index == Count() - 1;
      option.position = column == 0
                            ? (rowEnd ? QStyleOptionTab::OnlyOneTab : QStyleOptionTab::Beginning)
                            : (rowEnd ? QStyleOptionTab::End : QStyleOptionTab::Middle);
      option.state &= ~QStyle::State_HasFocus;
      if (selected) {
        option.state |= QStyle::State_Selected;
        if (hasFocus()) {
          option.state |= QStyle::State_HasFocus;
        }
      }
      // The style's shape, but the caption centred without the style's
      // padding: the fixed tabs are just wide enough for "00-07".
      // The style draws a selected tab reaching into what lies below it,
      // which here is the next row of tabs.
      painter.save();
      painter.setClipRect(option.rect);
      painter.drawControl(QStyle::CE_TabBarTabShape, option);
      painter.restore();
      painter.setPen(palette().color(QPalette::WindowText));
      painter.drawText(option.rect, Qt::AlignCenter, option.text);
    }
  }
}

void WrappingTabStrip::Choose(int index) {
  if (index < 0 || index >= Count() || index == current_) {
    return;
  }
  current_ = index;
  update();
  emit CurrentChanged(index);
}

void WrappingTabStrip::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    Choose(TabAt(event->position().toPoint()));
  }
}

void WrappingTabStrip::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Left:
      Choose(current_ - 1);
      break;
    case Qt::Key_Right:
      Choose(current_ + 1);
      break;
    case Qt::Key_Up:
      Choose(current_ - tabsPerRow_);
      break;
    case Qt::Key_Down:
      Choose(current_ + tabsPerRow_);
      break;
    case Qt::Key_Home:
      Choose(0);
      break;
    case Qt::Key_End:
      Choose(Count() - 1);
      break;
    default:
      QWidget::keyPressEvent(event);
  }
}

}  // namespace kestrova::mainwindow
