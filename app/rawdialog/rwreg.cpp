#include "rawdialog/rwreg.hpp"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kestrova::rawdialog {

namespace {

constexpr int kByteDigits = 2;
constexpr int kWordDigits = 4;
constexpr int kAddressCaret = 2;

template <typename Widget>
Widget* Make(QWidget* parent, const char* name, const QString& text = {}) {
  auto* widget = new Widget(text, parent);
  widget->setObjectName(name);
  return widget;
}

QLineEdit* MakeBox(QWidget* parent, const char* name) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(name);
  box->setAlignment(Qt::AlignRight);
  return box;
}

std::string Text(const QLineEdit* box) {
  return box->text().toStdString();
}

}  // namespace

Rwreg::Rwreg(engine::Session& session, const QString& busAddress, QWidget* owner)
    : QDialog(owner), dialog_(session) {
  setObjectName("Rwreg");
  setWindowTitle("Read/Write Register");
  setModal(false);
  i2cBox_ = MakeBox(this, "I2CBox");
  addrBox_ = MakeBox(this, "AddrBox");
  valueBox_ = MakeBox(this, "ValueBoxHex");
  valueBox_->setMaxLength(kByteDigits);
  noAddr_ = Make<QCheckBox>(this, "NoAddr", "No Reg Addr");
  data16Bits_ = Make<QCheckBox>(this, "Data16Bits", "16 Bit Data R/W");
  repeat_ = Make<QCheckBox>(this, "Repeat", "Repeat R/W after incr addr");
  incrAddr_ = Make<QPushButton>(this, "IncrAddr", "Addr+1");
  readButton_ = Make<QPushButton>(this, "ReadButton", "Read");
  writeButton_ = Make<QPushButton>(this, "WriteButton", "Write");
  for (QPushButton* button : {incrAddr_, readButton_, writeButton_}) {
    button->setAutoDefault(false);  // Enter in a box is no click
  }

  auto* grid = new QGridLayout(this);
  const std::pair<const char*, const char*> labels[] = {
      {"I2CLabel", "I2C Addr"}, {"AddrLabel", "Reg Addr"}, {"ValueLabel", "Value"}};
  QLineEdit* boxes[] = {i2cBox_, addrBox_, valueBox_};
  for (int i = 0; i < 3; ++i) {
    grid->addWidget(Make<QLabel>(this, labels[i].first, labels[i].second), i, 0);
    grid->addWidget(boxes[i], i, 1);
    QLabel* hex = Make<QLabel>(this, "HexLabel", "h");
    hex->setProperty("index", i);
    grid->addWidget(hex, i, 2);
  }
  grid->addWidget(noAddr_, 0, 3);
  grid->addWidget(data16Bits_, 1, 3);
  grid->addWidget(repeat_, 2, 3);
  grid->addWidget(incrAddr_, 3, 0);
  grid->addWidget(readButton_, 3, 1);
  grid->addWidget(writeButton_, 3, 3);

  for (QLineEdit* box : boxes) {
    const bool caret = box != valueBox_;
    connect(box, &QLineEdit::textEdited, this, [this, box, caret] { Typed(box, caret); });
    connect(box, &QLineEdit::editingFinished, this, [box] {
      box->setText(QString::fromStdString(frontend::RawLeadingZerosRemoved(Text(box))));
    });
  }
  connect(noAddr_, &QCheckBox::clicked, this, &Rwreg::NoAddressClicked);
  connect(data16Bits_, &QCheckBox::clicked, this, &Rwreg::SixteenBitsClicked);
  connect(readButton_, &QPushButton::clicked, this, &Rwreg::Read);
  connect(writeButton_, &QPushButton::clicked, this, &Rwreg::Write);
  connect(incrAddr_, &QPushButton::clicked, this, &Rwreg::IncrementAddress);

  i2cBox_->setText(busAddress);
  addrBox_->setText("0");
}

frontend::RawInput Rwreg::Input() const {
  return {Text(i2cBox_),        Text(addrBox_),           Text(valueBox_),
          noAddr_->isChecked(), data16Bits_->isChecked(), repeat_->isChecked()};
}

void Rwreg::Typed(QLineEdit* box, bool caretAtTwo) {
  const QString kept = QString::fromStdString(frontend::RawTypedText(Text(box)));
  if (kept != box->text()) {
    const int caret = box->cursorPosition();
    box->setText(kept);
    box->setCursorPosition(caret);
  }
  if (caretAtTwo) {
    box->setCursorPosition(kAddressCaret);
  }
}

void Rwreg::NoAddressClicked(bool ticked) {
  addrBox_->setText(ticked ? "" : "0");
  addrBox_->setEnabled(!ticked);
  incrAddr_->setEnabled(!ticked);
}

void Rwreg::SixteenBitsClicked(bool ticked) {
  valueBox_->setMaxLength(ticked ? kWordDigits : kByteDigits);
  if (ticked) {
    valueBox_->setCursorPosition(kWordDigits);
  } else {
    valueBox_->setSelection(0, kByteDigits);
  }
}

void Rwreg::Read() {
  valueBox_->clear();
  valueBox_->setText(QString::fromStdString(dialog_.Read(Input())));
}

void Rwreg::Write() {
  dialog_.Write(Input());
}

void Rwreg::IncrementAddress() {
  addrBox_->setText(
      QString::fromStdString(frontend::RawRegisterDialog::NextRegisterAddress(Text(addrBox_))));
  switch (dialog_.RepeatAfterIncrement(Input())) {
    case frontend::RawRegisterDialog::Repeat::Write:
      writeButton_->setFocus();
      Write();
      break;
    case frontend::RawRegisterDialog::Repeat::Read:
      readButton_->setFocus();
      Read();
      break;
    case frontend::RawRegisterDialog::Repeat::None:
      break;
  }
}

}  // namespace kestrova::rawdialog
