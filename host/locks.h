#pragma once
// The station's two locks. `datalock` guards port scanning and the DUT's port set;
// `threadDataLock` guards the assignment of a DUT slot. Whoever takes both takes `datalock`
// first. Neither may be held while waiting for a worker: the worker may need it to finish.

#include <mutex>

extern std::mutex datalock;
extern std::mutex threadDataLock;
