#pragma once
// Putting a slot's worker on the station's one-thread pool.

#include "platform/slot_record.h"

// A worker takes its slot record and returns 0, the operation's result, or -1 when refused.
using SlotWorker = int (*)(ThreadData* slot);

// Queues `worker` for `slot` and keeps its pool id in the slot's threadId. False when it cannot
// be scheduled: there is no pool (before start-up, after shutdown), the pool refuses, or a stop
// is in progress (no new work starts while the station stops its slots).
bool scheduleWorker(ThreadData& slot, SlotWorker worker);

// True while the slot's latest worker is queued or running.
bool slotWorkerRunning(ThreadData& slot);
