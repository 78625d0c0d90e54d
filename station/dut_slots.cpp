#include "station/dut_slots.h"

#include <atomic>
#include <mutex>

#include "host/clock.h"
#include "host/locks.h"

namespace {

DutSlots gNoSlots;
std::atomic<DutSlots*> gSlots{&gNoSlots};

}  // namespace

DutSlots& dutSlots() {
  return *gSlots.load();
}

DutSlots* installDutSlots(DutSlots* slots) {
  DutSlots* previous = gSlots.exchange(slots ? slots : &gNoSlots);
  return previous == &gNoSlots ? nullptr : previous;
}

void stopAllSlots() {
  while (true) {
    std::vector<int> busy;
    {
      std::lock_guard lock(datalock);
      busy = dutSlots().findBusySlots();
    }
    if (busy.empty()) return;
    // The workers may be waiting out a delay, a port or a tool: end those waits now.
    host::requestStop();
    for (int index : busy) dutSlots().stopSlot(index);
  }
}
