#include "records/run_events.h"

#include <atomic>

namespace records {
namespace {

RunEvents gIgnored;
std::atomic<RunEvents*> gEvents{&gIgnored};

}  // namespace

RunEvents& runEvents() {
  return *gEvents.load();
}

RunEvents* installRunEvents(RunEvents* events) {
  RunEvents* previous = gEvents.exchange(events ? events : &gIgnored);
  return previous == &gIgnored ? nullptr : previous;
}

}  // namespace records
