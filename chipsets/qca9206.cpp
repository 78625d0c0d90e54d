// The Qca9206 platform: its AP and TP steps, its settings, and the state the file list keeps
// for the downloads. The file list and the CP download have files of their own.

#include "chipsets/qca9206.h"

#include "chipsets/ap_download.h"
#include "chipsets/chipset_services.h"
#include "chipsets/qca9206_firmware.h"
#include "chipsets/qca9206_text_log.h"
#include "host/report.h"
#include "host/station_options.h"
#include "platform/platform_settings.h"
#include "platform/qcn_backup.h"

std::string sFlash512;
std::string sFirmFileTypeDef;
std::string sPartionName;
int bUseQcnQca9206 = 0;

Qca9206Firmware& qca9206Firmware() {
  static Qca9206Firmware firmware;
  return firmware;
}

void resetQca9206State() {
  sFlash512.clear();
  sFirmFileTypeDef.clear();
  sPartionName.clear();
  bUseQcnQca9206 = 0;
  qca9206Firmware() = Qca9206Firmware{};
  qca9206TextLog().reset();
}

int downloadApQca9206(const DownloadRequest& request) {
  // The firmware of this platform has nothing to write over fastboot (its load leaves the
  // queue empty).
  return runQueuedApDownload(request, qca9206Firmware().downloadTotal,
                             qca9206TextLog().currentProgress(), "Waiting recovery xqcn...");
}

int downloadTpQca9206(const DownloadRequest& request) {
  updateMesage(request.slot, "Enter downloadTpQca9206...");
  if (request.portKind != 0 || (!gOnlyQcn && !gBackupRestoreQcn)) return 0;
  const int op = bUseQcnQca9206 ? kRestoreQcn : kRestoreXqcn;
  return chipsetServices().backupQcn(request, op, gNotUseQPST != 0 ? 1 : 0);
}

int downloadCompletedQca9206() {
  return 0;
}
