#include "plot_select.hpp"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabBar>

namespace kestrova::plotwindow {

namespace {

// The check boxes stand in two columns of 16.
constexpr int kRowsPerColumn = 16;

QString FromDefinition(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString FromCaption(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

PlotSelect::PlotSelect(continuous::PlotSelection& selection, markup::MessageBox& messages,
                       QWidget* parent)
    : QDialog(parent),
      model_(selection, messages),
      regTab_(new QTabBar(this)),
      enableDisable_(new QPushButton(this)),
      delete_(new QPushButton(FromCaption("Delete Plot"), this)) {
  setObjectName("PlotSelect");
  setWindowTitle(FromCaption(continuous::kPlotSelectCaption));
  regTab_->setObjectName("RegTab");
  enableDisable_->setObjectName("EnableDisableButton");
  delete_->setObjectName("DeleteButton");

  auto* layout = new QGridLayout(this);
  layout->addWidget(regTab_, 0, 0, 1, 4);
  auto* boxes = new QGridLayout();
  for (int i = 0; i < continuous::kPlotSelectCheckBoxes; ++i) {
    auto* check = new QCheckBox(this);
    check->setObjectName("RegCheck");
    check->setProperty("index", i);
    auto* label = new QLabel(this);
    label->setObjectName("RegLabel");
    label->setProperty("index", i);
    boxes->addWidget(check, i % kRowsPerColumn, (i / kRowsPerColumn) * 2);
    boxes->addWidget(label, i % kRowsPerColumn, (i / kRowsPerColumn) * 2 + 1);
    regCheck_[static_cast<std::size_t>(i)] = check;
    regLabel_[static_cast<std::size_t>(i)] = label;
    connect(check, &QCheckBox::toggled, this,
            [this, i](bool ticked) { model_.CheckClicked(i, ticked); });
  }
  layout->addLayout(boxes, 1, 0, 1, 4);

  const auto addButton = [&](const char* name, const char* caption, int row, int column,
                             auto action) {
    auto* button = new QPushButton(FromCaption(caption), this);
    button->setObjectName(name);
    layout->addWidget(button, row, column);
    connect(button, &QPushButton::clicked, this, action);
    return button;
  };
  addButton("SelectAllButton", "Select All", 2, 0, [this] {
    model_.SelectAll();
    ShowPlot();
  });
  addButton("SelectNoneButton", "Select None", 2, 1, [this] {
    model_.SelectNone();
    ShowPlot();
  });
  layout->addWidget(enableDisable_, 2, 2);
  connect(enableDisable_, &QPushButton::clicked, this, [this] {
    model_.EnableDisable();
    ShowPlot();
  });
  layout->addWidget(delete_, 3, 0);
  connect(delete_, &QPushButton::clicked, this, [this] {
    model_.Delete();
    FillTabs();
  });
  addButton("AddButton", "Add Plot", 3, 1, [this] {
    model_.Add();
    FillTabs();
  });
  addButton("ExitButton", "Exit", 3, 3, [this] { close(); });
  connect(regTab_, &QTabBar::currentChanged, this, [this](int tab) {
    model_.SelectTab(tab);
    ShowPlot();
  });

  model_.Load();
  FillTabs();
}

void PlotSelect::FillTabs() {
  {
    const QSignalBlocker blocker(regTab_);
    while (regTab_->count() > 0) {
      regTab_->removeTab(0);
    }
    for (const std::string& units : model_.Tabs()) {
      regTab_->addTab(FromDefinition(units));
    }
    regTab_->setCurrentIndex(model_.CurrentPlot());
  }
  ShowPlot();
}

void PlotSelect::ShowPlot() {
  const bool enabled = model_.CheckBoxesEnabled();
  for (int i = 0; i < continuous::kPlotSelectCheckBoxes; ++i) {
    QCheckBox* check = regCheck_[static_cast<std::size_t>(i)];
    QLabel* label = regLabel_[static_cast<std::size_t>(i)];
    const bool shown = i < model_.CheckBoxCount();
    const QSignalBlocker blocker(check);
    check->setVisible(shown);
    check->setEnabled(shown && enabled);
    check->setChecked(shown && model_.Checked(i));
    label->setVisible(shown);
    label->setEnabled(shown && enabled);
    label->setText(shown ? FromDefinition(model_.Label(i)) : QString());
  }
  delete_->setEnabled(model_.DeleteEnabled());
  enableDisable_->setText(FromCaption(model_.EnableDisableCaption()));
}

void PlotSelect::done(int result) {
  if (!closed_) {
    closed_ = true;
    model_.Close();
  }
  QDialog::done(result);
}

}  // namespace kestrova::plotwindow
