#include "ui/qt/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/qt/dut_row.h"

namespace {

using host::Control;

size_t indexOf(Control control) {
  return static_cast<size_t>(control);
}

// The platform items in menu order.
constexpr Control kPlatformItems[] = {Control::Qca6270, Control::Qca6695, Control::Qca9206,
                                      Control::Qca9x15, Control::Qca9x07, Control::Qca8909};

QLabel* fieldName(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setStyleSheet("color: #505050;");
  return label;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle("Zendral");
  buildMenus();
  setCentralWidget(buildPanel());
  resize(760, sizeHint().height());
}

void MainWindow::buildMenus() {
  QMenuBar* bar = menuBar();
  platformMenu_ = bar->addMenu("&Platform");
  for (Control item : kPlatformItems) {
    QAction* action = platformMenu_->addAction(host::controlName(item));
    action->setCheckable(true);
    actions_[indexOf(item)] = action;
  }
  actions_[indexOf(Control::PlatformMenu)] = platformMenu_->menuAction();
  actions_[indexOf(Control::Start)] = bar->addAction("&Start");
  actions_[indexOf(Control::Stop)] = bar->addAction("S&top");
  help_ = bar->addAction("&Help");

  for (Control item : {Control::Start, Control::Stop, Control::Qca6270, Control::Qca6695,
                       Control::Qca9206, Control::Qca9x15, Control::Qca9x07, Control::Qca8909}) {
    connect(actions_[indexOf(item)], &QAction::triggered, this, [this, item] {
      restore(item);
      if (handlers_.itemTriggered) handlers_.itemTriggered(item);
    });
  }
  connect(help_, &QAction::triggered, this, [this] {
    if (handlers_.helpTriggered) handlers_.helpTriggered();
  });
}

QWidget* MainWindow::buildPanel() {
  auto* panel = new QWidget(this);

  version_ = new QLabel(panel);
  QFont versionFont = version_->font();
  versionFont.setPointSizeF(versionFont.pointSizeF() * 1.5);
  versionFont.setBold(true);
  version_->setFont(versionFont);

  folder_ = new QLabel(panel);
  folder_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  qmbn_ = new QLabel(panel);
  qmbn_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* texts = new QGridLayout;
  texts->addWidget(fieldName("Firmware folder:", panel), 0, 0);
  texts->addWidget(folder_, 0, 1);
  texts->addWidget(fieldName("Qmbn file:", panel), 1, 0);
  texts->addWidget(qmbn_, 1, 1);
  texts->setColumnStretch(1, 1);

  auto* options = new QGroupBox("Options", panel);
  options_ = options;
  auto* optionRow = new QHBoxLayout(options);
  const std::pair<Control, const char*> kBoxes[] = {
      {Control::BackupRestoreQcn, "QCN Backup And Recovery"},
      {Control::OnlyAp, "Only AP"},
      {Control::OnlyQcn, "Only QCN"},
  };
  for (const auto& [control, label] : kBoxes) {
    auto* box = new QCheckBox(label, options);
    boxes_[indexOf(control)] = box;
    optionRow->addWidget(box);
    connect(box, &QCheckBox::clicked, this, [this, control = control](bool checked) {
      restore(control);
      if (handlers_.boxClicked) handlers_.boxClicked(control, checked);
    });
  }
  optionRow->addStretch(1);

  rows_ = new QVBoxLayout;
  dutRows_.push_back(new DutRow(1, panel));
  rows_->addWidget(dutRows_.front());

  auto* layout = new QVBoxLayout(panel);
  layout->addWidget(version_);
  layout->addLayout(texts);
  layout->addWidget(options);
  layout->addLayout(rows_);
  layout->addStretch(1);
  return panel;
}

void MainWindow::setDutCount(int count) {
  count = std::clamp(count, 1, 8);
  while (dutCount() > count) {
    delete dutRows_.back();
    dutRows_.pop_back();
  }
  while (dutCount() < count) {
    dutRows_.push_back(new DutRow(dutCount() + 1, centralWidget()));
    rows_->addWidget(dutRows_.back());
  }
}

DutRow* MainWindow::dutRowOf(int dut) const {
  return dut >= 1 && dut <= dutCount() ? dutRows_[static_cast<size_t>(dut - 1)] : nullptr;
}

void MainWindow::applyControl(Control control, const host::ControlState& state) {
  states_[indexOf(control)] = state;
  restore(control);
}

void MainWindow::restore(Control control) {
  const host::ControlState& state = states_[indexOf(control)];
  if (QCheckBox* box = boxes_[indexOf(control)]) {
    QSignalBlocker quiet(box);
    box->setVisible(state.visible);
    box->setEnabled(!state.dimmed);
    box->setChecked(state.checked);
    bool anyVisible = false;
    for (Control other : {Control::BackupRestoreQcn, Control::OnlyAp, Control::OnlyQcn}) {
      anyVisible = anyVisible || states_[indexOf(other)].visible;
    }
    options_->setVisible(anyVisible);
  } else if (QAction* action = actions_[indexOf(control)]) {
    QSignalBlocker quiet(action);
    action->setVisible(state.visible);
    action->setEnabled(!state.dimmed);
    if (action->isCheckable()) action->setChecked(state.checked);
  }
}

void MainWindow::setControlLabel(Control control, const QString& label) {
  if (QCheckBox* box = boxes_[indexOf(control)]) {
    box->setText(label);
  } else if (QAction* action = actions_[indexOf(control)]) {
    action->setText(label);
  }
}

void MainWindow::setVersionText(const QString& text) {
  version_->setText(text);
}

void MainWindow::setFolderText(const QString& text) {
  folder_->setText(text);
}

void MainWindow::setQmbnText(const QString& text) {
  qmbn_->setText(text);
}

QCheckBox* MainWindow::optionBox(Control control) const {
  return boxes_[indexOf(control)];
}

QAction* MainWindow::menuAction(Control control) const {
  return actions_[indexOf(control)];
}

QString MainWindow::versionText() const {
  return version_->text();
}

QString MainWindow::folderText() const {
  return folder_->text();
}

QString MainWindow::qmbnText() const {
  return qmbn_->text();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // The station ends its loop and shuts down first; the window goes when it is done.
  event->ignore();
  if (handlers_.closeRequested) handlers_.closeRequested();
}
