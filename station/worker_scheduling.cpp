#include "station/worker_scheduling.h"

#include <array>
#include <atomic>

#include "host/clock.h"
#include "station/run_records.h"
#include "station/slot_access.h"
#include "station/station_state.h"

namespace {

// The pools of slots 2 and up; slot 1 runs on gThreadPool.
std::array<std::atomic<host::WorkerPool*>, kSlotCount> gSlotPools{};

}  // namespace

host::WorkerPool* slotPool(int index) {
  if (index == 0) return gThreadPool;
  return index > 0 && index < kSlotCount ? gSlotPools[index].load() : nullptr;
}

bool scheduleWorker(ThreadData& slot, SlotWorker worker) {
  const int index = slotIndex(slot);
  host::WorkerPool* pool = slotPool(index);
  if (!pool || host::stopRequested() || host::slotStopRequested(index)) return false;
  ThreadData* record = &slot;
  const int id = pool->schedule([worker, record, index] {
    // The worker's waits end when its own slot is stopped, not only when the station stops.
    host::SlotStopScope scope(index);
    return worker(record);
  });
  if (id <= 0) return false;
  storeField(slot.threadId, static_cast<uint32_t>(id));
  noteWorkerScheduled(slotIndex(slot) + 1);
  return true;
}

bool slotWorkerRunning(ThreadData& slot) {
  host::WorkerPool* pool = slotPool(slotIndex(slot));
  const uint32_t id = loadField(slot.threadId);
  return pool && id != 0 && !pool->isFinished(static_cast<int>(id));
}

void createSlotPools(host::EventLoop& loop) {
  for (int index = 1; index < dutCount(); ++index) {
    if (!gSlotPools[index]) gSlotPools[index] = new host::WorkerPool(loop);
  }
}

void destroySlotPools() {
  for (auto& entry : gSlotPools) {
    host::WorkerPool* pool = entry.exchange(nullptr);
    if (!pool) continue;
    pool->shutdown();
    delete pool;
  }
}
