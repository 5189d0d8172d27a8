#include "iface_box.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kestrova::mainwindow {

IfaceBox::IfaceBox(QWidget* parent) : QDialog(parent) {
  setObjectName("IfaceBox");
  setWindowTitle("Select Hardware");
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* prompt = new QLabel("Select the desired hardware", this);
  prompt->setObjectName("Label1");
  layout->addWidget(prompt);
  for (int index = 0; index < kRadioCount; ++index) {
    auto* radio = new QRadioButton(this);
    radio->setObjectName("IfaceRadio");
    radio->setProperty("index", index);
    radio->hide();
    connect(radio, &QRadioButton::clicked, this, [this, index] { selectedIndex_ = index; });
    layout->addWidget(radio);
    radios_[static_cast<size_t>(index)] = radio;
  }
  auto* buttons = new QHBoxLayout;
  anotherDevice_ = new QPushButton("Another Device", this);
  anotherDevice_->setObjectName("AnotherDeviceButton");
  anotherDevice_->setAutoDefault(false);
  ok_ = new QPushButton("OK", this);
  ok_->setObjectName("OKButton");
  ok_->setDefault(true);
  buttons->addWidget(anotherDevice_);
  buttons->addStretch();
  buttons->addWidget(ok_);
  layout->addLayout(buttons);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(anotherDevice_, &QPushButton::clicked, this, [this] {
    selectedIndex_ = kAnotherDevice;
    accept();
  });
  // The frame's close box and Escape reject the dialog: another device.
  connect(this, &QDialog::rejected, this, [this] { selectedIndex_ = kAnotherDevice; });
}

void IfaceBox::SetChoices(const QStringList& captions, int selected) {
  for (int index = 0; index < kRadioCount; ++index) {
    QRadioButton* radio = radios_[static_cast<size_t>(index)];
    const bool used = index < captions.size();
    radio->setText(used ? captions[index] : QString());
    radio->setVisible(used);
  }
  SetSelectedIndex(selected);
}

void IfaceBox::SetSelectedIndex(int index) {
  selectedIndex_ = index;
  if (index >= 0 && index < kRadioCount) {
    radios_[static_cast<size_t>(index)]->setChecked(true);
  }
}

int IfaceBox::Choose() {
  exec();
  return selectedIndex_;
}

void IfaceBox::showEvent(QShowEvent* event) {
  // Opened after "Another Device": the first entry is chosen again.
  if (selectedIndex_ == kAnotherDevice) {
    SetSelectedIndex(0);
  }
  QDialog::showEvent(event);
}

}  // namespace kestrova::mainwindow
