#pragma once
// The firmware file panel: a modal window with the firmware table. Each row has its label (the
// row header), its path (column 1) and a "..." cell (column 2) that chooses the entry; rows the
// platform checked are coloured. The panel never closes by itself: its close control (the
// window's close button, Escape or Close) asks the station, which hides it.

#include <QDialog>
#include <functional>
#include <vector>

#include "host/file_table.h"

class QTableWidget;
class QPushButton;

class FilePanelDialog : public QDialog {
 public:
  explicit FilePanelDialog(QWidget* parent = nullptr);

  // Called with the 1-based row and column of a clicked cell, and on the close control.
  void setHandlers(std::function<void(int row, int column)> cellClicked,
                   std::function<void()> closeRequested);

  void setRows(const std::vector<host::FileRow>& rows);
  // Shows the panel modal, centred on the screen, or hides it.
  void showPanel(bool visible);

  QTableWidget& table() const { return *table_; }
  QPushButton& closeButton() const { return *close_; }

  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QTableWidget* table_;
  QPushButton* close_;
  std::function<void(int, int)> cellClicked_;
  std::function<void()> closeRequested_;
};
