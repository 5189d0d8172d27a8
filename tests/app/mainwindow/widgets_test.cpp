// The window's own widgets. The message box, the file dialog and the
// hardware dialog: what the core asks of them reaches the Qt dialogs, and the
// answers come back in the core's codes. The page tab strip wraps its
// fixed-width tabs onto new rows of 13 and reports the user's choice, not the
// program's. The command line refuses an empty --smbus.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "command_line.hpp"
#include "file_dialog.hpp"
#include "iface_box.hpp"
#include "message_box.hpp"
#include "widget_test_support.hpp"
#include "wrapping_tab_strip.hpp"

namespace kestrova::mainwindow {
namespace {

using testing::OnNextModal;

class Dialogs : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::EnsureApplication(); }
};

TEST_F(Dialogs, MessageBoxShowsTheStyleButtonsAndAnswersInTheCoreCodes) {
  struct Case {
    int style;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton press;
    int result;
  };
  const Case cases[] = {
      {0, QMessageBox::Ok, QMessageBox::Ok, 1},
      {3, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Cancel, 2},
      {4, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, 6},
      {4, QMessageBox::Yes | QMessageBox::No, QMessageBox::No, 7},
  };
  QMainWindow owner;
  owner.setWindowTitle("Kestrova demo temperature sensor USB evaluation board");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    OnNextModal<QMessageBox>([&](QMessageBox* box) {
      EXPECT_EQ(box->windowTitle(), owner.windowTitle());
      EXPECT_EQ(box->text(), "No Hardware Selected.\nLoad Register Data File?");
      EXPECT_EQ(box->standardButtons(), c.buttons);
      box->button(c.press)->click();
    });
    EXPECT_EQ(ShowMessageBox(&owner, "No Hardware Selected.\r\nLoad Register Data File?", c.style),
              c.result);
  }
}

TEST_F(Dialogs, FileDialogFiltersTakeQtsForm) {
  EXPECT_EQ(QtNameFilters("Log files (*.txt;*.log)|*.txt;*.log|All files (*.*)|*.*"),
            QStringList({"Log files (*.txt *.log)", "All files (*.*)"}));
  EXPECT_EQ(QtNameFilters("Device (*)|*"), QStringList({"Device (*)"}));
  // The description names PDF; the pattern decides what is listed.
  EXPECT_EQ(QtNameFilters("Manual (*.pdf)|*.lnk"), QStringList({"Manual (*.lnk)"}));
  EXPECT_EQ(QtNameFilters("Register Data files|*.dat|Orphan"),
            QStringList({"Register Data files (*.dat)"}));
}

TEST_F(Dialogs, FileDialogHonoursTheFlagsAndKeepsTheNameOnCancel) {
  struct Case {
    std::uint32_t flags;
    bool save;
    QFileDialog::FileMode mode;
    bool confirmsOverwrite;
  };
  const Case cases[] = {
      {0x30500D, false, QFileDialog::ExistingFile, false},  // open: the file must exist
      {0x30000E, false, QFileDialog::AnyFile, false},       // the log: a new name is fine
      {0x30000E, true, QFileDialog::AnyFile, true},         // save: asks before overwriting
      {0x300008, true, QFileDialog::AnyFile, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    std::string name = "/tmp/kestrova-dialog-test/part.dat";
    QString title;  // stays empty unless the dialog stood
    OnNextModal<QFileDialog>([&](QFileDialog* dialog) {
      EXPECT_EQ(dialog->fileMode(), c.mode);
      EXPECT_EQ(!dialog->testOption(QFileDialog::DontConfirmOverwrite), c.confirmsOverwrite);
      title = dialog->windowTitle();
      EXPECT_EQ(dialog->nameFilters(), QStringList({"Register Data files (*.dat)"}));
      dialog->reject();
    });
    EXPECT_FALSE(ShowFileDialog(nullptr, "Register Data files (*.dat)|*.dat",
                                "Open Register Data File", name, c.flags, c.save));
    EXPECT_EQ(name, "/tmp/kestrova-dialog-test/part.dat");
    EXPECT_EQ(title, "Open Register Data File");
  }
}

TEST_F(Dialogs, IfaceBoxAnswersTheChosenEntryOrAnotherDevice) {
  struct Case {
    int selected;
    int click;            // radio button clicked before leaving, or -1
    const char* leaveBy;  // the button pressed; "" closes the frame
    int result;
  };
  const Case cases[] = {
      {1, -1, "OKButton", 1},
      {0, 2, "OKButton", 2},
      {-1, -1, "OKButton", 0},  // opened after "Another Device": the first entry
      {1, -1, "AnotherDeviceButton", -1},
      {1, 0, "", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(&c - cases));
    IfaceBox box;
    box.SetChoices({"Demo USB board", "Demo SMBus adapter", "Demo no hardware"}, c.selected);
    std::vector<bool> visible;
    OnNextModal<IfaceBox>([&](IfaceBox* modal) {
      ASSERT_EQ(modal, &box);
      const auto radios = box.findChildren<QRadioButton*>("IfaceRadio");
      for (QRadioButton* radio : radios) {
        visible.push_back(radio->isVisible());
      }
      if (c.click >= 0) {
        radios[c.click]->click();
      }
      if (*c.leaveBy != '\0') {
        box.findChild<QPushButton*>(c.leaveBy)->click();
      } else {
        box.close();
      }
    });
    EXPECT_EQ(box.Choose(), c.result);
    EXPECT_EQ(box.property("SelectedIndex").toInt(), c.result);
    EXPECT_EQ(visible, std::vector<bool>({true, true, true, false}));
  }
}

// --smbus names the adapter as kestrova-cli's does; an empty name is refused.
TEST(CommandLine, SmbusNamesTheAdapter) {
  WindowOptions options;
  EXPECT_EQ(ParseWindowOptions({"kestrova", "--smbus="}, options, true), CommandLineResult::Error);
  EXPECT_EQ(ParseWindowOptions({"kestrova", "--smbus", "1"}, options, true),
            CommandLineResult::Run);
  EXPECT_EQ(options.smbus, "1");
}

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
