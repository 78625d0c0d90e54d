#pragma once
// The Sahara lock: one busy flag for the whole process. The flash programmer's upload over
// Sahara is serialised between slots and between the platforms that use it; a slot takes the
// lock before its first Sahara connect and releases it after the upload (or after giving up).

enum class SaharaLockResult {
  Taken,     // the calling slot holds the lock now
  TimedOut,  // another holder kept it longer than the wait limit
  Stopped,   // the station was stopped while waiting
};

// Waits in 1 s steps until the lock is free and takes it; testing and setting the flag is one
// atomic step, so two slots can never both take it. Gives up after `limitSeconds` (scaled).
SaharaLockResult takeSaharaLock(double limitSeconds);

// Releases the lock (whoever holds it).
void releaseSaharaLock();

// Whether some slot holds the lock.
bool saharaLockHeld();
