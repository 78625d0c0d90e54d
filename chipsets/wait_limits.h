#pragma once
// Bounds of the waits in which a procedure depends on the module (a port that should come
// back, the Sahara phase of another slot). They are scaled like every wait; when one passes
// the operator is asked to repower the DUT, and a stop ends every one of them at once.

// Seconds a procedure waits for the module's port or for another slot's Sahara phase.
inline constexpr double kModuleWaitLimitSeconds = 180.0;
