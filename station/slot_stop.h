#pragma once
// Stopping a DUT slot, and the slot table as start-up, Stop and shutdown drive it.

#include "station/dut_slots.h"

// Stops slot `index` (0-based): ends the waits of the slot's worker (those of other slots go
// on), waits until it (and whatever it scheduled in turn) has finished, keeping the UI loop
// running meanwhile when called on the UI thread;
// releases the worker's pool id; stops the DUT's timer; resets its time text to "0", clears
// its message line (not logged) and progress; makes the slot idle. Nothing happens for an idle
// slot without a running worker. The caller must hold neither datalock nor threadDataLock.
void StopSlot(int index);

// The station's slot table behind the DutSlots seam.
class StationDutSlots : public DutSlots {
 public:
  void resetSlots(uint32_t diaport) override;
  int findBusySlot() override;
  std::vector<int> findBusySlots() override;
  // Stops a slot found busy, even when its worker has ended since.
  void stopSlot(int index) override;
  void clearPresent() override;
};

// The one instance the station installs.
StationDutSlots& stationDutSlots();
