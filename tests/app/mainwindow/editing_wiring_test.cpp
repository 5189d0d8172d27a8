// The panel's editing wired to the core, on the emulated board with
// write.log on (test bit 8) and "Write On Change" ticked: a bit cell click
// is one write; keystrokes in a value box write nothing
// until Enter; unticked, a click stages and "Write Regs" writes it; a box
// left empty keeps the focus; a locked box is read-only.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "form1.hpp"
#include "frontend/program_start.hpp"
#include "register_grid.hpp"
#include "widget_test_support.hpp"

namespace kestrova::mainwindow {
namespace {

class EditingWiring : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::EnsureApplication(); }

  QStringList WriteLog() const {
    QFile file(home.filePath("demo/write.log"));
    return file.open(QIODevice::ReadOnly)
               ? QString(file.readAll()).split("\r\n", Qt::SkipEmptyParts)
               : QStringList();
  }
  int RowNamed(Form1& window, const QString& label) {
    for (int r = 0; r < 16; ++r) {
      if (window.Controls().grid->Row(r).regName->text() == label) {
        return r;
      }
    }
    ADD_FAILURE() << label.toStdString();
    return 0;
  }

  QTemporaryDir home;
};

TEST_F(EditingWiring, AClickWritesOnceAndTypingWritesAtEnter) {
  const WindowOptions options = testing::OnEmulatedBoard(home.path());
  std::string error;
  ASSERT_FALSE(frontend::PrepareProgramFolder(options, error).empty()) << error;
  QFile startup(home.filePath("dravik.def"));
  ASSERT_TRUE(startup.open(QIODevice::WriteOnly));
  startup.write("<definition device=\"demo\" test=\"8\">\r\n</definition>\r\n");
  startup.close();
  // The demo chip at 49 (73) is this test's own: the others' stay as started.
  ASSERT_TRUE(QDir(home.path()).mkpath("demo"));
  QFile settings(home.filePath("demo/part.def"));
  ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
  settings.write(
      "<definition timer1interval=\"1000\" writenowvalue=\"1\" readafterwritevalue=\"1\" "
      "interfaceaddr=\"73\">\r\n</definition>\r\n");
  settings.close();
  Form1 window(options);
  ASSERT_TRUE(window.Load());
  window.show();
  QApplication::setActiveWindow(&window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  ASSERT_TRUE(window.Controls().writeNow->isChecked());
  ASSERT_EQ(window.Session().connection.deviceAddress, 0x49);
  RegisterGrid& grid = *window.Controls().grid;
  const QStringList startWrites = WriteLog();  // the part's start-up writes

  // Bit 7 of "Alarm high limit" (28): one write of the register's two bytes.
  QTest::mouseClick(grid.Row(RowNamed(window, "Alarm high limit")).regBit[0], Qt::LeftButton);
  EXPECT_EQ(WriteLog(), startWrites + QStringList({"02=A8 102=00 "}));

  QLineEdit* low = grid.Row(RowNamed(window, "Alarm low limit")).bitValue;
  QTest::mouseClick(low, Qt::LeftButton);
  low->selectAll();
  QTest::keyClicks(low, "12.5");
  EXPECT_EQ(WriteLog().size(), startWrites.size() + 1);
  QTest::keyClick(low, Qt::Key_Return);
  EXPECT_EQ(WriteLog(), startWrites + QStringList({"02=A8 102=00 ", "03=06 103=40 "}));
  EXPECT_EQ(low->text(), "12.5000");

  // Write On Change off: a click stages the byte and "Write Regs" writes it.
  QPushButton* writeRegs = window.Controls().writeReg;
  QTest::mouseClick(window.Controls().writeNow, Qt::LeftButton);
  EXPECT_FALSE(writeRegs->isEnabled());
  QTest::mouseClick(grid.Row(RowNamed(window, "Alarm high limit")).regBit[0], Qt::LeftButton);
  EXPECT_EQ(WriteLog().size(), startWrites.size() + 2);
  ASSERT_TRUE(writeRegs->isEnabled());
  QTest::mouseClick(writeRegs, Qt::LeftButton);
  EXPECT_EQ(WriteLog(),
            startWrites + QStringList({"02=A8 102=00 ", "03=06 103=40 ", "02=28 102=00 "}));
  EXPECT_FALSE(writeRegs->isEnabled());

  QLineEdit* hex = grid.Row(RowNamed(window, "Alarm low limit")).regValue;
  QTest::mouseClick(hex, Qt::LeftButton);
  hex->selectAll();
  QTest::keyClick(hex, Qt::Key_Backspace);
  QTest::keyClick(hex, Qt::Key_Tab);
  QApplication::processEvents();
  EXPECT_EQ(QApplication::focusWidget(), hex);
  EXPECT_EQ(WriteLog().size(), startWrites.size() + 3);
  EXPECT_FALSE(writeRegs->isEnabled());  // nor staged
}

// On a three-wire Microwire bus a read-only field's value box is locked:
// read-only, so it takes no keystroke and shows no text cursor.
TEST_F(EditingWiring, ReadOnlyFieldsOfAThreeWirePartAreLocked) {
  WindowOptions options;
  options.home = home.path().toStdString();
  options.device = "three-wire";
  options.link = "none";
  std::string error;
  ASSERT_FALSE(frontend::PrepareProgramFolder(options, error).empty()) << error;
  QFile demo(home.filePath("device/demo"));
  QFile part(home.filePath("device/three-wire"));
  ASSERT_TRUE(demo.open(QIODevice::ReadOnly) && part.open(QIODevice::WriteOnly));
  part.write(demo.readAll().replace("interface type=\"i2c\"", "interface type=\"microwire\""));
  part.close();
  testing::OnNextModal([](QWidget* modal) {  // "No Hardware Selected."
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    box->button(QMessageBox::No)->click();
  });
  Form1 window(options);
  ASSERT_TRUE(window.Load());
  RegisterGrid& grid = *window.Controls().grid;
  EXPECT_TRUE(grid.Row(RowNamed(window, "Temperature")).bitValue->isReadOnly());
  EXPECT_FALSE(grid.Row(RowNamed(window, "Alarm high limit")).bitValue->isReadOnly());
}

}  // namespace
}  // namespace kestrova::mainwindow
