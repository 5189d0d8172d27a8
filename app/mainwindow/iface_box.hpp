#pragma once
// `IfaceBox`: the hardware choice. One radio button per hardware entry of the
// part (room for four), "Another Device" and "OK". `SelectedIndex` is the
// chosen entry, or -1 when the user asked for another device or closed the
// dialog from its frame.

#include <QDialog>
#include <QStringList>
#include <array>

class QLabel;
class QPushButton;
class QRadioButton;

namespace kestrova::mainwindow {

class IfaceBox : public QDialog {
  Q_OBJECT
  Q_PROPERTY(int SelectedIndex READ SelectedIndex WRITE SetSelectedIndex)

 public:
  static constexpr int kRadioCount = 4;
  static constexpr int kAnotherDevice = -1;

  explicit IfaceBox(QWidget* parent = nullptr);

  // Shows one radio button per caption (the first four), `selected` set.
  void SetChoices(const QStringList& captions, int selected);
  int SelectedIndex() const { return selectedIndex_; }
  void SetSelectedIndex(int index);

  // Runs the dialog modally and returns SelectedIndex.
  int Choose();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::array<QRadioButton*, kRadioCount> radios_{};
  QPushButton* anotherDevice_ = nullptr;
  QPushButton* ok_ = nullptr;
  int selectedIndex_ = 0;
};

}  // namespace kestrova::mainwindow
