#pragma once
// The station's main panel: the menu bar (platform menu with its six items, Start, Stop,
// Help), the version, firmware folder and qmbn texts, the three option boxes and the DUT rows.
// The window shows the state the station gives its controls; the operator's clicks are handed
// on untouched (a box or item never changes by itself, only when the station says so).

#include <QMainWindow>
#include <array>
#include <functional>
#include <vector>

#include "host/operator_surface.h"

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QVBoxLayout;
class DutRow;

class MainWindow : public QMainWindow {
 public:
  struct Handlers {
    // Start, Stop or a platform item was chosen.
    std::function<void(host::Control)> itemTriggered;
    // An option box was clicked; `checked` is the value the operator asked for.
    std::function<void(host::Control, bool checked)> boxClicked;
    std::function<void()> helpTriggered;
    std::function<void()> closeRequested;
  };

  explicit MainWindow(QWidget* parent = nullptr);

  void setHandlers(Handlers handlers) { handlers_ = std::move(handlers); }

  void applyControl(host::Control control, const host::ControlState& state);
  void setControlLabel(host::Control control, const QString& label);
  void setVersionText(const QString& text);
  void setFolderText(const QString& text);
  void setQmbnText(const QString& text);

  // The DUT rows: one per slot the station runs (1 to 8), DUT 1's first.
  void setDutCount(int count);
  int dutCount() const { return static_cast<int>(dutRows_.size()); }
  DutRow& dutRow() const { return *dutRows_.front(); }
  // The row of DUT `dut` (1-based); null for a DUT the panel does not show.
  DutRow* dutRowOf(int dut) const;

  // The widgets, for checks and screenshots. Null for a control of another kind.
  QCheckBox* optionBox(host::Control control) const;
  QAction* menuAction(host::Control control) const;
  QMenu& platformMenu() const { return *platformMenu_; }
  QAction& helpAction() const { return *help_; }
  QString versionText() const;
  QString folderText() const;
  QString qmbnText() const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildMenus();
  QWidget* buildPanel();
  // Puts a widget back to the station's state after Qt changed it on a click.
  void restore(host::Control control);

  Handlers handlers_;
  std::array<host::ControlState, host::kControlCount> states_{};
  QMenu* platformMenu_ = nullptr;
  std::array<QAction*, host::kControlCount> actions_{};
  std::array<QCheckBox*, host::kControlCount> boxes_{};
  QAction* help_ = nullptr;
  QLabel* version_ = nullptr;
  QLabel* folder_ = nullptr;
  QLabel* qmbn_ = nullptr;
  QWidget* options_ = nullptr;  // the option boxes' frame, hidden while every box is
  QVBoxLayout* rows_ = nullptr;
  std::vector<DutRow*> dutRows_;
};
