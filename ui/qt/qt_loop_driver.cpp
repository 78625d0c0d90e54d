#include "ui/qt/qt_loop_driver.h"

#include <QCoreApplication>
#include <QThread>

QtLoopDriver::QtLoopDriver(host::EventLoop& loop) : loop_(loop) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, &context_, [this] { processDue(); });
}

QtLoopDriver::~QtLoopDriver() = default;

void QtLoopDriver::wake() {
  // One queued call at a time is enough: it processes everything that is due when it runs.
  if (wakePending_.exchange(true)) return;
  QMetaObject::invokeMethod(
      &context_, [this] { processDue(); }, Qt::QueuedConnection);
}

void QtLoopDriver::processDue() {
  wakePending_ = false;
  const int64_t nextTimerMs = loop_.processPending();
  if (nextTimerMs < 0) {
    timer_.stop();
  } else {
    timer_.start(static_cast<int>(std::min<int64_t>(nextTimerMs, 24 * 3600 * 1000)));
  }
  // Only the innermost wait can return now; an outer one re-checks when the inner one ends.
  if (!waits_.empty() && (*waits_.back().done)()) waits_.back().loop->exit(0);
}

void QtLoopDriver::run() {
  if (quitRequested_) {
    quitRequested_ = false;
    return;
  }
  QEventLoop main;
  mainLoop_ = &main;
  wake();  // whatever was posted and started before the loop runs
  main.exec();
  mainLoop_ = nullptr;
  quitRequested_ = false;
}

void QtLoopDriver::quit() {
  if (QThread::currentThread() != context_.thread()) {
    QMetaObject::invokeMethod(
        &context_, [this] { quit(); }, Qt::QueuedConnection);
    return;
  }
  // Only the station's own loop ends; a nested wait that runs above it finishes first.
  if (mainLoop_) {
    mainLoop_->exit(0);
  } else {
    quitRequested_ = true;
  }
}

bool QtLoopDriver::runNested(const std::function<bool()>& done) {
  if (done()) return true;
  QEventLoop nested;
  waits_.push_back({&done, &nested});
  wake();  // re-checks `done` from inside the nested loop, after what is pending
  bool nestable = true;
  while (!done()) {
    // exec() refuses (-1) while the application is quitting; the caller then waits by itself.
    if (nested.exec() < 0) {
      nestable = false;
      break;
    }
  }
  waits_.pop_back();
  return nestable || done();
}
