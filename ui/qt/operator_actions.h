#pragma once
// The operator's clicks, carried out by the station one after another on the GUI thread.
// A click is queued and runs after the signal that reported it has returned, so the station
// may rebuild the widget that was clicked. A click that arrives while an action still runs
// (Stop keeps the window alive while it waits for a worker) waits until that action has
// finished, as it would in the station's own event loop. When an action runs, it is checked
// again against the panel as it then is: a control that has become hidden or dimmed, the main
// panel while the modal file panel is shown, or the file panel while it is hidden, do nothing.

#include <QObject>
#include <deque>
#include <functional>

#include "host/operator_surface.h"

class OperatorActions {
 public:
  // Main panel.
  void triggerItem(host::Control item);  // Start, Stop or a platform item
  void clickBox(host::Control box, bool checked);
  void triggerHelp();
  void closeMainPanel();

  // File panel: a click on cell (row, column), both counted from 1, and the close control.
  void clickFileCell(int row, int column);
  void closeFilePanel();

  // True while an action runs or waits to run.
  bool busy() const { return running_ || !pending_.empty() || queuedCalls_ > 0; }

 private:
  void submit(std::function<void()> action);
  void drain();

  QObject context_;
  std::deque<std::function<void()>> pending_;
  bool running_ = false;
  int queuedCalls_ = 0;
};
