// Form1: the commands of the File and Help menus that are the window's own
// (Open Reg, Save Reg, View Log, Write/Read Reg, Exit, Manual, About).
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>

#include "continuous/continuous_read.hpp"
#include "form1.hpp"
#include "frontend/menu_commands.hpp"
#include "frontend/register_data_commands.hpp"
#include "rawdialog/rwreg.hpp"

namespace kestrova::mainwindow {

void Form1::WireMenuCommands() {
  const MenuEntries& menu = controls_.menu;
  for (QAction* entry :
       {menu.openReg, menu.saveReg, menu.viewLog, menu.writeReadReg, menu.manual, menu.about}) {
    entry->setEnabled(true);
  }
  connect(menu.openReg, &QAction::triggered, this,
          [this] { frontend::OpenRegCommand(start_, controls_.menu.saveReg->isVisible()); });
  connect(menu.saveReg, &QAction::triggered, this, [this] { frontend::SaveRegCommand(start_); });
  connect(menu.viewLog, &QAction::triggered, this,
          [this] { frontend::ViewLogCommand(*this, LogFileName()); });
  connect(menu.writeReadReg, &QAction::triggered, this, &Form1::ShowRawDialog);
  connect(menu.exit, &QAction::triggered, this, &QWidget::close);
  connect(menu.manual, &QAction::triggered, this,
          [this] { frontend::ManualCommand(*this, start_.settings.manualFileName); });
  connect(menu.about, &QAction::triggered, this, &Form1::ShowAbout);
}

std::string& Form1::LogFileName() {
  return start_.continuousState != nullptr ? start_.continuousState->logFileName
                                           : start_.settings.logFileName;
}

void Form1::ShowAbout() {
  const QFileInfo guide(QString::fromStdString(start_.settings.manualFileName));
  const std::string date = guide.exists()
                               ? QLocale::system()
                                     .toString(guide.lastModified().date(), QLocale::ShortFormat)
                                     .toStdString()
                               : std::string();
  Show(frontend::AboutText(QCoreApplication::applicationVersion().toStdString(), date),
       markup::MB_OK);
}

rawdialog::Rwreg* Form1::RawDialog() {
  return rwreg_;
}

void Form1::ShowRawDialog() {
  if (rwreg_ == nullptr) {
    rwreg_ = new rawdialog::Rwreg(session_, controls_.ifaceAddrCombo->currentText(), this);
    rwreg_->setAttribute(Qt::WA_DeleteOnClose);
  }
  rwreg_->show();
  rwreg_->raise();
  rwreg_->activateWindow();
}

}  // namespace kestrova::mainwindow
