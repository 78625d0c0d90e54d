// The dispatcher's decisions follow the slot's state: a known port that returns continues the
// run that waits for it (or reports its result), an idle slot starts a new run, and the
// operator modes (AP only, QCN only) choose which worker that run begins with.

#include "station/dispatcher.h"

#include <cstdio>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "host/clock.h"
#include "host/locks.h"
#include "host/operator_surface.h"
#include "host/report.h"
#include "host/station_options.h"
#include "platform/platform_settings.h"
#include "platform/text_format.h"
#include "records/run_events.h"
#include "station/auxiliary_tasks.h"
#include "station/dut_timer.h"
#include "station/slot_access.h"
#include "station/worker_scheduling.h"
#include "station/workers.h"

namespace {

// What the known-port check decided.
enum class KnownPort { Assign, Completed, Ignore };

bool isWaitingForReturn(SlotState state) {
  return state == DUT_WAIT_AP || state == DUT_CHECK_EFS || state == DUT_BACKUP_EFS ||
         (state == DUT_WAIT_QCN && gBackupRestoreQcn);
}

// The end of a run: the module came back after its final reboot. `mark` ends the message: "!"
// when the port had been away, "." when it never left.
void completeRun(ThreadData& slot, const char* mark) {
  const int dut = slotIndex(slot) + 1;
  setSlotState(slot, DUT_IDLE);
  stopDutTimer(dut);
  if (partionDiffOf(dut)) return;
  if (gBackupRestoreQcn && slot.imei[0] == '\0' && !bHalvoH) {
    updateMesage(dut, std::string("No IMEI,you need manual recovery xqcn") + mark);
    updateStatus(dut, -1);
    return;
  }
  updateMesage(dut, "Update Success!");
  updateStatus(dut, 0);
}

// A port that a slot already holds. Sets `present` when the port had been away.
KnownPort checkKnownPort(ThreadData& slot) {
  const SlotState state = slotState(slot);
  const bool wasPresent = loadField(slot.present) == 1;
  if (!wasPresent) storeField(slot.present, 1);
  if (isWaitingForReturn(state)) return KnownPort::Assign;
  if (state == DUT_WAIT_REBOOT) {
    completeRun(slot, wasPresent ? "." : "!");
    return KnownPort::Completed;
  }
  // An idle slot whose port had been away starts a new run; one still present starts nothing.
  if (state == DUT_IDLE && !wasPresent) return KnownPort::Assign;
  return KnownPort::Ignore;
}

ThreadData* targetSlot(std::span<ThreadData> slots, int com, int kind) {
  for (ThreadData& slot : slots) {
    if (portOfKind(slot, kind) == com) return &slot;
  }
  for (ThreadData& slot : slots) {
    const SlotState state = slotState(slot);
    const bool free = state == DUT_IDLE || state == DUT_WAIT_REBOOT || state == DUT_CHECK_EFS ||
                      state == DUT_BACKUP_EFS;
    if (slot.diaport == 0 && free) return &slot;
  }
  return nullptr;
}

// Schedules `worker` after moving the slot to `state`; a refused worker leaves the slot idle.
void startWorker(ThreadData& slot, SlotState state, SlotWorker worker) {
  setSlotState(slot, state);
  if (!scheduleWorker(slot, worker)) setSlotState(slot, DUT_IDLE);
}

// The QCN-only road: the operator picks the .xqcn file to restore; its folder becomes the QCN
// folder and its name (up to the first ".") stands in for the IMEI that names the backup.
// Returns false when the operator cancelled or the name cannot name a backup.
bool chooseQcnFile(ThreadData& slot, int dut) {
  std::optional<std::string> chosen = host::surface().chooseFile(
      {formatText("Please select %d DUT qcn file", dut), "*.xqcn", qcnFilePath});
  if (!chosen) return false;
  const size_t slash = chosen->rfind('/');
  const std::string folder = slash == std::string::npos ? "." : chosen->substr(0, slash);
  const std::string fileName = slash == std::string::npos ? *chosen : chosen->substr(slash + 1);
  const std::string baseName = fileName.substr(0, fileName.find('.'));
  if (baseName.empty() || baseName.size() >= sizeof slot.imei) {
    updateMesage(dut, formatText("Invalid qcn file name: %s", fileName.c_str()));
    updateStatus(dut, -1);
    return false;
  }
  qcnFilePath = folder.empty() ? "/" : folder;
  std::snprintf(slot.imei, sizeof slot.imei, "%s", baseName.c_str());
  records::runEvents().imeiRead(dut, baseName);
  return true;
}

// A new run or the next stage of one, on `slot`, for the port `com` of `kind`.
void assignPort(ThreadData& slot, int com, int kind) {
  const int dut = slotIndex(slot) + 1;
  host::surface().setDutPorts(dut, {formatText("COM%d", com)});
  const SlotState state = slotState(slot);
  if (!gBackupRestoreQcn && state == DUT_WAIT_REBOOT) {
    storeField(slot.present, 1);
    setSlotState(slot, DUT_IDLE);
    stopDutTimer(dut);
    updateMesage(dut, "Update Success!");
    updateStatus(dut, 0);
    return;
  }
  if (state == DUT_CHECK_EFS || state == DUT_BACKUP_EFS) {
    SlotWorker task =
        state == DUT_CHECK_EFS ? ToCheckEfsThreadFunction : ToWriteImeiMeidThreadFunction;
    if (!scheduleWorker(slot, task)) setSlotState(slot, DUT_IDLE);
    return;
  }
  // The module's ports come up one after the other: give them a moment.
  host::Delay(1.0);
  storeField(portOfKind(slot, kind), com);
  storeField(slot.slot, dut);
  storeField(slot.portKind, kind);
  if (gBackupRestoreQcn && state == DUT_WAIT_QCN) {
    startWorker(slot, DUT_QCN_RESTORE, TpDLThreadFunction);
  } else if (state == DUT_WAIT_AP || (gOnlyAp && state == DUT_IDLE)) {
    if (!gOnlyAp) return;
    setDutTimeText(dut, "0");
    startDutTimer(dut);
    updateProgressBar(dut, 0.0);
    if (kind == kPort9008 || kind == kPort9009) {
      startWorker(slot, DUT_CP_DOWNLOAD, DLThreadFunction);
    } else if (!scheduleWorker(slot, ToFastbootThreadFunction)) {
      setSlotState(slot, DUT_IDLE);
    }
  } else if (gOnlyQcn && state == DUT_IDLE) {
    if (chooseQcnFile(slot, dut)) startWorker(slot, DUT_QCN_RESTORE, TpDLThreadFunction);
  } else {
    startWorker(slot, DUT_CP_DOWNLOAD, DLThreadFunction);
  }
}

// The dispatch of port `com` of `kind` among `slots`.
void dispatchAmong(std::span<ThreadData> slots, int com, int kind) {
  std::lock_guard lock(threadDataLock);
  for (ThreadData& slot : slots) {
    if (portOfKind(slot, kind) != com) continue;
    const KnownPort decision = checkKnownPort(slot);
    if (decision == KnownPort::Completed) return;
    if (decision == KnownPort::Ignore) return;
  }
  ThreadData* slot = targetSlot(slots, com, kind);
  if (slot) assignPort(*slot, com, kind);
}

}  // namespace

void OnPortArrived(int com, int kind) {
  dispatchAmong(activeSlots(), com, kind);
}

void OnPortArrivedInSlot(int index, int com, int kind) {
  if (index < 0 || index >= dutCount()) return;
  dispatchAmong(activeSlots().subspan(static_cast<size_t>(index), 1), com, kind);
}
