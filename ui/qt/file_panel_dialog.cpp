#include "ui/qt/file_panel_dialog.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ui/qt/qt_text.h"

FilePanelDialog::FilePanelDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Firmware Files");
  setModal(true);
  setWindowModality(Qt::ApplicationModal);
  resize(820, 460);

  auto* hint = new QLabel(
      "Click \"...\" to choose the firmware folder (first row) or a file; close to save.", this);
  hint->setStyleSheet("color: #505050;");

  table_ = new QTableWidget(0, 2, this);
  table_->setHorizontalHeaderLabels({"Path", ""});
  table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Fixed);
  table_->setColumnWidth(1, 44);
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
  table_->verticalHeader()->setStyleSheet("QHeaderView::section { padding: 0 8px; }");
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionMode(QAbstractItemView::NoSelection);
  table_->setFocusPolicy(Qt::NoFocus);
  table_->setTextElideMode(Qt::ElideMiddle);
  table_->setWordWrap(false);
  table_->setShowGrid(true);

  close_ = new QPushButton("Close", this);
  close_->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(close_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(hint);
  layout->addWidget(table_, 1);
  layout->addLayout(buttons);

  connect(table_, &QTableWidget::cellClicked, this, [this](int row, int column) {
    if (cellClicked_) cellClicked_(row + 1, column + 1);
  });
  connect(close_, &QPushButton::clicked, this, [this] {
    if (closeRequested_) closeRequested_();
  });
}

void FilePanelDialog::setHandlers(std::function<void(int, int)> cellClicked,
                                  std::function<void()> closeRequested) {
  cellClicked_ = std::move(cellClicked);
  closeRequested_ = std::move(closeRequested);
}

void FilePanelDialog::setRows(const std::vector<host::FileRow>& rows) {
  table_->setRowCount(static_cast<int>(rows.size()));
  QStringList labels;
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    const host::FileRow& row = rows[i];
    labels << toQt(row.label);
    auto* path = new QTableWidgetItem(toQt(row.path));
    path->setToolTip(toQt(row.path));
    auto* choose = new QTableWidgetItem("...");
    choose->setTextAlignment(Qt::AlignCenter);
    choose->setToolTip(i == 0 ? "Choose the firmware folder" : "Choose the file");
    QFont bold = choose->font();
    bold.setBold(true);
    choose->setFont(bold);
    if (row.colour) {
      path->setBackground(toQColor(*row.colour));
      choose->setBackground(toQColor(*row.colour));
    }
    table_->setItem(i, 0, path);
    table_->setItem(i, 1, choose);
  }
  table_->setVerticalHeaderLabels(labels);
}

void FilePanelDialog::showPanel(bool visible) {
  if (!visible) {
    hide();
    return;
  }
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  show();
  raise();
  activateWindow();
}

void FilePanelDialog::reject() {
  // Escape: the station decides whether and when the panel closes.
  if (closeRequested_) closeRequested_();
}

void FilePanelDialog::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (closeRequested_) closeRequested_();
}
