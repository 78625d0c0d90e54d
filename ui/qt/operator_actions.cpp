#include "ui/qt/operator_actions.h"

#include "station/file_panel.h"
#include "station/listener.h"
#include "station/main_panel.h"
#include "station/options.h"
#include "station/platform_menu.h"
#include "station/startup.h"
#include "station/station_state.h"

namespace {

using host::Control;

// The main panel's controls answer only while the file panel is hidden; the file panel's only
// while it is shown. Nothing answers once the station has begun to close.
bool mainPanelAnswers() {
  return stationRunning() && !mainPanel().filePanelShown();
}

bool filePanelAnswers() {
  return stationRunning() && mainPanel().filePanelShown();
}

}  // namespace

void OperatorActions::triggerItem(Control item) {
  submit([item] {
    if (!mainPanelAnswers() || !mainPanel().usable(item)) return;
    if (item == Control::Start || item == Control::Stop) {
      fnListenerCB(item == Control::Start ? ListenerItem::Start : ListenerItem::Stop);
    } else if (platformMenuItem(item)) {
      fnSelectPlatformCB(item);
    }
  });
}

void OperatorActions::clickBox(Control box, bool checked) {
  submit([box, checked] {
    if (!mainPanelAnswers() || !mainPanel().usable(box)) return;
    switch (box) {
      case Control::BackupRestoreQcn:
        fnBackupQcn(checked);
        break;
      case Control::OnlyAp:
        fnOnlyAP(checked);
        break;
      case Control::OnlyQcn:
        fnOnlyQCN(checked);
        break;
      default:
        break;
    }
  });
}

void OperatorActions::triggerHelp() {
  submit([] {
    if (mainPanelAnswers()) fnMenuAboutHlpCB();
  });
}

void OperatorActions::closeMainPanel() {
  submit([] {
    if (mainPanelAnswers()) panelCB(kPanelCloseEvent);
  });
}

void OperatorActions::clickFileCell(int row, int column) {
  submit([row, column] {
    if (filePanelAnswers() && gFileTable.hasRow(row)) TableCB(row, column);
  });
}

void OperatorActions::closeFilePanel() {
  submit([] {
    if (filePanelAnswers()) FilePanelQuit();
  });
}

void OperatorActions::submit(std::function<void()> action) {
  pending_.push_back(std::move(action));
  ++queuedCalls_;
  QMetaObject::invokeMethod(
      &context_,
      [this] {
        --queuedCalls_;
        drain();
      },
      Qt::QueuedConnection);
}

void OperatorActions::drain() {
  // An action that waits (Stop, a dialog) lets the window run; clicks made meanwhile queue up
  // behind it instead of running inside it.
  if (running_) return;
  running_ = true;
  while (!pending_.empty()) {
    std::function<void()> action = std::move(pending_.front());
    pending_.pop_front();
    action();
  }
  running_ = false;
}
