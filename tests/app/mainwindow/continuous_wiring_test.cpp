// The window's continuous read, logging and plotting on the emulated board:
// the menu's input boxes, the log file dialog, the buttons and the drop-down
// reach the core, and the controls follow what it does by itself. The log
// the window writes is checked byte for byte.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "../continuous/fake_clock.hpp"
#include "form1.hpp"
#include "plot_windows_view.hpp"
#include "widget_test_support.hpp"

namespace kestrova::mainwindow {
namespace {

using testing::OnNextModal;

// The demo part's registers after its start-up writes, in definition order.
const char kHeaderRegisters[] =
    "Temp=31.5000\r\nConfig=04h\r\nAlarmHi=80.0000\r\nAlarmLo=10.0000\r\nCrit=95.0000\r\n"
    "Status=80h\r\nDivider=1\r\nPeriod=0Ah\r\nQuickAl=32h\r\nFineAl=50.0\r\nHyst=02h\r\n"
    "Count=0\r\nLock=00h\r\nDevID=4Bh\r\nPeak=30.0000\r\nTrim=0.0000\r\nUser1=0\r\nUser2=0\r\n"
    "User3=0\r\nSupply=01h\r\nClock=01h\r\nLED=00h\r\n";

QByteArray FileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Answer(QAction* entry, const QString& text) {
  OnNextModal([text](QWidget* modal) {
    auto* box = qobject_cast<QInputDialog*>(modal);
    ASSERT_NE(box, nullptr);
    box->setTextValue(text);
    box->accept();
  });
  entry->trigger();
}

TEST(ContinuousWiring, LogsPlotsAndReadsThroughTheCoreAndKeepsTheSettings) {
  testing::EnsureApplication();  // the still bench: every row reads the same
  QTemporaryDir home;
  QTemporaryDir work;
  const QString log = work.filePath("run.txt");
  continuous::testing::FakeDateTime dateTime;
  {
    Form1 window(testing::OnEmulatedBoard(home.path(), "demo"));
    ASSERT_TRUE(window.Load());
    window.show();
    window.SetDateTimeText(&dateTime);
    Form1Controls& c = window.Controls();
    Answer(c.menu.setReadTime, "0.01");
    Answer(c.menu.setLogLimit, "2");

    OnNextModal([&log](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->windowTitle(), "Open Log File");
      dialog->selectFile(log);
      static_cast<QDialog*>(dialog)->accept();
    });
    QTest::mouseClick(c.logData, Qt::LeftButton);
    EXPECT_EQ(c.logData->text(), "STOP LOG");
    EXPECT_FALSE(c.menu.setLogLimit->isEnabled());
    EXPECT_EQ(window.focusWidget(), c.logData);
    // At its limit logging stops by itself, and the controls say so.
    ASSERT_TRUE(QTest::qWaitFor([&] { return c.logData->text() == "Start Log"; }, 5000));
    EXPECT_TRUE(c.menu.setLogLimit->isEnabled());

    QTest::mouseClick(c.plotData, Qt::LeftButton);
    EXPECT_EQ(c.plotData->text(), "STOP PLOT");
    EXPECT_FALSE(c.menu.selectPlot->isEnabled());
    EXPECT_FALSE(c.plotData->isEnabled());  // until the first step has drawn
    ASSERT_TRUE(QTest::qWaitFor([&] { return c.plotData->isEnabled(); }, 5000));
    plotwindow::PlotWindowsView& plots = window.PlotViews();
    ASSERT_EQ(plots.Count(), 1);  // the demo part's one unit
    ASSERT_TRUE(QTest::qWaitFor([&] { return plots.Window(0)->isVisible(); }, 2000));
    EXPECT_EQ(plots.Window(0)->windowTitle(), QString::fromUtf8("\xC2\xB0"
                                                                "C"));
    QTest::mouseClick(c.plotData, Qt::LeftButton);
    EXPECT_EQ(plots.Count(), 0);
    EXPECT_EQ(c.plotData->text(), "Start Plot");
    EXPECT_TRUE(c.menu.selectPlot->isEnabled());

    c.readContCombo->setFocus();
    QTest::keyClick(c.readContCombo, Qt::Key_Down);
    EXPECT_TRUE(window.Reader().state.contReadActive);
    EXPECT_EQ(window.focusWidget(), c.readContCombo);
    QTest::keyClick(c.readContCombo, Qt::Key_Up);
    EXPECT_FALSE(window.Reader().state.contReadActive);
    window.close();
  }

  const QByteArray expected = "\r\nLogFile = " + log.toUtf8() +
                              "\r\n03.05.2024 10:00:00\r\nAll Registers\r\n" + kHeaderRegisters +
                              "Log Registers\r\n10:00:01\tTemp    \tStatus  \tCount   \t\r\n"
                              "10:00:02\t31.5000 \t80h     \t0       \t\r\n"
                              "10:00:03\t31.5000 \t80h     \t0       \t\r\n";
  EXPECT_EQ(FileBytes(log), expected);
  const QByteArray settings = FileBytes(home.filePath("demo/part.def"));
  EXPECT_TRUE(settings.contains("logfilename=\"" + log.toUtf8() + "\"")) << settings.data();
  EXPECT_TRUE(settings.contains("timer1interval=\"10\"")) << settings.data();
  EXPECT_TRUE(settings.contains("maxlogcount=\"2\"")) << settings.data();
}

}  // namespace
}  // namespace kestrova::mainwindow
