// The window on the emulated board, one test per group of controls: the
// controls reach the core, and they show what the core decides (the rules
// themselves are proved in tests/app/frontend and tests/app/continuous).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <filesystem>
#include <memory>
#include <regex>

#include "../continuous/fake_clock.hpp"
#include "../markup/temp_folder.hpp"
#include "form1.hpp"
#include "frontend/program_start.hpp"
#include "plot_windows_view.hpp"
#include "register_grid.hpp"
#include "text.hpp"
#include "widget_test_support.hpp"
#include "wrapping_tab_strip.hpp"

namespace kestrova::mainwindow {
namespace {

using kestrova::testing::ReadBytes;
using kestrova::testing::WriteBytes;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

class WindowWiring : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::EnsureApplication(); }

  // The demo part at the chip `address` (decimal) with write.log on (test
  // bit 8) and "Write On Change" ticked; shown and active.
  Form1& Open(const std::string& address) {
    const WindowOptions options = testing::OnEmulatedBoard(home.path());
    std::string error;
    EXPECT_FALSE(frontend::PrepareProgramFolder(options, error).empty()) << error;
    WriteBytes(home / "dravik.def", "<definition device=\"demo\" test=\"8\">\r\n</definition>\r\n");
    std::filesystem::create_directory(home / "demo");
    WriteBytes(home / "demo/part.def",
               "<definition timer1interval=\"1000\" writenowvalue=\"1\" readafterwritevalue=\"1\" "
               "interfaceaddr=\"" +
                   address + "\">\r\n</definition>\r\n");
    window = std::make_unique<Form1>(options);
    EXPECT_TRUE(window->Load());
    window->show();
    QApplication::setActiveWindow(window.get());
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    return *window;
  }

  GridRow& RowNamed(const QString& label) {
    for (int r = 0; r < 16; ++r) {
      if (window->Controls().grid->Row(r).regName->text() == label) {
        return window->Controls().grid->Row(r);
      }
    }
    ADD_FAILURE() << label.toStdString();
    return window->Controls().grid->Row(0);
  }

  kestrova::testing::TempFolder home;
  kestrova::testing::TempFolder work;
  std::unique_ptr<Form1> window;
};

// "Read Regs" and the group and page tabs reach the core; every row of
// every page shows the core's view; "Save Reg" writes the file and shows
// its name.
TEST_F(WindowWiring, EveryPageShowsTheCoreViewAndSaveRegWritesTheFile) {
  Form1Controls& controls = Open("72").Controls();
  QTest::mouseClick(controls.readReg, Qt::LeftButton);
  int pagesSeen = 0;
  int grownPages = 0;
  QTabBar* groups = controls.groupTab;
  ASSERT_TRUE(groups->isVisible());
  // "Adr" keeps the margin from the line that "Attr" keeps: both start over their captions.
  const auto titles = controls.grid->findChildren<QLabel*>("Title", Qt::FindDirectChildrenOnly);
  const GridRow& first = controls.grid->Row(0);
  EXPECT_EQ(titles[0]->x() - first.regAddr->x(), titles[1]->x() - first.regAttr->x());
  for (int g = 0; g < controls.regTab.size(); ++g) {
    QTest::mouseClick(groups, Qt::LeftButton, {}, groups->tabRect(g).center());
    WrappingTabStrip* pages = controls.regTab[g];
    EXPECT_TRUE(pages->isVisible());
    for (int p = 0; p < pages->Count(); ++p, ++pagesSeen) {
      QTest::mouseClick(pages, Qt::LeftButton, {}, pages->TabRect(p).center());
      const frontend::PanelView& view = window->Panel().View();
      ASSERT_EQ(view.group * 10 + view.page, g * 10 + p);
      // The page's columns: the rows stand on them, the buttons right of them.
      const Twips& twips = controls.grid->Scale();
      const frontend::PanelColumns& columns = view.columns;
      grownPages += columns.Growth() > 0 ? 1 : 0;
      EXPECT_LT(controls.grid->geometry().right(), controls.readReg->x());
      for (std::size_t r = 0; r < 16; ++r) {
        SCOPED_TRACE(std::to_string(g) + "/" + std::to_string(p) + " row " + std::to_string(r));
        GridRow& row = controls.grid->Row(static_cast<int>(r));
        ASSERT_EQ(row.regName->isVisible(), r < view.rows.size());
        if (r >= view.rows.size()) {
          continue;
        }
        const frontend::PanelRow& want = view.rows[r];
        const int moved = columns.AddrGrowth();
        EXPECT_EQ(row.regAddr->geometry().right() + 1,
                  twips.Px(panel::kRegAddr.left + columns.regAddrWidth));
        EXPECT_EQ(row.regName->geometry().right() + 1,
                  twips.Px(panel::kRegName.left + moved + columns.regNameWidth));
        EXPECT_EQ(
            row.bitCombo->geometry().right() + 1,
            twips.Px(panel::kBitCombo.left + moved + columns.NameGrowth() + columns.bitComboWidth));
        EXPECT_EQ(row.regName->text(), FromCore(want.regName));
        EXPECT_EQ(row.regAddr->text(), FromCore(want.regAddr).remove('\r'));
        EXPECT_EQ(row.regAttr->text(), FromCore(want.regAttr));
        for (std::size_t j = 0; j < 8; ++j) {
          EXPECT_EQ(row.regBit[j]->text(), FromCore(want.bits[j].caption)) << j;
        }
        EXPECT_EQ(row.regValue->isVisible(), want.regValueVisible);
        EXPECT_EQ(row.bitValue->isVisible(), want.bitValueVisible);
        EXPECT_EQ(row.bitCombo->isVisible(), want.comboVisible);
        if (want.regValueVisible) {
          EXPECT_EQ(row.regValue->text(), FromCore(want.regValue));
        }
        if (want.bitValueVisible) {
          EXPECT_EQ(row.bitValue->text() + row.units->text(), FromCore(want.bitValue + want.units));
        }
        if (want.comboVisible) {
          EXPECT_EQ(row.bitCombo->currentIndex(), want.comboIndex);
        }
      }
    }
  }
  EXPECT_EQ(pagesSeen, 5);
  EXPECT_GT(grownPages, 0);  // the demo's long drop-down entries and labels

  const std::string saved = work / "window.dat";
  testing::ChooseInNextFileDialog(saved);
  controls.menu.saveReg->trigger();
  EXPECT_EQ(controls.fileLabel->text(), "window.dat");
  EXPECT_THAT(ReadBytes(saved), StartsWith("<definition>\r\n <reg addr="));
}

// A bit cell click is one write; keystrokes in a value box write at Enter;
// unticked "Write On Change", a click stages and "Write Regs" writes it; a
// box left empty keeps the focus.
TEST_F(WindowWiring, AClickWritesOnceAndTypingWritesAtEnter) {
  Form1Controls& controls = Open("73").Controls();  // the chip at 49 is this test's own
  ASSERT_TRUE(controls.writeNow->isChecked());
  ASSERT_EQ(window->Session().connection.deviceAddress, 0x49);
  const auto writes = [&] {
    return QString::fromStdString(ReadBytes(home / "demo/write.log"))
        .split("\r\n", Qt::SkipEmptyParts);
  };
  const QStringList startWrites = writes();  // the part's start-up writes

  // Bit 7 of "Alarm high limit" (28): one write of the register's two bytes.
  QTest::mouseClick(RowNamed("Alarm high limit").regBit[0], Qt::LeftButton);
  EXPECT_EQ(writes(), startWrites + QStringList({"02=A8 102=00 "}));

  QLineEdit* low = RowNamed("Alarm low limit").bitValue;
  QTest::mouseClick(low, Qt::LeftButton);
  low->selectAll();
  QTest::keyClicks(low, "12.5");
  EXPECT_EQ(writes().size(), startWrites.size() + 1);
  QTest::keyClick(low, Qt::Key_Return);
  EXPECT_EQ(writes(), startWrites + QStringList({"02=A8 102=00 ", "03=06 103=40 "}));
  EXPECT_EQ(low->text(), "12.5000");

  QPushButton* writeRegs = controls.writeReg;
  QTest::mouseClick(controls.writeNow, Qt::LeftButton);
  QTest::mouseClick(RowNamed("Alarm high limit").regBit[0], Qt::LeftButton);
  ASSERT_TRUE(writeRegs->isEnabled());
  QTest::mouseClick(writeRegs, Qt::LeftButton);
  EXPECT_EQ(writes(),
            startWrites + QStringList({"02=A8 102=00 ", "03=06 103=40 ", "02=28 102=00 "}));
  EXPECT_FALSE(writeRegs->isEnabled());

  QLineEdit* hex = RowNamed("Alarm low limit").regValue;
  QTest::mouseClick(hex, Qt::LeftButton);
  hex->selectAll();
  QTest::keyClick(hex, Qt::Key_Backspace);
  QTest::keyClick(hex, Qt::Key_Tab);
  QApplication::processEvents();
  EXPECT_EQ(QApplication::focusWidget(), hex);
  EXPECT_EQ(writes().size(), startWrites.size() + 3);
  EXPECT_FALSE(writeRegs->isEnabled());  // nor staged
}

// On a three-wire Microwire bus a read-only field's value box is locked.
TEST_F(WindowWiring, ReadOnlyFieldsOfAThreeWirePartAreLocked) {
  WindowOptions options = testing::OnEmulatedBoard(home.path(), "three-wire");
  options.link = "none";
  std::string error;
  ASSERT_FALSE(frontend::PrepareProgramFolder(options, error).empty()) << error;
  WriteBytes(home / "device/three-wire", std::regex_replace(ReadBytes(home / "device/demo"),
                                                            std::regex("interface type=\"i2c\""),
                                                            "interface type=\"microwire\""));
  testing::OnNextModal<QMessageBox>([](QMessageBox* box) {  // "No Hardware Selected."
    box->button(QMessageBox::No)->click();
  });
  window = std::make_unique<Form1>(options);
  ASSERT_TRUE(window->Load());
  EXPECT_TRUE(RowNamed("Temperature").bitValue->isReadOnly());
  EXPECT_FALSE(RowNamed("Alarm high limit").bitValue->isReadOnly());
}

// The menu's input boxes, the log file dialog, the buttons and the drop-down
// reach the core, and the controls follow what it does by itself; the log
// is written and the settings are kept.
TEST_F(WindowWiring, LogsPlotsAndReadsThroughTheCoreAndKeepsTheSettings) {
  Form1& form = Open("72");
  continuous::testing::FakeDateTime dateTime;
  form.SetDateTimeText(&dateTime);
  Form1Controls& c = form.Controls();
  for (const auto& [entry, text] :
       {std::pair{c.menu.setReadTime, "0.01"}, {c.menu.setLogLimit, "2"}}) {
    testing::OnNextModal<QInputDialog>([text = QString(text)](QInputDialog* box) {
      box->setTextValue(text);
      box->accept();
    });
    entry->trigger();
  }
  const std::string log = work / "run.txt";
  testing::ChooseInNextFileDialog(log);
  QTest::mouseClick(c.logData, Qt::LeftButton);
  EXPECT_EQ(c.logData->text(), "STOP LOG");
  EXPECT_FALSE(c.menu.setLogLimit->isEnabled());
  EXPECT_EQ(form.focusWidget(), c.logData);
  // At its limit logging stops by itself, and the controls say so.
  ASSERT_TRUE(QTest::qWaitFor([&] { return c.logData->text() == "Start Log"; }, 5000));

  QTest::mouseClick(c.plotData, Qt::LeftButton);
  EXPECT_EQ(c.plotData->text(), "STOP PLOT");
  // The click disables the button; the first step that has drawn enables it.
  ASSERT_TRUE(QTest::qWaitFor([&] { return c.plotData->isEnabled(); }, 5000));
  plotwindow::PlotWindowsView& plots = form.PlotViews();
  ASSERT_EQ(plots.Count(), 1);  // the demo part's one unit
  ASSERT_TRUE(QTest::qWaitFor([&] { return plots.Window(0)->isVisible(); }, 2000));
  QTest::mouseClick(c.plotData, Qt::LeftButton);
  EXPECT_EQ(plots.Count(), 0);
  EXPECT_EQ(c.plotData->text(), "Start Plot");
  EXPECT_TRUE(c.menu.selectPlot->isEnabled());

  c.readContCombo->setFocus();
  QTest::keyClick(c.readContCombo, Qt::Key_Down);
  EXPECT_TRUE(form.Reader().state.contReadActive);
  EXPECT_EQ(form.focusWidget(), c.readContCombo);
  QTest::keyClick(c.readContCombo, Qt::Key_Up);
  EXPECT_FALSE(form.Reader().state.contReadActive);
  form.close();

  // The file's layout is the core's (proved with the continuous read); the
  // window gives the file, the clock, the chip and the settings kept.
  const std::string logged = ReadBytes(log);
  EXPECT_THAT(logged, StartsWith("\r\nLogFile = " + log + "\r\n03.05.2024 10:00:00\r\n"));
  EXPECT_THAT(logged, EndsWith("10:00:03\t31.5000 \t80h     \t0       \t\r\n"));
  const std::string settings = ReadBytes(home / "demo/part.def");
  EXPECT_THAT(settings, HasSubstr("logfilename=\"" + log + "\" timer1interval=\"10\""));
  EXPECT_THAT(settings, HasSubstr("maxlogcount=\"2\""));
}

}  // namespace
}  // namespace kestrova::mainwindow
