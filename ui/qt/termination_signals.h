#pragma once
// SIGINT, SIGTERM and SIGHUP close the station as the window's close control does, so that its
// shutdown runs (workers stopped, its own child processes ended) instead of the process
// vanishing mid-download. The signal only writes to a pipe; the close runs on the GUI thread.

#include <functional>
#include <memory>

class QSocketNotifier;

class TerminationSignals {
 public:
  // Installs the handlers; `onSignal` runs on the GUI thread after a signal arrived. Only one
  // instance may exist at a time.
  explicit TerminationSignals(std::function<void()> onSignal);
  ~TerminationSignals();
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

 private:
  std::function<void()> onSignal_;
  std::unique_ptr<QSocketNotifier> notifier_;
};
