// The Qca9x15 platform: its AP and TP steps, its settings and the state the file list keeps
// for the downloads. The file list and the CP download have files of their own.

#include "chipsets/qca9x15.h"

#include "chipsets/ap_download.h"
#include "chipsets/chipset_services.h"
#include "chipsets/qca9x15_firmware.h"
#include "chipsets/qca9x15_text_log.h"
#include "host/report.h"
#include "host/station_options.h"
#include "platform/platform_settings.h"
#include "platform/qcn_backup.h"

int bUseQcnQca9x15 = 0;

Qca9x15Firmware& qca9x15Firmware() {
  static Qca9x15Firmware firmware;
  return firmware;
}

void resetQca9x15State() {
  bUseQcnQca9x15 = 0;
  qca9x15Firmware() = Qca9x15Firmware{};
  qca9x15TextLog().reset();
}

int downloadApQca9x15(const DownloadRequest& request) {
  return runApDownload(request, qca9x15Firmware().downloadTotal, qca9x15TextLog().currentProgress(),
                       "AP Download Success,Wait reboot...");
}

// The restore runs at once: the station's TP worker has already waited for the module.
int downloadTpQca9x15(const DownloadRequest& request) {
  updateMesage(request.slot, "Enter downloadTpQca9x15...");
  if (request.portKind != 0 || !(gOnlyQcn || gBackupRestoreQcn)) return 0;
  const int op = bUseQcnQca9x15 ? kRestoreQcn : kRestoreXqcn;
  return chipsetServices().backupQcn(request, op, gNotUseQPST != 0 ? 1 : 0);
}

int downloadCompletedQca9x15() {
  return 0;
}

int downloadStopQca9x15() {
  return 0;
}
