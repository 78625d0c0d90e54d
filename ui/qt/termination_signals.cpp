#include "ui/qt/termination_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
int gSignalPipe[2] = {-1, -1};
struct sigaction gPrevious[std::size(kSignals)];

extern "C" void onTerminationSignal(int number) {
  const int savedErrno = errno;
  const char byte = static_cast<char>(number);
  // A full pipe already holds a pending close; nothing more is needed.
  [[maybe_unused]] ssize_t written = write(gSignalPipe[1], &byte, 1);
  errno = savedErrno;
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal)
    : onSignal_(std::move(onSignal)) {
  if (pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = std::make_unique<QSocketNotifier>(gSignalPipe[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] {
    char drained[16];
    while (read(gSignalPipe[0], drained, sizeof drained) > 0) {
    }
    if (onSignal_) onSignal_();
  });
  struct sigaction action {};
  action.sa_handler = onTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &action, &gPrevious[i]);
}

TerminationSignals::~TerminationSignals() {
  if (!notifier_) return;
  for (size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &gPrevious[i], nullptr);
  notifier_.reset();
  close(gSignalPipe[0]);
  close(gSignalPipe[1]);
  gSignalPipe[0] = gSignalPipe[1] = -1;
}
