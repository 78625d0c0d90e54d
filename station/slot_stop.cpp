#include "station/slot_stop.h"

#include "host/clock.h"
#include "host/report.h"
#include "station/dut_timer.h"
#include "station/run_records.h"
#include "station/slot_access.h"
#include "station/station_state.h"
#include "station/worker_scheduling.h"

namespace {

// A slot is busy while its run is not idle, and also while a worker scheduled for it has not
// finished: the AT switch, for one, is queued while the slot is still idle.
bool slotBusy(ThreadData& slot) {
  return slotState(slot) != DUT_IDLE || slotWorkerRunning(slot);
}

// Waits for the slot's latest worker. A worker may schedule the next one before it returns
// (the fastboot scan after a CP download), so the wait repeats until the latest has finished.
void waitForSlotWorkers(ThreadData& slot) {
  host::WorkerPool* pool = slotPool(slotIndex(slot));
  if (!pool) return;
  while (true) {
    const int id = static_cast<int>(loadField(slot.threadId));
    if (id == 0) return;
    pool->waitUntilFinished(id);
    pool->release(id);
    if (static_cast<int>(loadField(slot.threadId)) == id) return;
  }
}

// Waits for the slot's workers and puts the slot and its DUT row back to idle.
void stopBusySlot(int index) {
  ThreadData& slot = gThreadData[index];
  waitForSlotWorkers(slot);
  const int dut = index + 1;
  noteSlotStopped(dut);
  stopDutTimer(dut);
  setDutTimeText(dut, "0");
  ShowMesage(dut, "");
  updateProgressBar(dut, 0.0);
  setSlotState(slot, DUT_IDLE);
}

}  // namespace

void StopSlot(int index) {
  if (index < 0 || index >= dutCount()) return;
  if (!slotBusy(gThreadData[index])) return;
  // Ends the waits of this slot's worker only; the other slots go on.
  host::requestSlotStop(index);
  stopBusySlot(index);
  host::clearSlotStop(index);
}

void StationDutSlots::resetSlots(uint32_t diaport) {
  resetSlotRecords();
  storeField(gThreadData[0].diaport, static_cast<int32_t>(diaport));
}

int StationDutSlots::findBusySlot() {
  for (int i = 0; i < dutCount(); ++i) {
    if (slotBusy(gThreadData[i])) return i;
  }
  return -1;
}

std::vector<int> StationDutSlots::findBusySlots() {
  std::vector<int> busy;
  for (int i = 0; i < dutCount(); ++i) {
    if (slotBusy(gThreadData[i])) busy.push_back(i);
  }
  return busy;
}

void StationDutSlots::stopSlot(int index) {
  if (index >= 0 && index < dutCount()) stopBusySlot(index);
}

void StationDutSlots::clearPresent() {
  for (ThreadData& slot : activeSlots()) storeField(slot.present, 0);
}

StationDutSlots& stationDutSlots() {
  static StationDutSlots slots;
  return slots;
}
