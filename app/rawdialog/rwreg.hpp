#pragma once
// `Rwreg`, "Read/Write Register": one register of any bus address read or
// written directly, outside the part's definition. Not modal; the main
// window owns it. Every control carries its name as objectName.

#include <QDialog>

#include "frontend/raw_register.hpp"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace kestrova::engine {
class Session;
}

namespace kestrova::rawdialog {

class Rwreg : public QDialog {
  Q_OBJECT

 public:
  // `busAddress`: the main window's chip address, the bus address to start with.
  Rwreg(engine::Session& session, const QString& busAddress, QWidget* owner);

  void Read();
  void Write();
  void IncrementAddress();

 private:
  frontend::RawInput Input() const;
  // What a keystroke leaves in a box; the address boxes put the caret at 2.
  void Typed(QLineEdit* box, bool caretAtTwo);
  void NoAddressClicked(bool ticked);
  void SixteenBitsClicked(bool ticked);

  frontend::RawRegisterDialog dialog_;
  QLineEdit* i2cBox_ = nullptr;
  QLineEdit* addrBox_ = nullptr;
  QLineEdit* valueBox_ = nullptr;
  QCheckBox* noAddr_ = nullptr;
  QCheckBox* data16Bits_ = nullptr;
  QCheckBox* repeat_ = nullptr;
  QPushButton* incrAddr_ = nullptr;
  QPushButton* readButton_ = nullptr;
  QPushButton* writeButton_ = nullptr;
};

}  // namespace kestrova::rawdialog
