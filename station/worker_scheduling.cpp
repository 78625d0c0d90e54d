#include "station/worker_scheduling.h"

#include "host/clock.h"
#include "station/run_records.h"
#include "station/slot_access.h"
#include "station/station_state.h"

bool scheduleWorker(ThreadData& slot, SlotWorker worker) {
  if (!gThreadPool || host::stopRequested()) return false;
  ThreadData* record = &slot;
  const int id = gThreadPool->schedule([worker, record] { return worker(record); });
  if (id <= 0) return false;
  storeField(slot.threadId, static_cast<uint32_t>(id));
  noteWorkerScheduled(slotIndex(slot) + 1);
  return true;
}

bool slotWorkerRunning(ThreadData& slot) {
  const uint32_t id = loadField(slot.threadId);
  return gThreadPool && id != 0 && !gThreadPool->isFinished(static_cast<int>(id));
}
