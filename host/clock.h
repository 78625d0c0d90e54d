#pragma once
// Time for the station: a monotonic tick, and fixed waits that are scaled for tests and end
// early when the operator stops the station.

#include <cstdint>

namespace host {

// ZENDRAL_TIME_SCALE from the environment (default 1.0, never negative); every fixed wait and
// time limit of the station is multiplied by it. Read once.
double timeScale();

// Scales a duration in seconds or milliseconds by timeScale().
double scaledSeconds(double seconds);
int64_t scaledMs(int64_t ms);

// Monotonic milliseconds since an arbitrary start (not scaled).
uint64_t tickMs();

// Waits `seconds` (scaled). Returns true when the whole wait elapsed, false when it ended
// early because a stop was requested.
bool Delay(double seconds);

// Like Delay but not scaled: waits real milliseconds, ends early on a stop.
bool sleepMs(int64_t ms);

// The station-wide stop request. A request wakes every Delay at once; it stays set until
// clearStop() (called when the operator starts again), which also clears every slot's stop.
void requestStop();
void clearStop();
// True when the station stops, or the slot the calling thread works for (SlotStopScope) does.
bool stopRequested();

// The stop of one slot of several: it ends the waits of the thread working for that slot and
// of no other, and stays set until clearSlotStop(slot).
void requestSlotStop(int slot);
void clearSlotStop(int slot);
// True when the station stops or slot `slot` does, whichever thread asks.
bool slotStopRequested(int slot);

// While it lives, the calling thread works for `slot`: its Delay, sleepMs and stopRequested
// answer to that slot's stop as well as to the station's.
class SlotStopScope {
 public:
  explicit SlotStopScope(int slot);
  ~SlotStopScope();
  SlotStopScope(const SlotStopScope&) = delete;
  SlotStopScope& operator=(const SlotStopScope&) = delete;

 private:
  int previous_;
};

}  // namespace host
