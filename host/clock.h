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

// The stop request of the station's slot. A request wakes every Delay at once; it stays set
// until clearStop() (called when the operator starts again).
void requestStop();
void clearStop();
bool stopRequested();

}  // namespace host
