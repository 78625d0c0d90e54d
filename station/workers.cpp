#include "station/workers.h"

#include "host/clock.h"
#include "host/event_loop.h"
#include "host/report.h"
#include "host/station_options.h"
#include "platform/platform_settings.h"
#include "station/at_services.h"
#include "station/download_request.h"
#include "station/dut_timer.h"
#include "station/port_discovery.h"
#include "station/slot_access.h"

namespace {

constexpr char kWaitingForFastboot[] = "waiting for dut,long time please repower dut...";

int runOperation(int (*PlatformOps::*operation)(const DownloadRequest&),
                 const DownloadRequest& request) {
  PlatformOps* table = pPlatforms;
  if (!table || !(table->*operation)) return -1;
  return (table->*operation)(request);
}

// With backup/restore on, the CP download of Qca8909, Qca9206, Qca6695 and Qca6270 is followed
// by the QCN restore when the module returns (on the qmbn road by the final reboot).
void waitForQcnRestore(ThreadData& slot, int dut) {
  if (bHalvoH) {
    setSlotState(slot, DUT_WAIT_REBOOT);
    return;
  }
  setSlotState(slot, DUT_WAIT_QCN);
  updateMesage(dut, "Waiting recovery xqcn...long time please replug dut.");
}

void afterCpQca9xxx(ThreadData& slot, int dut, int result, PlatformType type) {
  if (result != 0) {
    updateStatus(dut, -1);
    stopDutTimer(dut);
    setSlotState(slot, partionDiffOf(dut) ? DUT_WAIT_REBOOT : DUT_IDLE);
    return;
  }
  updateMesage(dut, kWaitingForFastboot);
  setSlotState(slot, DUT_WAIT_AP);
  if (type == kQca9x07 && !updatedCpOf(dut)) {
    // Nothing was written: the run ends here, still marked as working.
    updateMesage(dut, kWaitingForFastboot);
    setSlotState(slot, DUT_IDLE);
    return;
  }
  ScanFastbootDevices();
}

void afterCpQca8909(ThreadData& slot, int dut, int result) {
  if (result != 0) {
    stopDutTimer(dut);
    updateStatus(dut, result);
    setSlotState(slot, DUT_IDLE);
  } else if (!gBackupRestoreQcn) {
    stopDutTimer(dut);
    updateStatus(dut, 0);
    setSlotState(slot, DUT_IDLE);
  } else {
    waitForQcnRestore(slot, dut);
  }
}

void afterCpRebooting(ThreadData& slot, int dut, int result) {
  if (result != 0) {
    setSlotState(slot, DUT_IDLE);
    stopDutTimer(dut);
    updateStatus(dut, result);
  } else if (gBackupRestoreQcn) {
    waitForQcnRestore(slot, dut);
  } else {
    updateMesage(dut, "waiting for reboot device...");
    setSlotState(slot, DUT_WAIT_REBOOT);
  }
}

// Qca9x07 after its QCN restore without a post-download step: the module is set to run and
// asked to back up its EFS and reset, when the QCN work drives the port itself.
void finishQca9x07Restore(ThreadData& slot, const DownloadRequest& request) {
  setSlotState(slot, DUT_WAIT_REBOOT);
  if (!gNotUseQPST) return;
  const AtServices& at = atServices();
  at.setAtCmd(request, "AT+CFUN=1\r", nullptr);
  host::Delay(1.5);
  at.setAtCmd(request, "AT+CBACKUPEFS2\r", nullptr);
  at.setAtCmd(request, "at+creset\r", nullptr);
}

// Looks for the module's ports on the UI thread, where every port scan that can report runs:
// after QCN work that drove the port itself they may already be back.
void scanForReturnedPorts() {
  host::uiLoop().post([] {
    if (!host::stopRequested()) ScanComPorts();
  });
}

// After a good QCN restore the module returns for its EFS backup.
void waitForEfsBackup(ThreadData& slot) {
  setSlotState(slot, DUT_BACKUP_EFS);
  host::Delay(1.0);
  if (gNotUseQPST) scanForReturnedPorts();
}

// Qca9x25's restore always drives the port itself and ends with the module's reset out of FTM
// mode, whose return has already been seen: the present port completes the run.
void finishQca9x25Restore(ThreadData& slot) {
  setSlotState(slot, DUT_WAIT_REBOOT);
  host::Delay(1.0);
  scanForReturnedPorts();
}

void afterTp(ThreadData& slot, int dut, int result, PlatformType type,
             const DownloadRequest& request) {
  if (result != 0) {
    setSlotState(slot, DUT_WAIT_QCN);
  } else if (type == kQca9x15 || type == kQca9206 ||
             (type == kQca9x07 && (bSwitch911 || bOpenAdb))) {
    waitForEfsBackup(slot);
  } else if (type == kQca9x07) {
    finishQca9x07Restore(slot, request);
  } else if (type == kQca9x25) {
    finishQca9x25Restore(slot);
  } else if (type == kQca8909 || type == kQca6695 || type == kQca6270) {
    setSlotState(slot, DUT_IDLE);
    updateMesage(dut, "Update Success!");
    updateStatus(dut, 0);
    stopDutTimer(dut);
  }
}

SlotState stateAfterAp(int dut, PlatformType type, const DownloadRequest& request) {
  if (gBackupRestoreQcn) {
    if (request.imei[0] == '\0') {
      updateMesage(dut, "No IMEI,you need manual recovery xqcn.Waiting reboot...");
      return DUT_WAIT_REBOOT;
    }
    updateMesage(dut, "Waiting recovery xqcn...");
    return DUT_WAIT_QCN;
  }
  if (type == kQca9x07) return (bSwitch911 || bOpenAdb) ? DUT_BACKUP_EFS : DUT_WAIT_REBOOT;
  if (type == kQca9x15 && gBackupEFS) {
    updateMesage(dut, "Waiting reboot to backup efs2...");
    return DUT_BACKUP_EFS;
  }
  return DUT_WAIT_REBOOT;
}

}  // namespace

int DLThreadFunction(ThreadData* record) {
  ThreadData& slot = *record;
  const int dut = workerDut(slot);
  if (dut == 0) return -1;
  if (!host::Delay(2.0)) return -1;
  const DownloadRequest request = cpRequest(slot);
  updateStatus(dut, 1);
  updateMesage(dut, "");
  updateProgressBar(dut, 0.0);
  setDutTimeText(dut, "0");
  startDutTimer(dut);
  const int result = runOperation(&PlatformOps::cpDownload, request);
  const PlatformType type = currentPlatformType();
  if (type == kQca9x15 || type == kQca9x25 || type == kQca9x07) {
    afterCpQca9xxx(slot, dut, result, type);
  } else if (type == kQca8909) {
    afterCpQca8909(slot, dut, result);
  } else {
    afterCpRebooting(slot, dut, result);
  }
  return result;
}

int TpDLThreadFunction(ThreadData* record) {
  ThreadData& slot = *record;
  const int dut = workerDut(slot);
  if (dut == 0) return -1;
  if (!host::Delay(2.0)) return -1;
  const DownloadRequest request = fullRequest(slot);
  updateStatus(dut, 1);
  const int result = runOperation(&PlatformOps::tpStep, request);
  afterTp(slot, dut, result, currentPlatformType(), request);
  clearDevicePath(slot);
  if (result != 0) {
    stopDutTimer(dut);
    updateStatus(dut, result);
  }
  return result;
}

int ApDLThreadFunction(ThreadData* record) {
  ThreadData& slot = *record;
  const int dut = workerDut(slot);
  if (dut == 0) return -1;
  const DownloadRequest apArgument = apRequest(slot);
  updateStatus(dut, 1);
  const int result = runOperation(&PlatformOps::apDownload, apArgument);
  if (result != 0) {
    updateStatus(dut, result);
    setSlotState(slot, DUT_IDLE);
    stopDutTimer(dut);
  } else {
    // The IMEI may have been read during the download; take the slot's as it is now.
    const DownloadRequest now = fullRequest(slot);
    setSlotState(slot, stateAfterAp(dut, currentPlatformType(), now));
  }
  clearDevicePath(slot);
  return result;
}
