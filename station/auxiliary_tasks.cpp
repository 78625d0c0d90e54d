// The post-download steps that run when the module returns after its download: the EFS backup
// and its check, and on Qca9x07 the switch back to USB product 9011.
//
// A step keeps its slot in its own state (DUT_BACKUP_EFS, DUT_CHECK_EFS) until it has reported
// and chosen the next one. An idle slot would let the module's next arrival queue a CP download
// behind a step that is about to report "Update Success!"; a step's state only queues the same
// step again, which then finds the state moved on and does nothing.

#include "station/auxiliary_tasks.h"

#include "host/clock.h"
#include "host/report.h"
#include "platform/platform_settings.h"
#include "platform/text_format.h"
#include "station/at_services.h"
#include "station/download_request.h"
#include "station/dut_timer.h"
#include "station/slot_access.h"

namespace {

void reportSuccess(ThreadData& slot, int dut) {
  updateMesage(dut, "Update Success!");
  updateStatus(dut, 0);
  stopDutTimer(dut);
  setSlotState(slot, DUT_IDLE);
}

// A failed post-download step: the next arrival of the module's port tries again. The slot
// waits for that arrival before the operator is asked to repower, so a quick repower is never
// taken for the old step's.
int failForRetry(ThreadData& slot, int dut, const std::string& text) {
  setSlotState(slot, DUT_BACKUP_EFS);
  updateMesage(dut, text);
  updateStatus(dut, -1);
  stopDutTimer(dut);
  return -1;
}

int backupEfs(ThreadData& slot, int dut, PlatformType type, const DownloadRequest& request) {
  // As in failForRetry: the slot waits for the reboot before the operator is told of it.
  if (atServices().backupEfs2(request, type)) {
    setSlotState(slot, type == kQca9x15 ? DUT_WAIT_REBOOT : DUT_CHECK_EFS);
    updateMesage(dut, "backup efs2 Success,waiting reboot...");
    return 0;
  }
  setSlotState(slot, DUT_BACKUP_EFS);
  updateMesage(dut, formatText("backup efs2 failed!,please repower %d DUT", dut));
  updateStatus(dut, -1);
  return 0;
}

// Qca9x07: optionally opens adb, then switches the module back to USB product 9011 when the
// platform asks for it; the switch reboots the module, whose return finishes the run.
int finishQca9x07(ThreadData& slot, int dut, const DownloadRequest& request) {
  if (!host::Delay(3.0)) return -1;
  const AtServices& at = atServices();
  if (bOpenAdb) at.setAtCmd(request, "at+cusbadb=1\r", nullptr);
  if (!bSwitch911) {
    reportSuccess(slot, dut);
    return 0;
  }
  int is9011 = 0;
  if (!at.checkIf9011(request, is9011)) {
    return failForRetry(slot, dut, formatText("Check 9011 failed!,please repower %d DUT", dut));
  }
  if (is9011) {
    reportSuccess(slot, dut);
    return 0;
  }
  updateMesage(dut, "Waiting change to 9011!");
  if (at.setAtCmd(request, "AT+CUSBPIDSWITCH=9011,1,1\r", nullptr)) {
    setSlotState(slot, DUT_WAIT_REBOOT);
    return 0;
  }
  return failForRetry(slot, dut,
                      formatText("change back to 9011 failed!,please repower %d DUT", dut));
}

// The EFS check, once its slot waits for it.
int checkEfs(ThreadData& slot, int dut, const DownloadRequest& request) {
  if (!host::Delay(5.0)) return -1;
  if (currentPlatformType() != kQca9206) {
    setSlotState(slot, DUT_IDLE);
    return 0;
  }
  if (atServices().checkEfs2(request)) {
    reportSuccess(slot, dut);
    return 0;
  }
  return failForRetry(slot, dut, formatText("efs2 backup failed!,please repower %d DUT", dut));
}

}  // namespace

int ToWriteImeiMeidThreadFunction(ThreadData* record) {
  ThreadData& slot = *record;
  const int dut = workerDut(slot);
  if (dut == 0) return -1;
  if (!host::Delay(5.0)) return -1;
  const DownloadRequest request = fullRequest(slot);
  // An arrival while an earlier step still ran queued this one: it serves whichever step the
  // slot waits for now (the EFS check after a backup), or none.
  const SlotState state = slotState(slot);
  if (state == DUT_CHECK_EFS) return checkEfs(slot, dut, request);
  if (state != DUT_BACKUP_EFS) return -1;
  const PlatformType type = currentPlatformType();
  if (type == kQca9x15 || type == kQca9206) return backupEfs(slot, dut, type, request);
  if (type == kQca9x07) return finishQca9x07(slot, dut, request);
  setSlotState(slot, DUT_IDLE);
  return 0;
}

int ToCheckEfsThreadFunction(ThreadData* record) {
  ThreadData& slot = *record;
  const int dut = workerDut(slot);
  if (dut == 0) return -1;
  const DownloadRequest request = fullRequest(slot);
  if (slotState(slot) != DUT_CHECK_EFS) return -1;
  return checkEfs(slot, dut, request);
}
