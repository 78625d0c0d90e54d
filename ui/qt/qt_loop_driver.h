#pragma once
// Drives the station's UI loop (host::EventLoop) from Qt's event loop on the GUI thread: work
// posted to the UI loop and its due timers are processed as queued Qt calls, the station's
// main loop is a Qt event loop, and a wait on the UI thread (Stop waiting for a worker) runs a
// nested Qt loop so that the window keeps drawing and answering while it waits.

#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>
#include <vector>

#include "host/event_loop.h"

class QtLoopDriver : public host::EventLoopDriver {
 public:
  // Created on the GUI thread; drives `loop` once installed with loop.setDriver(this).
  explicit QtLoopDriver(host::EventLoop& loop);
  ~QtLoopDriver() override;

  void wake() override;
  void run() override;
  void quit() override;
  bool runNested(const std::function<bool()>& done) override;

  // How many nested waits are running now (GUI thread).
  int nestedDepth() const { return static_cast<int>(waits_.size()); }

 private:
  struct NestedWait {
    const std::function<bool()>* done;
    QEventLoop* loop;
  };

  // On the GUI thread: runs the UI loop's tasks and due timers, arms the timer for the next
  // one, and ends the innermost nested wait once its condition holds.
  void processDue();

  host::EventLoop& loop_;
  QObject context_;  // lives on the GUI thread; queued calls target it
  QTimer timer_;
  std::atomic<bool> wakePending_{false};
  QEventLoop* mainLoop_ = nullptr;
  bool quitRequested_ = false;
  std::vector<NestedWait> waits_;
};
