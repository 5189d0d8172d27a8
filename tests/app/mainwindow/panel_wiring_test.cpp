// The window on the emulated board: "Read Regs" and the group and page tabs
// reach the core, every row of every page shows the core's panel view, and
// "Save Reg" writes the register data file and shows its name.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

#include "form1.hpp"
#include "register_grid.hpp"
#include "text.hpp"
#include "widget_test_support.hpp"
#include "wrapping_tab_strip.hpp"

namespace kestrova::mainwindow {
namespace {

// The texts of a shown row as the core's view has them.
void ExpectRowShows(GridRow& row, const frontend::PanelRow& want) {
  EXPECT_EQ(row.regName->text(), FromCore(want.regName));
  EXPECT_EQ(row.regAddr->text(), FromCore(want.regAddr).remove('\r'));
  EXPECT_EQ(row.regAttr->text(), FromCore(want.regAttr));
  EXPECT_EQ(row.regValue->isVisible(), want.regValueVisible);
  if (want.regValueVisible) {
    EXPECT_EQ(row.regValue->text(), FromCore(want.regValue));
  }
  for (std::size_t j = 0; j < 8; ++j) {
    EXPECT_EQ(row.regBit[j]->text(), FromCore(want.bits[j].caption)) << j;
  }
  EXPECT_EQ(row.bitValue->isVisible(), want.bitValueVisible);
  if (want.bitValueVisible) {
    EXPECT_EQ(row.bitValue->text(), FromCore(want.bitValue));
    EXPECT_EQ(row.units->text(), FromCore(want.units));
  }
  EXPECT_EQ(row.bitCombo->isVisible(), want.comboVisible);
  if (want.comboVisible) {
    EXPECT_EQ(row.bitCombo->currentIndex(), want.comboIndex);
  }
}

TEST(PanelWiring, EveryPageShowsTheCoreViewAndSaveRegWritesTheFile) {
  testing::EnsureApplication();
  QTemporaryDir home;
  Form1 window(testing::OnEmulatedBoard(home.path(), "demo"));
  ASSERT_TRUE(window.Load());
  window.show();
  Form1Controls& controls = window.Controls();
  QTest::mouseClick(controls.readReg, Qt::LeftButton);

  int pagesSeen = 0;
  QTabBar* groups = controls.groupTab;
  ASSERT_TRUE(groups->isVisible());
  for (int g = 0; g < controls.regTab.size(); ++g) {
    QTest::mouseClick(groups, Qt::LeftButton, {}, groups->tabRect(g).center());
    WrappingTabStrip* pages = controls.regTab[g];
    EXPECT_TRUE(pages->isVisible());
    for (int p = 0; p < pages->Count(); ++p, ++pagesSeen) {
      QTest::mouseClick(pages, Qt::LeftButton, {}, pages->TabRect(p).center());
      const frontend::PanelView& view = window.Panel().View();
      ASSERT_EQ(view.group, g);
      ASSERT_EQ(view.page, p);
      for (std::size_t r = 0; r < 16; ++r) {
        SCOPED_TRACE(std::to_string(g) + "/" + std::to_string(p) + " row " + std::to_string(r));
        GridRow& row = controls.grid->Row(static_cast<int>(r));
        ASSERT_EQ(row.regName->isVisible(), r < view.rows.size());
        if (r < view.rows.size()) {
          ExpectRowShows(row, view.rows[r]);
        }
      }
    }
  }
  EXPECT_EQ(pagesSeen, 5);

  QTemporaryDir work;
  const QString saved = work.filePath("window.dat");
  testing::OnNextModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    dialog->selectFile(saved);
    static_cast<QDialog*>(dialog)->accept();
  });
  controls.menu.saveReg->trigger();
  EXPECT_EQ(controls.fileLabel->text(), "window.dat");
  QFile file(saved);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().startsWith("<definition>\r\n <reg addr="));
}

}  // namespace
}  // namespace kestrova::mainwindow
