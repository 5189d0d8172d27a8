// The page tab strip wraps its fixed-width tabs onto new rows of 13 and
// reports the user's choice, not the program's.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "widget_test_support.hpp"
#include "wrapping_tab_strip.hpp"

namespace kestrova::mainwindow {
namespace {

TEST(WrappingTabStrip, WrapsAfterThirteenTabsAndReportsClicks) {
  testing::EnsureApplication();
  WrappingTabStrip strip;
  strip.SetTabSize(39, 20);
  for (int tab = 0; tab < 14; ++tab) {
    strip.AddTab(QString::number(tab, 16).toUpper());
  }
  EXPECT_EQ(strip.RowCount(), 2);
  EXPECT_EQ(strip.sizeHint(), QSize(13 * 39, 2 * 20));
  EXPECT_EQ(strip.TabRect(13), QRect(0, 20, 39, 20));
  EXPECT_EQ(strip.CurrentIndex(), 0);

  QSignalSpy chosen(&strip, &WrappingTabStrip::CurrentChanged);
  strip.resize(strip.sizeHint());
  QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(5, 25));
  EXPECT_EQ(strip.CurrentIndex(), 13);
  QTest::keyClick(&strip, Qt::Key_Up);
  EXPECT_EQ(strip.CurrentIndex(), 0);
  strip.SetCurrentIndex(5);  // the program's own choice is not reported
  ASSERT_EQ(chosen.size(), 2);
  EXPECT_EQ(chosen[0][0].toInt(), 13);
  EXPECT_EQ(chosen[1][0].toInt(), 0);
}

}  // namespace
}  // namespace kestrova::mainwindow
