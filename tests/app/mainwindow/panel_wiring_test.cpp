// The window on the emulated board with chips that hold still: after
// "Read Regs", every row of every page shows what `kestrova-cli --json read`
// reports for the same part, scenario and link.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

#include "form1.hpp"
#include "register_grid.hpp"
#include "widget_test_support.hpp"
#include "wrapping_tab_strip.hpp"

namespace kestrova::mainwindow {
namespace {

struct ShownRow {
  QString regAddr;
  QString regAttr;
  QString regName;
  QString regValue;  // empty when the row shows no register byte
  QString bits;      // the eight captions, bit 7 first
  QString bitValue;  // "-" when hidden
  QString units;
  QString combo;  // "-" when hidden
};

ShownRow RowTexts(RegisterGrid& grid, int r) {
  GridRow& row = grid.Row(r);
  ShownRow shown;
  shown.regAddr = row.regAddr->text().remove('\n');
  shown.regAttr = row.regAttr->text();
  shown.regName = row.regName->text();
  shown.regValue = row.regValue->isVisible() ? row.regValue->text() : QString();
  for (QLabel* cell : row.regBit) {
    shown.bits += cell->text();
  }
  shown.bitValue = row.bitValue->isVisible() ? row.bitValue->text() : "-";
  shown.units = row.units->isVisible() ? row.units->text() : QString();
  shown.combo = row.bitCombo->isVisible() ? row.bitCombo->currentText() : "-";
  return shown;
}

// The rows the tool's fields stand for, in panel order.
std::vector<ShownRow> ExpectedRows(const QJsonArray& registers) {
  std::vector<ShownRow> rows;
  for (const QJsonValue& reg : registers) {
    const QJsonObject r = reg.toObject();
    QMap<int, int> bytes;
    for (const QJsonValue& byte : r["bytes"].toArray()) {
      bytes[byte["address"].toInt()] = byte["value"].toInt();
    }
    int previousAddress = -1;
    for (const QJsonValue& value : r["fields"].toArray()) {
      const QJsonObject f = value.toObject();
      ShownRow row;
      const int address = f["readAddress"].toInt();
      if (address != previousAddress) {
        row.regAddr = f["caption"].toString();
        row.regValue = QString("%1").arg(bytes[address], 2, 16, QChar('0')).toUpper();
        row.bits = QString("%1").arg(bytes[address], 8, 2, QChar('0'));
      }
      previousAddress = address;
      row.regAttr = f["access"].toString();
      row.regName = f["label"].toString();
      const QString control = f["control"].toString();
      row.bitValue = control == "textbox" ? f["display"].toString() : "-";
      row.units = control == "textbox" ? f["units"].toString() : QString();
      row.combo = control == "combo" ? f["display"].toString() : "-";
      rows.push_back(row);
    }
  }
  return rows;
}

class PanelWiring : public ::testing::TestWithParam<const char*> {
 protected:
  static void SetUpTestSuite() { testing::EnsureApplication(); }

  // An empty program folder is seeded with the shipped parts.
  void SetUp() override { ASSERT_TRUE(home.isValid() && work.isValid()); }

  QJsonArray ToolRead(const char* device) {
    QProcess tool;
    tool.start(KESTROVA_BIN_DIR "/kestrova-cli",
               {"--home", home.path(), "--device", device, "--emulated-board", "--link", "usb",
                "--json", "read"});
    EXPECT_TRUE(tool.waitForFinished(30000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(tool.readAllStandardOutput()).object()["registers"].toArray();
  }

  QTemporaryDir home;
  QTemporaryDir work;
};

TEST_P(PanelWiring, EveryPageAfterReadRegsShowsWhatTheToolReads) {
  const QJsonArray registers = ToolRead(GetParam());
  ASSERT_FALSE(registers.isEmpty());

  Form1 window(testing::OnEmulatedBoard(home.path(), GetParam()));
  ASSERT_TRUE(window.Load());
  window.show();
  Form1Controls& controls = window.Controls();
  QTest::mouseClick(controls.readReg, Qt::LeftButton);

  std::vector<ShownRow> shown;
  QTabBar* groups = controls.groupTab;
  for (int g = 0; g < controls.regTab.size(); ++g) {
    if (groups->isVisible()) {
      QTest::mouseClick(groups, Qt::LeftButton, {}, groups->tabRect(g).center());
    }
    WrappingTabStrip* pages = controls.regTab[g];
    EXPECT_TRUE(pages->isVisible());
    for (int p = 0; p < pages->Count(); ++p) {
      QTest::mouseClick(pages, Qt::LeftButton, {}, pages->TabRect(p).center());
      for (int r = 0; r < 16 && controls.grid->Row(r).regName->isVisible(); ++r) {
        shown.push_back(RowTexts(*controls.grid, r));
      }
    }
  }
  const std::vector<ShownRow> expected = ExpectedRows(registers);
  ASSERT_EQ(shown.size(), expected.size());
  for (size_t i = 0; i < shown.size(); ++i) {
    SCOPED_TRACE(expected[i].regName.toStdString());
    EXPECT_EQ(shown[i].regName, expected[i].regName);
    EXPECT_EQ(shown[i].regAddr, expected[i].regAddr);
    // The panel shows the definition's `attr`; the tool fills in what a
    // field without one allows.
    if (!shown[i].regAttr.isEmpty()) {
      EXPECT_EQ(shown[i].regAttr, expected[i].regAttr);
    }
    EXPECT_EQ(shown[i].regValue, expected[i].regValue);
    if (!expected[i].bits.isEmpty()) {
      EXPECT_EQ(shown[i].bits, expected[i].bits);
    }
    EXPECT_EQ(shown[i].bitValue, expected[i].bitValue);
    EXPECT_EQ(shown[i].units, expected[i].units);
    EXPECT_EQ(shown[i].combo, expected[i].combo);
  }
}

// Save Reg from the window writes the file `kestrova-cli save` writes of
// the same chips.
TEST_F(PanelWiring, SaveRegWritesTheToolsDataFile) {
  Form1 window(testing::OnEmulatedBoard(home.path(), "demo"));
  ASSERT_TRUE(window.Load());
  QTest::mouseClick(window.Controls().readReg, Qt::LeftButton);  // the tool saves what it reads
  const QString fromWindow = work.filePath("window.dat");
  testing::OnNextModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    dialog->selectFile(fromWindow);
    static_cast<QDialog*>(dialog)->accept();
  });
  window.Controls().menu.saveReg->trigger();
  EXPECT_EQ(window.Controls().fileLabel->text(), "window.dat");

  QProcess tool;
  tool.start(KESTROVA_BIN_DIR "/kestrova-cli",
             {"--home", home.path(), "--device", "demo", "--emulated-board", "--link", "usb",
              "save", work.filePath("tool.dat")});
  ASSERT_TRUE(tool.waitForFinished(30000));
  ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
  QFile windowFile(fromWindow);
  QFile toolFile(work.filePath("tool.dat"));
  ASSERT_TRUE(windowFile.open(QIODevice::ReadOnly) && toolFile.open(QIODevice::ReadOnly));
  const QByteArray bytes = windowFile.readAll();
  EXPECT_GT(bytes.count("<reg "), 10);
  EXPECT_EQ(bytes, toolFile.readAll());
}

INSTANTIATE_TEST_SUITE_P(Parts, PanelWiring,
                         ::testing::Values("demo", "jc42-dimm-temperature-sensor"));

}  // namespace
}  // namespace kestrova::mainwindow
