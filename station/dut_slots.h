#pragma once
// The DUT slots as start-up, Stop and shutdown drive them. The slot record, the dispatcher and
// the workers implement this; until they are installed the station has no slot that could be
// busy.

#include <cstdint>
#include <vector>

class DutSlots {
 public:
  virtual ~DutSlots() = default;

  // Start-up: every slot idle, without ports or flags; then DUT 1's diagnostic port from
  // cfg.ini.
  virtual void resetSlots(uint32_t diaport) {}

  // The 0-based index of a slot that is not idle, or -1. Called with datalock held.
  virtual int findBusySlot() { return -1; }
  // Every slot that is not idle, in order. Called with datalock held.
  virtual std::vector<int> findBusySlots() {
    const int busy = findBusySlot();
    return busy < 0 ? std::vector<int>{} : std::vector<int>{busy};
  }

  // Stops slot `index`: waits until its worker has finished (the UI loop keeps running while
  // it waits, and the caller holds no lock), releases the worker's pool id, stops the DUT's
  // timer, resets its time text, message line and progress, and makes the slot idle.
  virtual void stopSlot(int index) {}

  // Stop: the slot's module is no longer taken as present.
  virtual void clearPresent() {}
};

// The installed slots (a slot-less stand-in until one is installed).
DutSlots& dutSlots();
// Installs `slots` (not owned; null restores the stand-in). Returns the previous one.
DutSlots* installDutSlots(DutSlots* slots);

// Stops every busy slot, one after the other, until none is left. The busy slots are found
// before the stop request ends every wait of their workers at once, so each of them is reset
// even when its worker ends by itself in the meantime; the search holds datalock, the wait for
// a worker does not.
void stopAllSlots();
