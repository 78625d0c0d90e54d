#include "chipsets/sahara_lock.h"

#include <atomic>

#include "host/clock.h"

namespace {

std::atomic<bool> gSaharaBusy{false};

bool tryTake() {
  bool expected = false;
  return gSaharaBusy.compare_exchange_strong(expected, true);
}

}  // namespace

SaharaLockResult takeSaharaLock(double limitSeconds) {
  constexpr double kStepSeconds = 1.0;
  for (double waited = 0.0;; waited += kStepSeconds) {
    if (tryTake()) return SaharaLockResult::Taken;
    if (waited >= limitSeconds) return SaharaLockResult::TimedOut;
    if (!host::Delay(kStepSeconds)) return SaharaLockResult::Stopped;
  }
}

void releaseSaharaLock() {
  gSaharaBusy = false;
}

bool saharaLockHeld() {
  return gSaharaBusy;
}
