#pragma once
// Putting a slot's worker on its thread. Each slot has a one-thread pool of its own, so the
// modules of several slots are worked on at the same time while each slot's steps stay in
// order; DUT 1's pool is gThreadPool.

#include "host/event_loop.h"
#include "host/worker_pool.h"
#include "platform/slot_record.h"

// A worker takes its slot record and returns 0, the operation's result, or -1 when refused.
using SlotWorker = int (*)(ThreadData* slot);

// Queues `worker` for `slot` and keeps its pool id in the slot's threadId. False when it cannot
// be scheduled: there is no pool (before start-up, after shutdown), the pool refuses, or a stop
// of the station or of this slot is in progress (no new work starts while a slot is stopped).
// The worker runs in its slot's stop scope (host::SlotStopScope).
bool scheduleWorker(ThreadData& slot, SlotWorker worker);

// True while the slot's latest worker is queued or running.
bool slotWorkerRunning(ThreadData& slot);

// The pool of slot `index` (0-based); null when it has none.
host::WorkerPool* slotPool(int index);

// Creates the pools of slots 2 ... dutCount() beside gThreadPool (std::system_error when the
// system refuses a thread), and shuts them down and frees them. Start-up and shutdown only.
void createSlotPools(host::EventLoop& loop);
void destroySlotPools();
